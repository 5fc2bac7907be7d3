/* A small iconv for MinGW, which has none: conversions between UTF-8, UTF-16LE, UTF-32LE and
 * Latin-1, the encodings the metafile libraries ask for. "//TRANSLIT" on the target turns what it
 * cannot hold into '?', as GNU iconv falls back to for characters with no close match. */
#ifndef QUARNEL_COMPAT_ICONV_H
#define QUARNEL_COMPAT_ICONV_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct quarnel_iconv* iconv_t;

iconv_t iconv_open(const char* tocode, const char* fromcode);
size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif

#endif
