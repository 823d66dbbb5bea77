// Hardness levels and curve points: the slider and the editor must agree both ways.
#include "mapping/pressurelevels.h"

#include <gtest/gtest.h>

TEST(PressLevels, EveryLevelReadsBackFromItsOwnPoints)
{
    // Level 3's slope is about 0.089, level 1's 0.686 sits just under the 0.69 threshold:
    // a threshold compared in the wrong direction or in double precision moves them.
    for (int level = kPressLevelMin; level <= kPressLevelMax; ++level) {
        SPresslvPoints points{};
        ASSERT_TRUE(PressLevelPoints(level, &points)) << level;
        EXPECT_FLOAT_EQ(points.P2, 1.0f);
        EXPECT_EQ(PressLevelFromPoints(points), level) << level;
    }
}

TEST(PressLevels, DraggedPointsPickALevelWithoutBeingReplaced)
{
    // Slope exactly 1.0: level 0 although the points are not level 0's.
    const SPresslvPoints dragged{0.1f, 0.5f, 0.6f, 0.9f};
    SPresslvPoints copy = dragged;
    EXPECT_EQ(PressLevelFromPoints(copy), 0);
    EXPECT_EQ(copy.P1X, dragged.P1X);
    EXPECT_EQ(copy.P1Y, dragged.P1Y);

    // A control point right above the start: no run, the steepest level, no division.
    EXPECT_EQ(PressLevelFromPoints({0.3f, 0.3f, 0.2f, 1.0f}), -3);
    // ...and one on the floor as well: flat, the firmest.
    EXPECT_EQ(PressLevelFromPoints({0.3f, 0.3f, 1.0f, 1.0f}), 3);
    // The run is a distance: a control point left of the start counts like one right.
    EXPECT_EQ(PressLevelFromPoints({0.6f, 0.1f, 0.5f, 1.0f}), 0);
}

TEST(PressLevels, UnknownLevelKeepsThePoints)
{
    SPresslvPoints points{0.2f, 0.4f, 0.3f, 0.8f};
    EXPECT_FALSE(PressLevelPoints(4, &points));
    EXPECT_FALSE(PressLevelPoints(-4, &points));
    EXPECT_FLOAT_EQ(points.P0, 0.2f);
    EXPECT_FLOAT_EQ(points.P2, 0.8f);
}
