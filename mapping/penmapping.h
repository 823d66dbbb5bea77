#pragma once
// The stages of a pen sample's way from the tablet to the screen, each a function of its
// inputs (the mouse mode's shared anchor and the output stay with the pen path):
// rotation with tilt, pen-display calibration, the tablet area, the screen target.
// Integer maths as the tablet units need it; calibration and the screen position in
// single precision, truncated.

// Before any Qt header: the screen table has a member named "slots", which Qt's keyword
// macro would swallow.
#include "mapping/screentable.h"

#include "config/profilerecords.h"

#include <cstdint>

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
