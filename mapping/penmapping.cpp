#include "mapping/penmapping.h"

#include <algorithm>
#include <cmath>
#include <utility>

PenSample RotateSample(const PenSample &in, int orientation)
{
    PenSample s = in;
    const bool tilted = in.tiltX != 0 || in.tiltY != 0;
    switch (orientation) {
    case 1:
        s.x = in.height - in.y;
        s.y = in.x;
        if (tilted) {
            s.tiltX = -in.tiltY;
            s.tiltY = in.tiltX;
        }
        std::swap(s.width, s.height);
        std::swap(s.widthInch100, s.heightInch100);
        break;
    case 2:
        s.x = in.width - in.x;
        s.y = in.height - in.y;
        if (tilted) {
            s.tiltX = -in.tiltX;
            s.tiltY = -in.tiltY;
        }
        break;
    case 3:
        s.x = in.y;
        s.y = in.width - in.x;
        if (tilted) {
            s.tiltX = in.tiltY;
            s.tiltY = -in.tiltX;
        }
        std::swap(s.width, s.height);
        std::swap(s.widthInch100, s.heightInch100);
        break;
    default:
        break;
    }
    return s;
}

TabletArea AreaOf(const TabletXMLData &profile, const PenSample &sample, int64_t resolution)
{
    TabletArea area;
    if (sample.widthInch100 == 0 || sample.heightInch100 == 0)
        return area;
    area.width = int64_t(profile.TW) * sample.width / sample.widthInch100;
    area.height = int64_t(profile.TH) * sample.height / sample.heightInch100;
    area.left = int64_t(profile.TX) * resolution / 100;
    area.top = int64_t(profile.TY) * resolution / 100;
    return area;
}

void CalibrateSample(PenSample &sample, const TabletArea &area, const TabletXMLData &profile)
{
    if (profile.fKX == 0.0f || profile.fKY == 0.0f)
        return;
    const float faw = float(area.width);
    const float fah = float(area.height);
    const float cx = (float(sample.x) - faw / 2.0f) / profile.fKX + faw * profile.fXLC / 2.0f;
    const float cy = (float(sample.y) - fah / 2.0f) / profile.fKY + fah * profile.fYLC / 2.0f;
    if (std::isfinite(cx) && std::isfinite(cy)) {
        sample.x = int64_t(cx);
        sample.y = int64_t(cy);
    }
}

bool ClampToArea(PenSample &sample, const TabletArea &area)
{
    const int64_t right = area.left + area.width;
    const int64_t bottom = area.top + area.height;
    const bool inside = sample.x >= area.left && sample.x <= right && sample.y >= area.top && sample.y <= bottom;
    if (!inside) {
        sample.x = std::clamp(sample.x, area.left, right);
        sample.y = std::clamp(sample.y, area.top, bottom);
    }
    return inside;
}

void AreaToTablet(PenSample &sample, const TabletArea &area)
{
    sample.x = std::min(sample.x - area.left, area.width) * sample.width / area.width;
    sample.y = std::min(sample.y - area.top, area.height) * sample.height / area.height;
}

void SampleOnScreen(const PenSample &sample, const ScreenRect &target, float *x, float *y)
{
    *x = float(target.left) + float(target.width) * float(sample.x) / float(sample.width);
    *y = float(target.top) + float(target.height) * float(sample.y) / float(sample.height);
}
