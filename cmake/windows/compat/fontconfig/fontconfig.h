/* Fontconfig's interface as far as libemf2svg uses it, for Windows, where there is no fontconfig.
 * libemf2svg asks only for the file of a family, weight and slant, to turn glyph indices back into
 * text. The answer comes from the fonts the system has registered (the "Fonts" keys of the machine
 * and of the user: "<Family> [Bold] [Italic|Oblique] (TrueType)" = file), the style that fits
 * best, else the family's regular face. A family the system lacks is not found, as on any system
 * that lacks the font. Only emf2svg_utils.c includes this. */
#ifndef QUARNEL_COMPAT_FONTCONFIG_H
#define QUARNEL_COMPAT_FONTCONFIG_H

#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

typedef unsigned char FcChar8;
typedef int FcBool;
typedef struct FcPattern {
    wchar_t family[128];
    int weight; /* fontconfig's scale */
    int slant;
    char* file;
} FcPattern;
typedef struct FcObjectSet FcObjectSet;
typedef struct FcConfig FcConfig;
typedef struct FcFontSet {
    int nfont;
    int sfont;
    FcPattern** fonts;
} FcFontSet;
typedef enum { FcResultMatch, FcResultNoMatch } FcResult;
typedef enum { FcMatchPattern, FcMatchFont } FcMatchKind;

#define FC_FILE "file"
#define FC_SLANT "slant"
#define FC_WEIGHT "weight"
#define FC_SLANT_ITALIC 100
#define FC_WEIGHT_THIN 0
#define FC_WEIGHT_EXTRALIGHT 40
#define FC_WEIGHT_LIGHT 50
#define FC_WEIGHT_BOOK 75
#define FC_WEIGHT_MEDIUM 100
#define FC_WEIGHT_DEMIBOLD 180
#define FC_WEIGHT_BOLD 200
#define FC_WEIGHT_HEAVY 210
#define FC_WEIGHT_BLACK 210

/* The family name is UTF-8. */
static inline FcPattern* FcNameParse(const FcChar8* name) {
    FcPattern* p = (FcPattern*)calloc(1, sizeof(FcPattern));
    if (!p)
        return NULL;
    if (!name || !MultiByteToWideChar(CP_UTF8, 0, (const char*)name, -1, p->family, 128) || !p->family[0]) {
        free(p);
        return NULL;
    }
    p->weight = 80; /* regular */
    return p;
}

static inline FcBool FcConfigSubstitute(FcConfig* c, FcPattern* p, FcMatchKind k) {
    (void)c, (void)p, (void)k;
    return 1;
}
static inline FcBool FcPatternAddInteger(FcPattern* p, const char* o, int i) {
    if (!p)
        return 0;
    if (!strcmp(o, FC_WEIGHT))
        p->weight = i;
    else if (!strcmp(o, FC_SLANT))
        p->slant = i;
    return 1;
}

/* How well a registration's name, "<family>[ <style words>] (<kind>)" or several such joined by
 * " & " (a collection), fits: -1 not the family, else higher is better. */
static inline int QuarnelFontFit(const wchar_t* registered, const FcPattern* want) {
    int best = -1;
    const size_t family = wcslen(want->family);
    const wchar_t* name = registered;
    while (name && *name) {
        const wchar_t* end = wcsstr(name, L" & ");
        const wchar_t* kind = wcschr(name, L'(');
        size_t length = end ? (size_t)(end - name) : wcslen(name);
        if (kind && (size_t)(kind - name) < length)
            length = (size_t)(kind - name);
        while (length && name[length - 1] == L' ')
            --length;
        if (length >= family && !_wcsnicmp(name, want->family, family) &&
            (length == family || name[family] == L' ')) {
            wchar_t style[64] = L"";
            if (length > family + 1 && length - family - 1 < 64)
                wcsncpy(style, name + family + 1, length - family - 1), style[length - family - 1] = 0;
            else if (length != family)
                style[0] = L'?'; /* a longer family of the same start, or an odd style */
            const int bold = wcsstr(style, L"Bold") != NULL;
            const int italic = wcsstr(style, L"Italic") != NULL || wcsstr(style, L"Oblique") != NULL;
            int others = 0; /* words other than the two: Condensed, Light, another family... */
            for (wchar_t* word = style; *word;) {
                wchar_t* next = wcschr(word, L' ');
                if (next)
                    *next++ = 0;
                if (*word && wcscmp(word, L"Bold") && wcscmp(word, L"Italic") && wcscmp(word, L"Oblique") &&
                    wcscmp(word, L"Regular"))
                    ++others;
                word = next ? next : word + wcslen(word);
            }
            if (!others) {
                const int fit = 2 * (bold == (want->weight >= FC_WEIGHT_DEMIBOLD)) +
                                (italic == (want->slant >= FC_SLANT_ITALIC));
                if (fit > best)
                    best = fit;
            }
        }
        name = end ? end + 3 : NULL;
    }
    return best;
}

