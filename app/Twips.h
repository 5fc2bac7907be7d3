#pragma once

// Window coordinates are kept in twips (1440 per inch) and shown in pixels at the screen's logical dpi.

#include <QRect>
#include <cmath>

namespace app {

inline int TwipsToPixels(int twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}
inline int PixelsToTwips(int pixels, double dpi) {
    return static_cast<int>(std::lround(pixels * 1440.0 / dpi));
}
inline QRect TwipsRect(int left, int top, int width, int height, double dpi) {
    return QRect(TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), TwipsToPixels(width, dpi),
                 TwipsToPixels(height, dpi));
}

} // namespace app
