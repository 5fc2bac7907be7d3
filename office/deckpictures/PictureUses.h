#pragma once

// Every place of a package that shows a picture part: the blips of slides, layouts, masters,
// notes, diagram drawings, themes and chart areas, with the box each is drawn into. A reference the scanner
// does not understand (an object preview, a chart, a text fill, a VML drawing...) is recorded as such, so
// that the picture it points at is left alone.

#include "office/imaging/Imaging.h"
#include "office/package/Package.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace office::deckpictures {

enum class PartKind { Slide, Layout, Master, Notes, Diagram, Theme, Chart, Other };
// DiagramData: a diagram's data keeps a record of a picture its drawing part shows; it is drawn from
// the drawing, so it sets no size.
enum class UseKind { Picture, Background, Fill, TableCell, DiagramData, Unknown };

struct PictureUse {
    std::string sourcePart;
    std::string relId;
    PartKind partKind = PartKind::Other;
    UseKind kind = UseKind::Unknown;
    double boxWidth = 0; // EMU the picture (with its crop) is stretched over
    double boxHeight = 0;
    imaging::CropRect crop;
    // Drawn at a size that follows the picture's own pixels and resolution (a tile, or a fill that
    // is not stretched over a fill rectangle), so the pixels must stay as they are.
    bool sizedByPixels = false;
    bool protectedName = false; // a picture shape whose name the person gave
    // A slide picture the walk does not re-create (an SVG alternative or a tile): this pass takes it.
    bool walkLeavesIt = false;
    // A slide picture under a name the shape walk replaces, whether or not its box could be read here
    // (a placeholder takes its box from the layout).
    bool walkReplacesIt = false;
    bool mediaPoster = false; // the picture a movie or sound shows before it plays
    bool colourKey = false;   // a:clrChange: one exact colour turns transparent
    // The blip has an SVG version: a player that draws it never shows these pixels, the others show
    // them with the crop the SVG shares.
    bool svgFallback = false;
    double opacity = 1; // a:alphaModFix: the place draws the picture this opaque
};

// isDefaultName(name, placeholder): the picture shape's name is the one it got when inserted.
using DefaultNameTest = std::function<bool(const std::string& name, bool placeholder)>;

// Uses by picture part name (as stored), over the live parts of the package.
std::map<std::string, std::vector<PictureUse>> CollectPictureUses(const package::Package& pkg,
                                                                  const DefaultNameTest& isDefaultName);

} // namespace office::deckpictures