/* The file of the best registration under one Fonts key, in the system's code page (FreeType
 * opens it by name); a bare name is in the Windows fonts folder. */
static inline void QuarnelFindFont(HKEY root, const FcPattern* want, int* bestFit, char** file) {
    HKEY key = NULL;
    if (RegOpenKeyExW(root, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512], data[MAX_PATH];
        DWORD nameLength = 512, dataBytes = sizeof data - sizeof(wchar_t), type = 0;
        const LONG status = RegEnumValueW(key, i, name, &nameLength, NULL, &type, (BYTE*)data, &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataBytes / sizeof(wchar_t)] = 0;
        const int fit = QuarnelFontFit(name, want);
        if (fit <= *bestFit)
            continue;
        wchar_t path[MAX_PATH * 2];
        if (wcschr(data, L'\\') || wcschr(data, L':')) {
            wcsncpy(path, data, MAX_PATH * 2 - 1), path[MAX_PATH * 2 - 1] = 0;
        } else {
            const UINT folder = GetWindowsDirectoryW(path, MAX_PATH);
            if (!folder || folder >= MAX_PATH)
                continue;
            wcscat(path, L"\\Fonts\\");
            wcscat(path, data);
        }
        char narrow[MAX_PATH * 3];
        BOOL lossy = FALSE;
        if (!WideCharToMultiByte(CP_ACP, 0, path, -1, narrow, sizeof narrow, NULL, &lossy) || lossy)
            continue;
        free(*file);
        *file = _strdup(narrow);
        *bestFit = fit;
    }
    RegCloseKey(key);
}

static inline FcPattern* FcFontMatch(FcConfig* c, FcPattern* p, FcResult* r) {
    (void)c;
    *r = FcResultNoMatch;
    if (!p)
        return NULL;
    int bestFit = -1;
    char* file = NULL;
    QuarnelFindFont(HKEY_LOCAL_MACHINE, p, &bestFit, &file);
    QuarnelFindFont(HKEY_CURRENT_USER, p, &bestFit, &file);
    if (!file)
        return NULL;
    FcPattern* match = (FcPattern*)calloc(1, sizeof(FcPattern));
    if (!match) {
        free(file);
        return NULL;
    }
    *match = *p;
    match->file = file;
    *r = FcResultMatch;
    return match;
}

static inline FcFontSet* FcFontSetCreate(void) {
    return (FcFontSet*)calloc(1, sizeof(FcFontSet));
}
static inline FcBool FcFontSetAdd(FcFontSet* s, FcPattern* p) {
    if (!s || !p)
        return 0;
    FcPattern** fonts = (FcPattern**)realloc(s->fonts, (size_t)(s->nfont + 1) * sizeof(FcPattern*));
    if (!fonts)
        return 0;
    s->fonts = fonts;
    s->fonts[s->nfont++] = p;
    s->sfont = s->nfont;
    return 1;
}
static inline void FcPatternDestroy(FcPattern* p) {
    if (p) {
        free(p->file);
        free(p);
    }
}
static inline void FcFontSetDestroy(FcFontSet* s) {
    if (!s)
        return;
    for (int i = 0; i < s->nfont; ++i)
        FcPatternDestroy(s->fonts[i]);
    free(s->fonts);
    free(s);
}
/* A copy the caller destroys. */
static inline FcPattern* FcPatternFilter(FcPattern* p, const FcObjectSet* o) {
    (void)o;
    if (!p)
        return NULL;
    FcPattern* copy = (FcPattern*)calloc(1, sizeof(FcPattern));
    if (!copy)
        return NULL;
    *copy = *p;
    copy->file = p->file ? _strdup(p->file) : NULL;
    return copy;
}
static inline FcResult FcPatternGetString(const FcPattern* p, const char* o, int n, FcChar8** s) {
    *s = NULL;
    if (!p || n != 0 || strcmp(o, FC_FILE) || !p->file)
        return FcResultNoMatch;
    *s = (FcChar8*)p->file;
    return FcResultMatch;
}
static inline void FcObjectSetDestroy(FcObjectSet* o) {
    (void)o;
}
static inline void FcFini(void) {}

#endif
