// Call-order rules: which earlier operations must have completed and which must not be busy.
#ifndef SSL_SEQUENCE_H
#define SSL_SEQUENCE_H

#include <stddef.h>
#include <stdint.h>

#include "ssl_handle.h"

enum SslFlag { SSL_FLAG_CONFIG, SSL_FLAG_SHAPE, SSL_FLAG_PARAMS, SSL_FLAG_RUN,
               SSL_FLAG_DIRECTION, SSL_FLAG_VOTING };

// Fails with code and message when the flag holds state.
struct SslOrderCheck {
    SslFlag flag;
    int32_t state;
    int32_t code;
    const char *message;
};

struct SslCallRules {
    const char *invalid_handle;  // may carry "%s" for function
    const char *function;        // nullptr when invalid_handle has no "%s"
    bool tests_marker;
    const char *no_init;
    const SslOrderCheck *order;
    size_t order_count;
};

template <size_t N>
constexpr SslCallRules ssl_rules(const char *invalid_handle, const char *function,
                                 bool tests_marker, const char *no_init,
                                 const SslOrderCheck (&order)[N])
{
    return SslCallRules{invalid_handle, function, tests_marker, no_init, order, N};
}

constexpr SslCallRules ssl_rules(const char *invalid_handle, const char *function,
                                 bool tests_marker, const char *no_init)
{
    return SslCallRules{invalid_handle, function, tests_marker, no_init, nullptr, 0};
}

// First failing test prints its message and gives its code; 0 when the call may go on.
int32_t ssl_check_call(const SslHandle *h, const SslCallRules &rules);

#endif
