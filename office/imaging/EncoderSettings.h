#pragma once

// Encoder constants of the paste formats, chosen with bench/imaging (`bench_imaging --kinds`) over the
// 80 largest distinct raster pictures of the test decks rendered at half size. "Y" and "C" are the
// encoders' own measure (Similarity.h: SSIM of luma and chroma over the windows that are not empty
// background), means per picture; "photo" and "flat" are split by kFlatPictureBusyShare.

namespace office::imaging::detail {

// JPEG. The former fixed setting, Q 85 4:2:0, gave photos (28 pictures) Y 0.9783, C 0.9254 in
// 884 KB; flat pictures (42: screenshots, text, drawings) Y 0.9855, C 0.9528 in 1081 KB; graphics
// with alpha, flattened (10) Y 0.9608, C 0.9729 in 234 KB.
// Now each picture gets the lowest quality in [kJpegMinQuality, max] (in steps) reaching the luma
// target, and full chroma where subsampling misses the chroma target. With the values below: photos
// 803 KB (0.91), each at the target or at the former setting when that is below it (mean Y 0.9749,
// mean Q 80, 4 of 28 in 4:4:4); flat pictures 1534 KB (1.42) at Y 0.9906, C 0.9833, 18 of 42 in
// 4:4:4; graphics 273 KB (1.17) at Y 0.9678, C 0.9923. Progressive scans were smaller for 53 of 80.
// Alternatives measured for photos: Y 0.98 up to Q 92 gave 1058 KB (1.20) with half of them in
// 4:4:4 for C 0.93; Y 0.978 up to Q 92 with no chroma target 914 KB (1.03).
inline constexpr int kJpegMinQuality = 50;
inline constexpr int kJpegQualityStep = 2;
// Pictures whose source has less than this share of busy (not flat) windows are flat: artefacts show
// against their background, so their targets are stricter and their range reaches higher.
inline constexpr double kFlatPictureBusyShare = 0.7;
// Photos: at least the former mean luma; chroma only guards strong colour detail (the former setting
// subsampled every photo); never above the former quality, so no photo grows.
inline constexpr double kJpegPhotoTargetLuma = 0.98;
inline constexpr double kJpegPhotoTargetChroma = 0.85;
inline constexpr int kJpegPhotoMaxQuality = 85;
// Flat pictures: above the former means on both, up to Q 92.
inline constexpr double kJpegFlatTargetLuma = 0.99;
inline constexpr double kJpegFlatTargetChroma = 0.96;
inline constexpr int kJpegFlatMaxQuality = 92;
// A JPEG encoded again on its own pixel grid (no resampling to hide earlier artefacts): every new
// artefact adds to the source's own, seen at the size the source was made for. Held to the flat
// pictures' targets. On the corpus bench: a 320 x 480 moderate-quality JPEG shown 1:1 lost a worst
// 32-pixel tile of 0.83 at the photo targets; at these it is no smaller and is kept as it was. A
// 1024 x 768 JPEG saved at top quality (827 KB) becomes 353 KB at tile 0.975 (at the photo targets
// about 165 KB at 0.957; 0.995 luma would have cost about 120 KB more than these).
inline constexpr double kJpegAgainTargetLuma = 0.99;
inline constexpr double kJpegAgainTargetChroma = 0.96;
inline constexpr int kJpegAgainMaxQuality = 92;
// The search starts here and predicts the rest from what it measures: 2 to 4 trials per picture.
inline constexpr int kJpegFirstTrialQuality = 84;
// Pictures larger than 1.5 times this are judged on a mosaic of tiles of this size spread over them.
inline constexpr double kJpegSampleMegapixels = 0.1;
inline constexpr int kJpegSampleTile = 64;

// PNG: a palette (libimagequant, no dithering) when it reaches these targets, else lossless. Against
// the former encoder (palette only when 256 colours hold every pixel, else lossless): graphics with
// alpha 689 -> 361 KB (8 of 10 palettes), flat pictures 7063 -> 6093 KB (30 of 42), photos
// 5103 -> 4638 KB (12 of 28; the rest stay lossless), mean Y of the results 0.9990 or more, for
// 2.3 to 3.8 times the encoding time.
inline constexpr double kPngPaletteTargetLuma = 0.99;
inline constexpr double kPngPaletteTargetChroma = 0.99;
inline constexpr double kPngPaletteTargetAlpha = 0.99;
// Pictures with more distinct colours than this are photographs to a plain palette: not tried.
inline constexpr int kPngPaletteMaxColours = 50000;
// A transparent picture no plain palette keeps (a photograph cut out or faded, at any number of
// colours) is posterised at the coarsest of these steps (alpha at half the step) that reaches the
// palette targets judged as shown (over black and over white at its place's opacity), and stored
// lossless. A dithered palette (libimagequant, dither 1) reached only luma 0.78 at full opacity and
// 0.90 at 47 % on a faded photo: its noise costs the SSIM of every smooth area, so it is not tried.
// On a faded photo at 100 % and 47 % and a grainier one at 47 %, alpha at the colour's step gave
// 10 to 21 % larger files at the same targets, exact alpha -1 to 5 %. A 420 x 512 one (lossless 412 KB) comes
// out at 212 KB at full opacity and 149 KB at 47 %; the judging and encoding took about 0.25 s.
inline constexpr int kPngPosteriseSteps[] = {24, 20, 16, 14, 12, 10, 9, 8, 7, 6, 5, 4, 3, 2};
// Pictures larger than 1.5 times this are judged on a mosaic of tiles of this size spread over them.
inline constexpr double kPngShownSampleMegapixels = 0.25;
inline constexpr int kPngShownSampleTile = 64;
// zlib level with adaptive row filters, for PNG sources: level 3 3915 KB in 2.9 s; 6 3624 KB in
// 4.1 s; 9 3558 KB in 14.8 s, and far slower still on smooth gradients. Level 9 saves under 2 %.
inline constexpr int kPngCompression = 6;
// Adaptive row filters against none at level 6: 3624 KB against 3846 KB, about 1.5 times the time.
inline constexpr bool kPngAdaptiveFilter = true;

// GIF: libimagequant's slowest, best palette search.
inline constexpr int kGifEffort = 10;

} // namespace office::imaging::detail
