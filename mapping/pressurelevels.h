#pragma once
// Hardness levels of the pressure curve: the seven slider steps -3 (softest) to 3
// (firmest) and the curve points each one stands for. The curve editor and the slider
// stay in step through these two conversions.

#include "config/profilerecords.h"

constexpr int kPressLevelMin = -3;
constexpr int kPressLevelMax = 3;

// The points of a level (P2 is 1.0 for every level). False for a level outside -3..3;
// points is then left as it was.
bool PressLevelPoints(int level, SPresslvPoints *points);

// The level whose curve is closest to the points, judged by the slope of the curve's
// rise from (P0, 0) to the control point: e = (1 - P1Y) / |P1X - P0| in single
// precision. A control point straight above P0 (no horizontal run) is the steepest
// curve, level -3.
int PressLevelFromPoints(const SPresslvPoints &points);
