// Identification strings, read from the binary by tools and by no code of ours.
#include "ssl_build_stamp.h"

#if SSL_MIC_NUM > 2
__attribute__((used)) char ssl_settings_ident[] = "SSLSET##APIVERSION12##PN128##SETSSL\n";
#else
__attribute__((used)) char ssl_settings_ident[] = "SSLSET##APIVERSION12##SETSSL\n";
#endif

__attribute__((used)) char ssl_build_ident[] = SSL_BUILD_STAMP;
