#pragma once
// The pressure curve: a quadratic Bezier through (P0, 0), (P1X, 1 - P1Y) and (P2, 1)
// that turns raw pen pressure into output pressure 0..8191.

#include "config/profilerecords.h"

#include <cstdint>

constexpr int32_t kPressureOutMax = 8191;

// Output pressure for raw pressure 'raw' of a device whose maximum is 'maxPressure'.
// Raw 0 (or a device without a pressure range) gives 0. Double precision throughout.
// When P0, P1X and P2 coincide the curve has no parameter to solve for; it then falls
// back to the straight line from (P0, 0) to (P2, 1): 0 below P0, 8191 from P0 on.
int32_t PressureMap(uint32_t raw, uint32_t maxPressure, const SPresslvPoints &points);

// The linear default: P0 0, P1X 0.5, P1Y 0.5, P2 1.
SPresslvPoints DefaultPressPoints();
