#pragma once
// The stages of a pen sample's way from the tablet to the screen, each a function of its
// inputs (the mouse mode's shared anchor and the output stay with the pen path):
// rotation with tilt, pen-display calibration, the tablet area, the screen target.
// Integer maths as the tablet units need it; calibration and the screen position in
// single precision, truncated. Inline: they run for every pen packet.

// Before any Qt header: the screen table has a member named "slots", which Qt's keyword
// macro would swallow.
#include "mapping/screentable.h"

#include "config/profilerecords.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

// One pen sample in tablet units, with the tablet's size as the sample sees it (turned
// with the sample).
struct PenSample {
    int64_t x = 0;
    int64_t y = 0;
    int tiltX = 0;
    int tiltY = 0;
    int64_t width = 0;          // logical units
    int64_t height = 0;
    int64_t widthInch100 = 0;   // hundredths of an inch
    int64_t heightInch100 = 0;
};

// The profile's tablet area in logical units of the turned tablet.
struct TabletArea {
    int64_t left = 0;
    int64_t top = 0;
    int64_t width = 0; // the last column is left + width
    int64_t height = 0;
};

// Turns the sample by the profile's quarter turns (1: a quarter, 2: half, 3: three
// quarters; anything else: none). The tilt turns with the tablet.
PenSample RotateSample(const PenSample &in, int orientation);

// The profile's tablet area (hundredths of an inch, at resolution units per inch) on
// the turned tablet; width or height 0 or less: no area to map from.
TabletArea AreaOf(const TabletXMLData &profile, const PenSample &sample, int64_t resolution);

// A pen display's calibration found on screen. A zero scale is an uncalibrated record,
// not a calibration; a result that is not finite leaves the sample as it was.
void CalibrateSample(PenSample &sample, const TabletArea &area, const TabletXMLData &profile);

// Holds the sample inside the area (edges included). True when it was inside.
bool ClampToArea(PenSample &sample, const TabletArea &area);

// The area stretched over the whole tablet: position in 0..width, 0..height.
void AreaToTablet(PenSample &sample, const TabletArea &area);

// Where the sample lands in target (screen pixels, not yet clamped to it).
void SampleOnScreen(const PenSample &sample, const ScreenRect &target, float *x, float *y);

// ---

inline PenSample RotateSample(const PenSample &in, int orientation)
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

inline TabletArea AreaOf(const TabletXMLData &profile, const PenSample &sample, int64_t resolution)
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

inline void CalibrateSample(PenSample &sample, const TabletArea &area, const TabletXMLData &profile)
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

inline bool ClampToArea(PenSample &sample, const TabletArea &area)
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

inline void AreaToTablet(PenSample &sample, const TabletArea &area)
{
    sample.x = std::min(sample.x - area.left, area.width) * sample.width / area.width;
    sample.y = std::min(sample.y - area.top, area.height) * sample.height / area.height;
}

inline void SampleOnScreen(const PenSample &sample, const ScreenRect &target, float *x, float *y)
{
    *x = float(target.left) + float(target.width) * float(sample.x) / float(sample.width);
    *y = float(target.top) + float(target.height) * float(sample.y) / float(sample.height);
}
