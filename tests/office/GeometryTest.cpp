#include "office/model/Geometry.h"

#include <gtest/gtest.h>
#include <random>

using namespace office::model;

namespace {

void ExpectFrameNear(const Frame& a, const Frame& b, double tol = 1e-6) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.cx, b.cx, tol);
    EXPECT_NEAR(a.cy, b.cy, tol);
    double dr = std::fmod(std::abs(a.rot - b.rot), 360.0);
    EXPECT_NEAR(std::min(dr, 360.0 - dr), 0.0, 1e-6);
    EXPECT_EQ(a.flipH, b.flipH);
    EXPECT_EQ(a.flipV, b.flipV);
}

GroupFrame Group(Frame outer, double chX, double chY, double chCx, double chCy) {
    GroupFrame g;
    g.outer = outer;
    g.chX = chX;
    g.chY = chY;
    g.chCx = chCx;
    g.chCy = chCy;
    return g;
}

} // namespace

TEST(Geometry, MovedAndScaledGroupMapsCentreAndSize) {
    // Child box 0..100 drawn into 100..300 x 100..200: twice as wide, as high as before.
    GroupFrame g = Group({100, 100, 200, 100, 0, false, false}, 0, 0, 100, 100);
    Frame out = ChildToParent({10, 10, 20, 20, 0, false, false}, g);
    ExpectFrameNear(out, {120, 110, 40, 20, 0, false, false});

    // A group whose frame equals its child box leaves children where they are.
    GroupFrame same = Group({50, 60, 70, 80, 0, false, false}, 50, 60, 70, 80);
    ExpectFrameNear(ChildToParent({55, 65, 10, 5, 30, true, false}, same), {55, 65, 10, 5, 30, true, false});
}

TEST(Geometry, GroupFlipMirrorsPositionTogglesFlipAndNegatesRotation) {
    GroupFrame g = Group({0, 0, 100, 50, 0, true, false}, 0, 0, 100, 50);
    Frame out = ChildToParent({0, 0, 10, 10, 30, false, false}, g);
    ExpectFrameNear(out, {90, 0, 10, 10, 330, true, false});

    GroupFrame both = Group({0, 0, 100, 50, 0, true, true}, 0, 0, 100, 50);
    // Two flips make a half turn: the rotation keeps its sense.
    ExpectFrameNear(ChildToParent({0, 0, 10, 10, 30, false, false}, both), {90, 40, 10, 10, 30, true, true});
}

TEST(Geometry, GroupRotationTurnsChildAboutGroupCentre) {
    GroupFrame g = Group({0, 0, 100, 100, 90, false, false}, 0, 0, 100, 100);
    // Clockwise quarter turn (y down): the top-left corner goes to the top-right.
    Frame out = ChildToParent({0, 0, 10, 10, 0, false, false}, g);
    ExpectFrameNear(out, {90, 0, 10, 10, 90, false, false});
    Frame turned = ChildToParent({0, 0, 10, 10, 300, false, false}, g);
    EXPECT_NEAR(turned.rot, 30, 1e-9);
}

TEST(Geometry, QuarterTurnedChildTakesScaleFactorsSwapped) {
    GroupFrame g = Group({0, 0, 200, 100, 0, false, false}, 0, 0, 100, 100);
    Frame upright = ChildToParent({0, 0, 20, 10, 0, false, false}, g);
    EXPECT_NEAR(upright.cx, 40, 1e-9);
    EXPECT_NEAR(upright.cy, 10, 1e-9);
    Frame turned = ChildToParent({0, 0, 20, 10, 90, false, false}, g);
    EXPECT_NEAR(turned.cx, 20, 1e-9);
    EXPECT_NEAR(turned.cy, 20, 1e-9);
}

TEST(Geometry, ParentToChildInvertsChildToParentThroughNestedGroups) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pos(-5e6, 5e6), size(1e4, 5e6), angle(0, 360);
    std::bernoulli_distribution coin(0.5);
    auto randomFrame = [&] {
        return Frame{pos(rng), pos(rng), size(rng), size(rng), angle(rng), coin(rng), coin(rng)};
    };
    for (int i = 0; i < 300; ++i) {
        std::vector<GroupFrame> chain;
        int depth = 1 + i % 3;
        for (int d = 0; d < depth; ++d)
            chain.push_back(Group(randomFrame(), pos(rng), pos(rng), size(rng), size(rng)));
        Frame child = randomFrame();
        Frame onSlide = ChildToSlide(child, chain);
        ExpectFrameNear(SlideToChild(onSlide, chain), child, 1e-3);
        Frame other = randomFrame();
        ExpectFrameNear(ChildToSlide(SlideToChild(other, chain), chain), other, 1e-3);
    }
}

TEST(Geometry, DegenerateChildBoxDoesNotDivideByZero) {
    GroupFrame g = Group({10, 20, 0, 0, 0, false, false}, 0, 0, 0, 0);
    Frame out = ChildToParent({0, 0, 5, 5, 0, false, false}, g);
    EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.cx));
    Frame back = ParentToChild(out, g);
    EXPECT_TRUE(std::isfinite(back.x) && std::isfinite(back.cx));
}

TEST(Geometry, UnionIgnoresRotationAndDegreesFold) {
    Box b = UnionOfBoxes({{10, 20, 30, 40, 45, false, false}, {-5, 50, 10, 100, 0, true, false}});
    EXPECT_DOUBLE_EQ(b.x, -5);
    EXPECT_DOUBLE_EQ(b.y, 20);
    EXPECT_DOUBLE_EQ(b.cx, 45);
    EXPECT_DOUBLE_EQ(b.cy, 130);
    EXPECT_DOUBLE_EQ(NormaliseDegrees(-90), 270);
    EXPECT_DOUBLE_EQ(NormaliseDegrees(720), 0);
    double tiny = NormaliseDegrees(-1e-14);
    EXPECT_TRUE(tiny >= 0 && tiny < 360);
}
