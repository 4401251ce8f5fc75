# The FFT library under the localisation library and the form of its per-frame loops.
# ARM targets get Ne10's NEON transforms and the NEON loops; other targets KissFFT and the
# portable loops, as Debian has no Ne10 for them. Both choices can be overridden.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|ARM)")
  set(ssl_on_arm ON)
  set(ssl_default_backend NE10)
else()
  set(ssl_on_arm OFF)
  set(ssl_default_backend KISSFFT)
endif()
set(SSL_FFT_BACKEND ${ssl_default_backend} CACHE STRING "FFT library of the localisation library: NE10 or KISSFFT")
set_property(CACHE SSL_FFT_BACKEND PROPERTY STRINGS NE10 KISSFFT)
option(SSL_NEON "Per-frame loops of the localisation library in NEON intrinsics" ${ssl_on_arm})

add_library(ssl_fft_library INTERFACE)
if(SSL_FFT_BACKEND STREQUAL "NE10")
  find_path(NE10_INCLUDE_DIR NE10.h PATH_SUFFIXES ne10 REQUIRED)
  # The archive, linked into each library: libNE10.so.10 asks for an executable stack, and
  # loading it would make the stack of the application that loads us executable.
  find_library(NE10_ARCHIVE NAMES libNE10.a REQUIRED)
  add_library(Ne10 STATIC IMPORTED)
  # Imported headers count as system headers: Ne10's own fail our warning flags.
  set_target_properties(Ne10 PROPERTIES
    IMPORTED_LOCATION ${NE10_ARCHIVE}
    INTERFACE_INCLUDE_DIRECTORIES ${NE10_INCLUDE_DIR})
  # Ne10's assembler objects lack the note that says they need no executable stack (they do
  # not); its symbols stay inside whatever links it.
  target_link_options(Ne10 INTERFACE -Wl,-z,noexecstack -Wl,--exclude-libs,libNE10.a)
  target_link_libraries(ssl_fft_library INTERFACE Ne10 m)
  target_compile_definitions(ssl_fft_library INTERFACE SSL_FFT_NE10=1)
  set(SSL_FFT_BACKEND_SOURCE src/ssl_fft_ne10.cpp)
elseif(SSL_FFT_BACKEND STREQUAL "KISSFFT")
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(KISSFFT REQUIRED IMPORTED_TARGET kissfft-float)
  target_link_libraries(ssl_fft_library INTERFACE PkgConfig::KISSFFT)
  set(SSL_FFT_BACKEND_SOURCE src/ssl_fft_kiss.cpp)
else()
  message(FATAL_ERROR "SSL_FFT_BACKEND must be NE10 or KISSFFT, not ${SSL_FFT_BACKEND}")
endif()

if(SSL_NEON AND NOT ssl_on_arm)
  message(FATAL_ERROR "SSL_NEON needs an ARM target processor, not ${CMAKE_SYSTEM_PROCESSOR}")
elseif(SSL_NEON)
  set(SSL_KERNELS_SOURCE src/ssl_kernels_neon.cpp)
else()
  set(SSL_KERNELS_SOURCE src/ssl_kernels_portable.cpp)
endif()
