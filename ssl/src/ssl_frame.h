// Per-frame delay estimators, one per bf_mode; each writes one delay per pair.
#ifndef SSL_FRAME_H
#define SSL_FRAME_H

#include "ssl_handle.h"

void ssl_frame_gcc_phat(SslHandle *h, int32_t *delay_sample);
void ssl_frame_asdf(SslHandle *h, int32_t *delay_sample);

#endif
