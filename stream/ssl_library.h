// The localisation library for a channel count, loaded at run time: both builds export the same
// names, so one process can only reach the right one through its own namespace.
#ifndef SSL_STREAM_SSL_LIBRARY_H
#define SSL_STREAM_SSL_LIBRARY_H

#include <iaassl.h>

namespace ssl_stream {

class SslLibrary {
public:
    explicit SslLibrary(int channels);
    ~SslLibrary();
    SslLibrary(const SslLibrary &) = delete;
    SslLibrary &operator=(const SslLibrary &) = delete;

    decltype(&IaaSsl_GetBufferSize) get_buffer_size;
    decltype(&IaaSsl_Init) init;
    decltype(&IaaSsl_Config) config;
    decltype(&IaaSsl_Set_Shape) set_shape;
    decltype(&IaaSsl_Cal_Params) cal_params;
    decltype(&IaaSsl_Run) run;
    decltype(&IaaSsl_Get_Direction) get_direction;
    decltype(&IaaSsl_Reset_Mapping) reset_mapping;
    decltype(&IaaSsl_Free) free;

private:
    void *resolve(const char *name);

    void *module_;
};

} // namespace ssl_stream

#endif
