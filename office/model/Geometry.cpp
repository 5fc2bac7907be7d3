#include "office/model/Geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace office::model {

namespace {

bool QuarterTurned(double rot) {
    double r = NormaliseDegrees(rot);
    return (r >= 45 && r < 135) || (r >= 225 && r < 315);
}

double ScaleX(const GroupFrame& g) {
    return g.chCx != 0 ? g.outer.cx / g.chCx : 1.0;
}
double ScaleY(const GroupFrame& g) {
    return g.chCy != 0 ? g.outer.cy / g.chCy : 1.0;
}

void RotateAbout(double& px, double& py, double cx, double cy, double degrees) {
    double t = degrees * std::numbers::pi / 180.0;
    double dx = px - cx, dy = py - cy;
    px = cx + dx * std::cos(t) - dy * std::sin(t);
    py = cy + dx * std::sin(t) + dy * std::cos(t);
}

} // namespace

double NormaliseDegrees(double degrees) {
    double r = std::fmod(degrees, 360.0);
    if (r < 0)
        r += 360.0;
    // fmod of a value just below 0 can round up to 360 itself.
    if (r >= 360.0)
        r = 0;
    return r;
}

Frame ChildToParent(const Frame& child, const GroupFrame& g) {
    const double sx = ScaleX(g), sy = ScaleY(g);
    const bool swap = QuarterTurned(child.rot);
    const double gx = g.outer.CentreX(), gy = g.outer.CentreY();

    double X = g.outer.x + (child.CentreX() - g.chX) * sx;
    double Y = g.outer.y + (child.CentreY() - g.chY) * sy;
    if (g.outer.flipH)
        X = 2 * gx - X;
    if (g.outer.flipV)
        Y = 2 * gy - Y;
    RotateAbout(X, Y, gx, gy, g.outer.rot);

    Frame out;
    out.cx = child.cx * (swap ? sy : sx);
    out.cy = child.cy * (swap ? sx : sy);
    out.x = X - out.cx / 2;
    out.y = Y - out.cy / 2;
    const bool mirrored = g.outer.flipH != g.outer.flipV;
    out.rot = NormaliseDegrees(g.outer.rot + (mirrored ? -child.rot : child.rot));
    out.flipH = child.flipH != g.outer.flipH;
    out.flipV = child.flipV != g.outer.flipV;
    return out;
}

Frame ParentToChild(const Frame& p, const GroupFrame& g) {
    const double sx = ScaleX(g), sy = ScaleY(g);
    const double gx = g.outer.CentreX(), gy = g.outer.CentreY();
    const bool mirrored = g.outer.flipH != g.outer.flipV;

    Frame out;
    double rel = p.rot - g.outer.rot;
    out.rot = NormaliseDegrees(mirrored ? -rel : rel);
    out.flipH = p.flipH != g.outer.flipH;
    out.flipV = p.flipV != g.outer.flipV;
    const bool swap = QuarterTurned(out.rot);
    // Guard a degenerate group box (zero extent): its children have no defined size inside it.
    const double fx = (swap ? sy : sx), fy = (swap ? sx : sy);
    out.cx = fx != 0 ? p.cx / fx : p.cx;
    out.cy = fy != 0 ? p.cy / fy : p.cy;

    double X = p.CentreX(), Y = p.CentreY();
    RotateAbout(X, Y, gx, gy, -g.outer.rot);
    if (g.outer.flipH)
        X = 2 * gx - X;
    if (g.outer.flipV)
        Y = 2 * gy - Y;
    double cxCentre = g.chX + (sx != 0 ? (X - g.outer.x) / sx : 0);
    double cyCentre = g.chY + (sy != 0 ? (Y - g.outer.y) / sy : 0);
    out.x = cxCentre - out.cx / 2;
    out.y = cyCentre - out.cy / 2;
    return out;
}

Frame ChildToSlide(const Frame& child, const std::vector<GroupFrame>& groups) {
    Frame f = child;
    for (auto it = groups.rbegin(); it != groups.rend(); ++it)
        f = ChildToParent(f, *it);
    return f;
}

Frame SlideToChild(const Frame& onSlide, const std::vector<GroupFrame>& groups) {
    Frame f = onSlide;
    for (const auto& g : groups)
        f = ParentToChild(f, g);
    return f;
}

Box UnionOfBoxes(const std::vector<Frame>& frames) {
    if (frames.empty())
        return {};
    double l = std::numeric_limits<double>::max(), t = l;
    double r = std::numeric_limits<double>::lowest(), b = r;
    for (const auto& f : frames) {
        l = std::min(l, f.x);
        t = std::min(t, f.y);
        r = std::max(r, f.x + f.cx);
        b = std::max(b, f.y + f.cy);
    }
    return {l, t, r - l, b - t};
}

} // namespace office::model
