#pragma once

// Shape frames and the group transform. A frame is what a:xfrm says (top-left of the unrotated box,
// size, clockwise rotation in degrees, flips); a group maps its children's frames from its child box
// (chOff/chExt) onto its own box, then flips and rotates them about its centre.

#include <vector>

namespace office::model {

inline constexpr double kEmuPerPoint = 12700.0;
inline constexpr double kAngleUnitsPerDegree = 60000.0;

struct Frame {
    double x = 0, y = 0;   // top-left of the unrotated box
    double cx = 0, cy = 0; // size
    double rot = 0;        // degrees clockwise, in [0, 360)
    bool flipH = false, flipV = false;

    double CentreX() const { return x + cx / 2; }
    double CentreY() const { return y + cy / 2; }
};

struct GroupFrame {
    Frame outer;               // the group's own frame in its parent's space
    double chX = 0, chY = 0;   // a:chOff
    double chCx = 0, chCy = 0; // a:chExt
};

// Degrees folded into [0, 360).
double NormaliseDegrees(double degrees);

// A child's frame in the group's parent space. Children scale along their own axes; a child turned
// by about a quarter (rotation in [45, 135) or [225, 315)) takes the two scale factors swapped,
// as office renderers draw it.
Frame ChildToParent(const Frame& child, const GroupFrame& group);
// The inverse: the child-space frame that ChildToParent maps onto the given parent-space frame.
Frame ParentToChild(const Frame& inParent, const GroupFrame& group);

// Through a chain of groups, outermost first (the slide-level group at index 0).
Frame ChildToSlide(const Frame& child, const std::vector<GroupFrame>& groupsOutermostFirst);
Frame SlideToChild(const Frame& onSlide, const std::vector<GroupFrame>& groupsOutermostFirst);

// The union of the unrotated boxes of the frames (rotation ignored, as a new group's box is made).
struct Box {
    double x = 0, y = 0, cx = 0, cy = 0;
};
Box UnionOfBoxes(const std::vector<Frame>& frames);

} // namespace office::model
