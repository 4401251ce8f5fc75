#ifndef SSL_NUMERIC_H
#define SSL_NUMERIC_H

#include <stdint.h>

// Truncation toward zero that stays defined for values no int32 can hold (NaN gives 0).
inline int32_t ssl_truncate(float v)
{
    constexpr float LIMIT = 2147483520.0f;  // largest float below 2^31
    if (v != v) {
        return 0;
    }
    if (v >= LIMIT) {
        return INT32_MAX;
    }
    if (v <= -LIMIT) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(v);
}

#endif
