/* fopen for a UTF-8 file name, opened by the C library the caller uses. GLib's g_fopen, from
 * libvips-42.dll, opens with the UCRT, whose FILE the msvcrt that MinGW's programs use cannot read:
 * code compiled here that takes a FILE from GLib calls this instead. */
#ifndef QUARNEL_COMPAT_FOPEN_UTF8_H
#define QUARNEL_COMPAT_FOPEN_UTF8_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

FILE* quarnel_fopen_utf8(const char* filename, const char* mode);

#ifdef __cplusplus
}
#endif

#endif
