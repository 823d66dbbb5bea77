#pragma once
// The output reports of the virtual HID device: 65 bytes each, report id 0x40, the
// kind in bytes 1-2, little-endian fields after it. The program writes them; the
// device (the uinput bridge here) turns them into pen and mouse input.
//
//   pen             40 0A 05  3: status  4-5: x  6-7: y  8-9: pressure  10: tilt x  11: tilt y
//   absolute mouse  40 08 09  3: buttons 4-5: x  6-7: y  8-9: pressure
//   relative mouse  40 05 04  3: buttons 4: dx   5: dy   6: wheel
//
// x and y are 0..32767 across the whole virtual desktop, pressure 0..8191, tilt and the
// relative fields are signed bytes (degrees, counts, notches).

#include <cstdint>

constexpr int kVhidReportLength = 65;
constexpr uint8_t kVhidReportId = 0x40;

// The hardware id the virtual device registers under.
constexpr char kVhidHardwareId[] = "HID\\Inkora&COL05";

enum class VhidReportKind { Pen, AbsoluteMouse, RelativeMouse, Unknown };

constexpr uint8_t kVhidPenKind[2] = {0x0A, 0x05};
constexpr uint8_t kVhidAbsoluteKind[2] = {0x08, 0x09};
constexpr uint8_t kVhidRelativeKind[2] = {0x05, 0x04};

// Pen status bits: a digitizer pen's tip, barrel, eraser (eraser end touching), invert
// (eraser end hovering) and in-range switches; 0x20 is a second barrel button. The
// program sends 0x10 | tip for the pen, 0x14 / 0x18 for the eraser touching / hovering,
// and 0xC0 (in-range clear) for a pen that leaves.
enum VhidPenStatus : uint8_t {
    VhidPenTip = 0x01,
    VhidPenBarrel = 0x02,
    VhidPenEraser = 0x04,
    VhidPenInvert = 0x08,
    VhidPenInRange = 0x10,
    VhidPenBarrel2 = 0x20,
};

// Mouse report buttons.
enum VhidMouseButton : uint8_t {
    VhidButtonLeft = 0x01,
    VhidButtonRight = 0x02,
    VhidButtonMiddle = 0x04,
};

inline VhidReportKind vhidReportKind(const uint8_t *report, int length)
{
    if (length < 3 || report[0] != kVhidReportId)
        return VhidReportKind::Unknown;
    if (report[1] == kVhidPenKind[0] && report[2] == kVhidPenKind[1])
        return VhidReportKind::Pen;
    if (report[1] == kVhidAbsoluteKind[0] && report[2] == kVhidAbsoluteKind[1])
        return VhidReportKind::AbsoluteMouse;
    if (report[1] == kVhidRelativeKind[0] && report[2] == kVhidRelativeKind[1])
        return VhidReportKind::RelativeMouse;
    return VhidReportKind::Unknown;
}
