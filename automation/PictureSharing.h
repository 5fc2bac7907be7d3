#pragma once

// An extra of our own presentation engine, beyond the office object model: whether re-creating a
// picture shape can free the picture it stores. A picture part shown by several places stays in the
// package while any of them keeps it, so a replacement for one of them would only add its own bytes.
// A presentation offering it also derives from IPictureSharing; a backend without it is not asked.

#include "automation/PowerPoint.h"

#include <functional>
#include <string>

namespace automation {

class IPictureSharing {
public:
    virtual ~IPictureSharing() = default;
    // True when the picture that shape shows is also shown by a place that will keep it: a picture
    // shape whose name protects it (isDefaultPictureName false), a layout, master, background, fill
    // or note, or a reference the engine does not understand. Places the walk replaces too (other
    // slide pictures under default names) do not keep it. False for anything but a picture shape.
    virtual bool PictureKeptElsewhere(
        IShape& shape,
        const std::function<bool(const std::string& name, bool placeholder)>& isDefaultPictureName) = 0;
};

} // namespace automation
