// Synthetic mouse events: flags by type and the 0..65535 coordinates.
#include "driverlink/syntheticmouse.h"
#include "platform/input/recordinginputinjector.h"

#include <gtest/gtest.h>

TEST(SyntheticMouse, TypeSelectsMoveOrTheLeftOrRightButton)
{
    RecordingInputInjector input;
    EXPECT_EQ(SyntheticMouse(&input, 2, 100, 50, 200, 100, false), 1);
    EXPECT_EQ(SyntheticMouse(&input, 1, 0, 0, 200, 100, false), 1);
    EXPECT_EQ(SyntheticMouse(&input, 0, 0, 0, 200, 100, false), 1);
    EXPECT_EQ(SyntheticMouse(&input, 1, 0, 0, 200, 100, true), 1);
    EXPECT_EQ(SyntheticMouse(&input, 0, 0, 0, 200, 100, true), 1);
    const QVector<MouseInput> e = input.mouseEvents();
    ASSERT_EQ(e.size(), 5);
    EXPECT_EQ(e[0].flags, uint32_t(MouseMove | MouseAbsolute));
    EXPECT_EQ(e[1].flags, uint32_t(MouseLeftDown | MouseAbsolute));
    EXPECT_EQ(e[2].flags, uint32_t(MouseLeftUp | MouseAbsolute));
    EXPECT_EQ(e[3].flags, uint32_t(MouseRightDown | MouseAbsolute));
    EXPECT_EQ(e[4].flags, uint32_t(MouseRightUp | MouseAbsolute));
    // 100 * 65535 / 200, 50 * 65535 / 100, truncated.
    EXPECT_EQ(e[0].x, 32767);
    EXPECT_EQ(e[0].y, 32767);
}

TEST(SyntheticMouse, TheFarEdgeIs65535EvenOnAVeryWideDesktop)
{
    RecordingInputInjector input;
    SyntheticMouse(&input, 2, 1920, 1080, 1920, 1080, false);
    // 40000 * 65535 passes 2^31.
    SyntheticMouse(&input, 2, 40000, 0, 40000, 1080, false);
    const QVector<MouseInput> e = input.mouseEvents();
    ASSERT_EQ(e.size(), 2);
    EXPECT_EQ(e[0].x, 65535);
    EXPECT_EQ(e[0].y, 65535);
    EXPECT_EQ(e[1].x, 65535);
}

TEST(SyntheticMouse, NothingIsInjectedForAnEmptyRectangleAnUnknownTypeOrNoFacility)
{
    RecordingInputInjector input;
    EXPECT_EQ(SyntheticMouse(&input, 2, 10, 10, 0, 100, false), 0);
    EXPECT_EQ(SyntheticMouse(&input, 2, 10, 10, 100, -1, false), 0);
    EXPECT_EQ(SyntheticMouse(&input, 3, 10, 10, 100, 100, false), 0);
    EXPECT_EQ(SyntheticMouse(nullptr, 2, 10, 10, 100, 100, false), 0);
    EXPECT_TRUE(input.mouseEvents().isEmpty());
    input.setFails(true);
    EXPECT_EQ(SyntheticMouse(&input, 2, 10, 10, 100, 100, false), 0);
}
