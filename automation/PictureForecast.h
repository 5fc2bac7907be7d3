#pragma once

// An extra of our own presentation engine, beyond the office object model: the walk says which
// picture copies it is about to paste, so that the engine can make their encodings ahead on other
// cores. A forecast only ever saves time: what a paste stores does not depend on it. A presentation
// offering it also derives from IPictureForecast; a backend without it is not asked.

#include "automation/PowerPoint.h"

#include <vector>

namespace automation {

struct PictureCopyForecast {
    ShapePtr shape;
    double copyWidth = 0; // points: the size the shape is set to for the copy
    double copyHeight = 0;
    double shownWidth = 0; // points: as CopyShownAt is given them
    double shownHeight = 0;
    int dataType = 0; // the PasteSpecial data type the copy will be pasted as
    // The walk leaves a picture alone below this many bytes; one stored in fewer is not worth a forecast.
    double minimumBytes = 0;
    // The box (pixels) the copy is drawn in on white as the reference of its paste (Clipboard's
    // RenderMetafile), and whether the paste is drawn there too for the transparency check.
    int referenceWidth = 0;
    int referenceHeight = 0;
    bool checkPaste = false;
};

class IPictureForecast {
public:
    virtual ~IPictureForecast() = default;
    // Replaces the earlier forecasts with these, in the order of the walk; an empty list ends them.
    virtual void ForecastPictureCopies(const std::vector<PictureCopyForecast>& copies) = 0;
};

} // namespace automation
