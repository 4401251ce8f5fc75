/* Preloaded into iaassl_locate by the end-to-end test: the capture call numbered
 * XRUN_AT_CALL reports an overrun once; every other call passes through. */
#define _GNU_SOURCE
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>

snd_pcm_sframes_t snd_pcm_readi(snd_pcm_t *pcm, void *buffer, snd_pcm_uframes_t size)
{
    static long calls;
    snd_pcm_sframes_t (*real_readi)(snd_pcm_t *, void *, snd_pcm_uframes_t);
    const char *at = getenv("XRUN_AT_CALL");

    if (at != NULL && ++calls == atol(at))
        return -EPIPE;
    *(void **)&real_readi = dlsym(RTLD_NEXT, "snd_pcm_readi");
    return real_readi(pcm, buffer, size);
}
