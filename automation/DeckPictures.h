#pragma once

// An extra of our own presentation engine, beyond the office object model: recompressing the
// picture parts the shape walk never reaches (backgrounds, fills, layouts, masters, notes, diagram
// drawings) where they are stored. A presentation offering it also derives from IDeckPictures; a
// backend without it is simply not asked.

#include <functional>
#include <string>
#include <vector>

namespace automation {

// Where a recompressed picture is shown, for the log.
enum class DeckPicturePlace { Background, Fill, Layout, Master, Notes, Slide, MediaPoster };

struct DeckPictureRequest {
    double scaleFactor = 1.4; // pixels per displayed point x 4/3 (96 dpi at 1.0)
    int format = 0;           // combFormat position: 0 recommended, 1 JPEG, 2 PNG, 3 GIF, 4 metafile
    double minimumBytes = 0;  // a stored picture smaller than this is left alone
    double expectRate = 75;   // the new picture must stay below this share (percent) of the old
    // True when a picture shape's name is the one it got when inserted; placeholder tells whether
    // the shape is a placeholder holding the picture. Any other name protects the picture.
    std::function<bool(const std::string& name, bool placeholder)> isDefaultPictureName;
};

struct DeckPictureResult {
    std::string part; // the part's name after the pass ("/ppt/media/image3.jpeg")
    DeckPicturePlace place = DeckPicturePlace::Fill;
    int width = 0; // pixels of the new picture
    int height = 0;
    std::string format; // "JPEG", "PNG" or "GIF"
    double bytesBefore = 0;
    double bytesAfter = 0;
};

class IDeckPictures {
public:
    virtual ~IDeckPictures() = default;
    // Recompresses every qualifying picture part in place; returns one result per part replaced.
    virtual std::vector<DeckPictureResult> CompressDeckPictures(const DeckPictureRequest& request) = 0;
};

} // namespace automation
