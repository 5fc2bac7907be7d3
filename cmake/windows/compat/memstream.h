/* open_memstream for MinGW, whose C library has none, over a temporary file that is deleted when
 * closed. As with the POSIX one, *buffer and *size describe what was written after each fflush and
 * at fclose, and the caller frees *buffer. The libraries that use it are compiled with this header
 * forced in, so that their fflush and fclose calls reach the wrappers below. */
#ifndef QUARNEL_COMPAT_MEMSTREAM_H
#define QUARNEL_COMPAT_MEMSTREAM_H

#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

FILE* open_memstream(char** buffer, size_t* size);
int quarnel_memstream_fflush(FILE* stream);
int quarnel_memstream_fclose(FILE* stream);

#ifdef __cplusplus
}
#endif

#ifndef QUARNEL_MEMSTREAM_IMPLEMENTATION
#define fflush(stream) quarnel_memstream_fflush(stream)
#define fclose(stream) quarnel_memstream_fclose(stream)
#endif

#endif
