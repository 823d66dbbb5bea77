#include "mapping/pressurecurve.h"

#include <algorithm>
#include <cmath>

[[gnu::hot]] int32_t PressureMap(uint32_t raw, uint32_t maxPressure, const SPresslvPoints &points)
{
    if (raw == 0 || maxPressure == 0)
        return 0;
    const double x = static_cast<double>(raw) / maxPressure;
    const double p0 = points.P0, p1x = points.P1X, p1y = points.P1Y, p2 = points.P2;
    const double a = p0 - 2.0 * p1x + p2;

    double t;
    if (a != 0.0) {
        const double d = std::max(0.0, x * a - p0 * p2 + p1x * p1x);
        t = (p0 - p1x + std::sqrt(d)) / a;
    } else if (p0 != p1x) {
        t = (p0 - x) / (2.0 * (p0 - p1x));
    } else {
        // All three x positions equal: a vertical step at P0.
        t = x < p0 ? 0.0 : 1.0;
    }
    t = std::clamp(t, 0.0, 1.0);
    const double y = std::clamp(2.0 * t * (1.0 - t) * (1.0 - p1y) + t * t, 0.0, 1.0);
    return static_cast<int32_t>(y * kPressureOutMax);
}

SPresslvPoints DefaultPressPoints()
{
    return SPresslvPoints{0.0f, 0.5f, 0.5f, 1.0f};
}
