#include "ssl_library.h"

#include <dlfcn.h>

#include <string>

#include "stream_error.h"

namespace ssl_stream {

namespace {
void *open_module(int channels) {
    const char *file = channels == 4 ? IAASSL_SONAME : IAASSL_B_SONAME;
    void *module = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) throw StreamError(std::string("cannot load the library: ") + dlerror());
    return module;
}

template <typename F> F as_function(void *symbol) {
    F f;
    static_assert(sizeof f == sizeof symbol, "function and object pointers differ");
    __builtin_memcpy(&f, &symbol, sizeof f);
    return f;
}
} // namespace

SslLibrary::SslLibrary(int channels) : module_(open_module(channels)) {
    get_buffer_size = as_function<decltype(get_buffer_size)>(resolve("IaaSsl_GetBufferSize"));
    init = as_function<decltype(init)>(resolve("IaaSsl_Init"));
    config = as_function<decltype(config)>(resolve("IaaSsl_Config"));
    set_shape = as_function<decltype(set_shape)>(resolve("IaaSsl_Set_Shape"));
    cal_params = as_function<decltype(cal_params)>(resolve("IaaSsl_Cal_Params"));
    run = as_function<decltype(run)>(resolve("IaaSsl_Run"));
    get_direction = as_function<decltype(get_direction)>(resolve("IaaSsl_Get_Direction"));
    reset_mapping = as_function<decltype(reset_mapping)>(resolve("IaaSsl_Reset_Mapping"));
    free = as_function<decltype(free)>(resolve("IaaSsl_Free"));
}

SslLibrary::~SslLibrary() { dlclose(module_); }

void *SslLibrary::resolve(const char *name) {
    void *symbol = dlsym(module_, name);
    if (symbol == nullptr) {
        dlclose(module_);
        throw StreamError(std::string("the library lacks ") + name);
    }
    return symbol;
}

} // namespace ssl_stream
