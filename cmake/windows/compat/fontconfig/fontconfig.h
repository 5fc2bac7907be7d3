/* Fontconfig's interface as far as libemf2svg uses it, for Windows, where there is no fontconfig:
 * no font is ever found. libemf2svg asks only to turn glyph indices back into text, and treats a
 * font it cannot find as it does on any system that lacks the font. */
#ifndef QUARNEL_COMPAT_FONTCONFIG_H
#define QUARNEL_COMPAT_FONTCONFIG_H

#include <stddef.h>

typedef unsigned char FcChar8;
typedef int FcBool;
typedef struct FcPattern FcPattern;
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

/* Every lookup starts here, and fails here. */
static inline FcPattern* FcNameParse(const FcChar8* name) {
    (void)name;
    return NULL;
}

static inline FcBool FcConfigSubstitute(FcConfig* c, FcPattern* p, FcMatchKind k) {
    (void)c, (void)p, (void)k;
    return 0;
}
static inline FcBool FcPatternAddInteger(FcPattern* p, const char* o, int i) {
    (void)p, (void)o, (void)i;
    return 0;
}
static inline FcPattern* FcFontMatch(FcConfig* c, FcPattern* p, FcResult* r) {
    (void)c, (void)p;
    *r = FcResultNoMatch;
    return NULL;
}
static inline FcFontSet* FcFontSetCreate(void) {
    return NULL;
}
static inline FcBool FcFontSetAdd(FcFontSet* s, FcPattern* p) {
    (void)s, (void)p;
    return 0;
}
static inline void FcFontSetDestroy(FcFontSet* s) {
    (void)s;
}
static inline void FcPatternDestroy(FcPattern* p) {
    (void)p;
}
static inline FcPattern* FcPatternFilter(FcPattern* p, const FcObjectSet* o) {
    (void)p, (void)o;
    return NULL;
}
static inline FcResult FcPatternGetString(const FcPattern* p, const char* o, int n, FcChar8** s) {
    (void)p, (void)o, (void)n;
    *s = NULL;
    return FcResultNoMatch;
}
static inline void FcObjectSetDestroy(FcObjectSet* o) {
    (void)o;
}
static inline void FcFini(void) {}

#endif
