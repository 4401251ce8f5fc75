// Run-time parameters and the values derived from them.
#ifndef SSL_CONFIG_H
#define SSL_CONFIG_H

#include "ssl_handle.h"

float ssl_sound_speed(uint32_t temperature);
void ssl_vote_thresholds(SslHandle *h);

#endif
