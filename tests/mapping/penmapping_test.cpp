// The pen sample's stages, each alone, on a 10000 x 6000 tablet of 5.00 x 3.00 inches
// (2000 units per inch).
#include "mapping/penmapping.h"

#include <gtest/gtest.h>

namespace {

PenSample Sample(int64_t x, int64_t y, int tiltX = 0, int tiltY = 0)
{
    PenSample s;
    s.x = x;
    s.y = y;
    s.tiltX = tiltX;
    s.tiltY = tiltY;
    s.width = 10000;
    s.height = 6000;
    s.widthInch100 = 500;
    s.heightInch100 = 300;
    return s;
}

} // namespace

TEST(PenStages, QuarterTurnsMoveTheCornerAndTheTiltTogether)
{
    // A point near the top left corner, leaning right (+x) and towards the user (+y).
    struct Row { int orientation; int64_t x, y, width, inch; int tiltX, tiltY; };
    const Row rows[] = {
        {0, 100, 200, 10000, 500, 10, 20},
        {1, 6000 - 200, 100, 6000, 300, -20, 10},
        {2, 10000 - 100, 6000 - 200, 10000, 500, -10, -20},
        {3, 200, 10000 - 100, 6000, 300, 20, -10},
    };
    for (const Row &r : rows) {
        const PenSample s = RotateSample(Sample(100, 200, 10, 20), r.orientation);
        EXPECT_EQ(s.x, r.x) << r.orientation;
        EXPECT_EQ(s.y, r.y) << r.orientation;
        EXPECT_EQ(s.width, r.width) << r.orientation;
        EXPECT_EQ(s.widthInch100, r.inch) << r.orientation;
        EXPECT_EQ(s.tiltX, r.tiltX) << r.orientation;
        EXPECT_EQ(s.tiltY, r.tiltY) << r.orientation;
    }
}

TEST(PenStages, AreaClampAndStretch)
{
    TabletXMLData profile{};
    profile.TX = 100; // one inch in, half the tablet wide and high
    profile.TY = 50;
    profile.TW = 250;
    profile.TH = 150;
    const TabletArea area = AreaOf(profile, Sample(0, 0), 2000);
    EXPECT_EQ(area.left, 2000);
    EXPECT_EQ(area.top, 1000);
    EXPECT_EQ(area.width, 5000);
    EXPECT_EQ(area.height, 3000);

    // Edges belong to the area; outside is held at the nearest edge.
    PenSample edge = Sample(7000, 4000);
    EXPECT_TRUE(ClampToArea(edge, area));
    PenSample out = Sample(9000, 500);
    EXPECT_FALSE(ClampToArea(out, area));
    EXPECT_EQ(out.x, 7000);
    EXPECT_EQ(out.y, 1000);

    // The area's middle is the tablet's middle; its far edge the tablet's far edge.
    PenSample middle = Sample(4500, 2500);
    AreaToTablet(middle, area);
    EXPECT_EQ(middle.x, 5000);
    EXPECT_EQ(middle.y, 3000);
    AreaToTablet(edge, area);
    EXPECT_EQ(edge.x, 10000);
    EXPECT_EQ(edge.y, 6000);

    // Onto a 1920 x 1080 screen right of another one.
    float sx = 0.0f;
    float sy = 0.0f;
    SampleOnScreen(middle, ScreenRect{1920, 0, 1920, 1080}, &sx, &sy);
    EXPECT_FLOAT_EQ(sx, 2880.0f);
    EXPECT_FLOAT_EQ(sy, 540.0f);
}

TEST(PenStages, CalibrationScalesAboutTheAreaMiddleAndZeroIsUncalibrated)
{
    const TabletArea area{0, 0, 10000, 6000};
    TabletXMLData profile{};
    PenSample s = Sample(1000, 1000);
    CalibrateSample(s, area, profile); // all zero: no calibration
    EXPECT_EQ(s.x, 1000);

    profile.fKX = 1.0f; // the identity: scale 1, offsets 1 (the middle stays)
    profile.fKY = 1.0f;
    profile.fXLC = 1.0f;
    profile.fYLC = 1.0f;
    CalibrateSample(s, area, profile);
    EXPECT_EQ(s.x, 1000);
    EXPECT_EQ(s.y, 1000);

    profile.fKX = 2.0f; // half the distance from the middle
    profile.fXLC = 1.1f; // and a tenth of the half width to the right
    CalibrateSample(s, area, profile);
    EXPECT_EQ(s.x, (1000 - 5000) / 2 + 5500);
}
