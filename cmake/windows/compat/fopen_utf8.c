#include "fopen_utf8.h"

#include <errno.h>
#include <stdlib.h>
#include <windows.h>

/* A UTF-16 copy of a UTF-8 string, or NULL; the caller frees it. */
static wchar_t* widen(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, NULL, 0);
    wchar_t* wide = length > 0 ? malloc(sizeof(wchar_t) * (size_t)length) : NULL;
    if (wide && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, length) != length) {
        free(wide);
        wide = NULL;
    }
    return wide;
}

FILE* quarnel_fopen_utf8(const char* filename, const char* mode) {
    wchar_t *wide_name = widen(filename), *wide_mode = widen(mode);
    FILE* file = NULL;
    if (wide_name && wide_mode)
        file = _wfopen(wide_name, wide_mode);
    else
        errno = EINVAL;
    free(wide_name);
    free(wide_mode);
    return file;
}
