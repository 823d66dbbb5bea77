#include "mapping/pressurelevels.h"

#include <cmath>

namespace {

struct LevelRow {
    float P0;
    float P1X;
    float P1Y;
};

// Rows for levels -3..3.
constexpr LevelRow kLevels[] = {
    {0.0f, 0.04f, 0.04f},
    {0.0f, 0.15f, 0.25f},
    {0.0f, 0.3f, 0.4f},
    {0.0f, 0.5f, 0.5f},
    {0.05f, 0.56f, 0.65f},
    {0.09f, 0.75f, 0.8f},
    {0.14f, 0.93f, 0.93f},
};

} // namespace

bool PressLevelPoints(int level, SPresslvPoints *points)
{
    if (level < kPressLevelMin || level > kPressLevelMax)
        return false;
    const LevelRow &row = kLevels[level - kPressLevelMin];
    points->P0 = row.P0;
    points->P1X = row.P1X;
    points->P1Y = row.P1Y;
    points->P2 = 1.0f;
    return true;
}

int PressLevelFromPoints(const SPresslvPoints &points)
{
    const float run = std::fabs(points.P1X - points.P0);
    const float rise = 1.0f - points.P1Y;
    // A zero run would divide by zero (the editor allows the control point right above
    // the start point): that is an infinitely steep start, the softest level.
    if (run == 0.0f)
        return rise > 0.0f ? -3 : 3;
    const float e = rise / run;
    if (e > 10.28f)
        return -3;
    if (e > 3.0f)
        return -2;
    if (e > 1.39f)
        return -1;
    if (e > 0.69f)
        return 0;
    if (e > 0.33f)
        return 1;
    if (e > 0.2f)
        return 2;
    return 3;
}
