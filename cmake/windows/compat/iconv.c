#include "iconv.h"

#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

enum encoding { ENC_UTF8, ENC_UTF16LE, ENC_UTF32LE, ENC_LATIN1 };

struct quarnel_iconv {
    enum encoding from, to;
    int translit;
};

static int parse_encoding(const char* name, enum encoding* out, int* translit) {
    char base[32];
    const char* suffix = strstr(name, "//");
    size_t len = suffix ? (size_t)(suffix - name) : strlen(name);
    if (len >= sizeof base)
        return 0;
    memcpy(base, name, len);
    base[len] = '\0';
    if (translit)
        *translit = suffix && strcasecmp(suffix, "//TRANSLIT") == 0;
    if (strcasecmp(base, "UTF-8") == 0 || strcasecmp(base, "UTF8") == 0)
        *out = ENC_UTF8;
    else if (strcasecmp(base, "UTF-16LE") == 0)
        *out = ENC_UTF16LE;
    else if (strcasecmp(base, "UTF-32LE") == 0)
        *out = ENC_UTF32LE;
    else if (strcasecmp(base, "LATIN1") == 0 || strcasecmp(base, "ISO-8859-1") == 0)
        *out = ENC_LATIN1;
    else
        return 0;
    return 1;
}

iconv_t iconv_open(const char* tocode, const char* fromcode) {
    struct quarnel_iconv cd;
    if (!parse_encoding(tocode, &cd.to, &cd.translit) || !parse_encoding(fromcode, &cd.from, NULL)) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    iconv_t result = malloc(sizeof cd);
    if (!result) {
        errno = ENOMEM;
        return (iconv_t)-1;
    }
    *result = cd;
    return result;
}

int iconv_close(iconv_t cd) {
    free(cd);
    return 0;
}

/* Reads one character: its length in bytes, 0 when the input ends inside it, -1 when invalid. */
static int decode(enum encoding enc, const unsigned char* in, size_t left, uint32_t* cp) {
    switch (enc) {
    case ENC_LATIN1:
        *cp = in[0];
        return 1;
    case ENC_UTF32LE:
        if (left < 4)
            return 0;
        *cp = (uint32_t)in[0] | (uint32_t)in[1] << 8 | (uint32_t)in[2] << 16 | (uint32_t)in[3] << 24;
        return (*cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) ? -1 : 4;
    case ENC_UTF16LE: {
        if (left < 2)
            return 0;
        uint32_t unit = in[0] | in[1] << 8;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return -1;
        if (unit < 0xD800 || unit > 0xDBFF) {
            *cp = unit;
            return 2;
        }
        if (left < 4)
            return 0;
        uint32_t low = in[2] | in[3] << 8;
        if (low < 0xDC00 || low > 0xDFFF)
            return -1;
        *cp = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        return 4;
    }
    case ENC_UTF8: {
        unsigned char b = in[0];
        int n;
        uint32_t min;
        if (b < 0x80) {
            *cp = b;
            return 1;
        }
        if ((b & 0xE0) == 0xC0)
            n = 2, *cp = b & 0x1F, min = 0x80;
        else if ((b & 0xF0) == 0xE0)
            n = 3, *cp = b & 0x0F, min = 0x800;
        else if ((b & 0xF8) == 0xF0)
            n = 4, *cp = b & 0x07, min = 0x10000;
        else
            return -1;
        for (int i = 1; i < n; ++i) {
            if ((size_t)i >= left)
                return 0;
            if ((in[i] & 0xC0) != 0x80)
                return -1;
            *cp = *cp << 6 | (in[i] & 0x3F);
        }
        if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF))
            return -1;
        return n;
    }
    }
    return -1;
}

/* Writes one character: its length in bytes, 0 when the output has no room, -1 when the target
 * cannot hold it. */
static int encode(enum encoding enc, uint32_t cp, unsigned char* out, size_t left) {
    switch (enc) {
    case ENC_LATIN1:
        if (cp > 0xFF)
            return -1;
        if (left < 1)
            return 0;
        out[0] = (unsigned char)cp;
        return 1;
    case ENC_UTF32LE:
        if (left < 4)
            return 0;
        for (int i = 0; i < 4; ++i)
            out[i] = (unsigned char)(cp >> (8 * i));
        return 4;
    case ENC_UTF16LE:
        if (cp < 0x10000) {
            if (left < 2)
                return 0;
            out[0] = (unsigned char)cp, out[1] = (unsigned char)(cp >> 8);
            return 2;
        } else {
            if (left < 4)
                return 0;
            uint32_t high = 0xD800 + ((cp - 0x10000) >> 10), low = 0xDC00 + ((cp - 0x10000) & 0x3FF);
            out[0] = (unsigned char)high, out[1] = (unsigned char)(high >> 8);
            out[2] = (unsigned char)low, out[3] = (unsigned char)(low >> 8);
            return 4;
        }
    case ENC_UTF8: {
        int n = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        if (left < (size_t)n)
            return 0;
        if (n == 1) {
            out[0] = (unsigned char)cp;
            return 1;
        }
        static const unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
        for (int i = n - 1; i > 0; --i, cp >>= 6)
            out[i] = (unsigned char)(0x80 | (cp & 0x3F));
        out[0] = (unsigned char)(lead[n] | cp);
        return n;
    }
    }
    return -1;
}

size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft) {
    /* No shift states: a reset or a flush has nothing to do. */
    if (!inbuf || !*inbuf)
        return 0;
    size_t irreversible = 0;
    while (*inbytesleft > 0) {
        uint32_t cp;
        int read = decode(cd->from, (const unsigned char*)*inbuf, *inbytesleft, &cp);
        if (read <= 0) {
            errno = read == 0 ? EINVAL : EILSEQ;
            return (size_t)-1;
        }
        unsigned char* out = (unsigned char*)*outbuf;
        int written = encode(cd->to, cp, out, *outbytesleft);
        if (written < 0 && cd->translit) {
            written = encode(cd->to, '?', out, *outbytesleft);
            if (written > 0)
                ++irreversible;
        }
        if (written < 0) {
            errno = EILSEQ;
            return (size_t)-1;
        }
        if (written == 0) {
            errno = E2BIG;
            return (size_t)-1;
        }
        *inbuf += read, *inbytesleft -= (size_t)read;
        *outbuf += written, *outbytesleft -= (size_t)written;
    }
    return irreversible;
}
