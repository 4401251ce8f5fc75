// Microphone placement, delay limits and the expected delay per candidate direction.
#ifndef SSL_GEOMETRY_H
#define SSL_GEOMETRY_H

#include "ssl_handle.h"

// Delay limits of the linear array as Init derives them from the spacing.
void ssl_init_limits(SslHandle *h);
// Delay table of the linear array from the current limits.
void ssl_linear_table(SslHandle *h);

#endif
