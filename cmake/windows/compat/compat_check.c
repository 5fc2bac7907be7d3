/* Checks the iconv, open_memstream and fontconfig stand-ins under Wine when they are built: the
 * metafile libraries' text and their whole output pass through them, and glyph indices become text
 * through the font found. Exits non-zero after the checks when any failed. */
#include "fontconfig/fontconfig.h"
#include "iconv.h"
#include "memstream.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures;

static void check(int ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "compat check failed: %s\n", what);
        ++failures;
    }
}

/* Converts all of in; returns 0 or the errno iconv set, -1 if the pair is refused. */
static int convert(const char* to, const char* from, const char* in, size_t in_len, char* out, size_t out_cap,
                   size_t* out_len) {
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1)
        return -1;
    char *in_ptr = (char*)in, *out_ptr = out;
    size_t in_left = in_len, out_left = out_cap;
    size_t result = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    *out_len = out_cap - out_left;
    return result == (size_t)-1 ? errno : 0;
}

static void check_iconv(void) {
    /* U+00E9, U+20AC and U+1F600, which takes a surrogate pair in UTF-16. */
    static const char utf16[] = "\xE9\x00\xAC\x20\x3D\xD8\x00\xDE";
    static const char utf8[] = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    static const char utf32[] = "\xE9\0\0\0\xAC\x20\0\0\x00\xF6\x01\0";
    char out[64];
    size_t n;
    check(convert("UTF-8", "UTF-16LE", utf16, 8, out, sizeof out, &n) == 0 && n == 9 && !memcmp(out, utf8, 9),
          "UTF-16LE to UTF-8");
    check(convert("UTF-16LE", "UTF-8", utf8, 9, out, sizeof out, &n) == 0 && n == 8 && !memcmp(out, utf16, 8),
          "UTF-8 to UTF-16LE");
    check(convert("UTF-32LE", "UTF-16LE", utf16, 8, out, sizeof out, &n) == 0 && n == 12 &&
              !memcmp(out, utf32, 12),
          "UTF-16LE to UTF-32LE");
    check(convert("UTF-8", "LATIN1", "\xE9", 1, out, sizeof out, &n) == 0 && n == 2 && !memcmp(out, utf8, 2),
          "Latin-1 to UTF-8");
    check(convert("LATIN1//TRANSLIT", "UTF-8", utf8, 9, out, sizeof out, &n) == 0 && n == 3 &&
              !memcmp(out, "\xE9??", 3),
          "UTF-8 to Latin-1 with transliteration");

    check(convert("LATIN1", "UTF-8", utf8, 9, out, sizeof out, &n) == EILSEQ && n == 1,
          "a character Latin-1 lacks stops the conversion after what came before");
    check(convert("UTF-8", "UTF-16LE", "\x00\xDC", 2, out, sizeof out, &n) == EILSEQ, "a lone low surrogate");
    check(convert("UTF-16LE", "UTF-8", "\xC0\xAF", 2, out, sizeof out, &n) == EILSEQ,
          "an overlong UTF-8 form");
    check(convert("UTF-8", "UTF-16LE", utf16, 7, out, sizeof out, &n) == EINVAL && n == 5,
          "input that ends inside a character");
    check(convert("UTF-8", "UTF-16LE", utf16, 8, out, 3, &n) == E2BIG && n == 2,
          "a full output keeps what fitted and reports E2BIG");
    check(convert("UTF-8", "EBCDIC", "", 0, out, sizeof out, &n) == -1, "an unknown encoding is refused");
}

static void check_memstream(void) {
    char* buffer = NULL;
    size_t size = 1;
    FILE* stream = open_memstream(&buffer, &size);
    check(stream && buffer && size == 0 && buffer[0] == '\0', "a new stream is empty");
    if (!stream)
        return;
    fprintf(stream, "width=\"%d\"", 42);
    fflush(stream);
    check(size == 10 && strcmp(buffer, "width=\"42\"") == 0, "fflush publishes what was written");
    for (int i = 0; i < 100000; ++i)
        fputc('x', stream);
    check(fclose(stream) == 0, "fclose succeeds");
    check(size == 100010 && buffer[100009] == 'x' && buffer[100010] == '\0',
          "fclose publishes everything, terminated");
    free(buffer);

    /* Streams of its own are left to the real functions. */
    FILE* plain = tmpfile();
    check(plain && fflush(plain) == 0 && fclose(plain) == 0, "other streams flush and close as usual");
}

/* The file found for a family, weight and slant; NULL when none. The caller frees it. */
static char* font_file(const char* family, int weight, int slant) {
    FcPattern* want = FcNameParse((const FcChar8*)family);
    if (!want)
        return NULL;
    if (weight)
        FcPatternAddInteger(want, FC_WEIGHT, weight);
    if (slant)
        FcPatternAddInteger(want, FC_SLANT, slant);
    FcResult result;
    FcPattern* match = FcFontMatch(NULL, want, &result);
    FcPatternDestroy(want);
    FcChar8* file = NULL;
    char* copy =
        match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch ? _strdup((char*)file) : NULL;
    FcPatternDestroy(match);
    return copy;
}

static int ends_with(const char* text, const char* end) {
    return text && strlen(text) >= strlen(end) && !_stricmp(text + strlen(text) - strlen(end), end);
}

/* The DejaVu faces are among the system's fonts here (Wine registers the host's). */
static void check_fonts(void) {
    char* regular = font_file("DejaVu Sans", 0, 0);
    char* bold = font_file("DejaVu Sans", FC_WEIGHT_BOLD, 0);
    char* boldItalic = font_file("dejavu sans", FC_WEIGHT_BOLD, FC_SLANT_ITALIC);
    char* mono = font_file("DejaVu Sans Mono", 0, 0);
    char* missing = font_file("No Such Family", 0, 0);
    check(ends_with(regular, "\\DejaVuSans.ttf") && GetFileAttributesA(regular) != INVALID_FILE_ATTRIBUTES,
          "the regular face of a family");
    check(ends_with(bold, "\\DejaVuSans-Bold.ttf"), "the bold face");
    check(ends_with(boldItalic, "\\DejaVuSans-BoldOblique.ttf"), "the bold oblique face, by any case");
    check(ends_with(mono, "\\DejaVuSansMono.ttf"), "a longer family is not its shorter namesake");
    check(missing == NULL, "a family the system lacks");
    free(regular), free(bold), free(boldItalic), free(mono), free(missing);
}

int main(void) {
    check_iconv();
    check_memstream();
    check_fonts();
    if (!failures)
        puts("compat check passed");
    return failures ? 1 : 0;
}
