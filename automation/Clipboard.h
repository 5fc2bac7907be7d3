#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace automation {

// Pixels of a rendering as the object model's colour numbers (0x00BBGGRR; 0 black, 16777215 white).
struct ColorBox {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> colors; // row-major, width * height

    std::uint32_t At(int x, int y) const { return colors[static_cast<std::size_t>(y) * width + x]; }
};

// The clipboard that copies and pastes go through. It belongs to the office backend, never to the
// desktop: compressing must not disturb what the user copied.
class IClipboard {
public:
    virtual ~IClipboard() = default;
    virtual void Clear() = 0;
    virtual bool ContainsMetafile() = 0;
    // Draws the metafile form of the clipboard from the top-left corner at the size it was copied at
    // (96 dpi) into a white box of the given pixel size, clipped to it. Empty when the clipboard
    // holds no metafile.
    virtual std::optional<ColorBox> RenderMetafile(int boxWidth, int boxHeight) = 0;
};

} // namespace automation
