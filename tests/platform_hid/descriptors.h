#pragma once
// Report descriptors of the kinds the tablets carry, byte for byte.

#include <QByteArray>

namespace Descriptors {

// The vendor interface of a single-collection tablet: report 2, 9 bytes in and out.
inline QByteArray VendorOnly()
{
    static const unsigned char d[] = {
        0x06, 0x00, 0xFF,       // Usage Page (Vendor 0xFF00)
        0x09, 0x01,             // Usage (1)
        0xA1, 0x01,             // Collection (Application)
        0x85, 0x02,             //   Report ID (2)
        0x09, 0x01,             //   Usage (1)
        0x15, 0x00,             //   Logical Minimum (0)
        0x26, 0xFF, 0x00,       //   Logical Maximum (255)
        0x75, 0x08,             //   Report Size (8)
        0x95, 0x09,             //   Report Count (9)
        0x81, 0x02,             //   Input (Data, Var, Abs)
        0x09, 0x01,             //   Usage (1)
        0x91, 0x02,             //   Output (Data, Var, Abs)
        0xC0,                   // End Collection
    };
    return QByteArray(reinterpret_cast<const char *>(d), sizeof d);
}

// Pen (with a nested physical collection), mouse (physical inside) and vendor: three
// top-level application collections.
inline QByteArray PenMouseVendor()
{
    static const unsigned char d[] = {
        0x05, 0x0D,             // Usage Page (Digitizer)
        0x09, 0x02,             // Usage (Pen)
        0xA1, 0x01,             // Collection (Application)
        0x85, 0x0A,             //   Report ID (10)
        0x09, 0x20,             //   Usage (Stylus)
        0xA1, 0x00,             //   Collection (Physical)
        0x09, 0x42,             //     Usage (Tip Switch)
        0x15, 0x00, 0x25, 0x01, //     Logical Min 0, Max 1
        0x75, 0x01, 0x95, 0x01, //     Report Size 1, Count 1
        0x81, 0x02,             //     Input
        0x05, 0x01, 0x09, 0x30, //     Usage Page (Generic Desktop), Usage (X)
        0x27, 0xFF, 0xFF, 0x00, 0x00, // Logical Maximum (65535): four data bytes
        0x75, 0x10, 0x95, 0x01, 0x81, 0x02,
        0xC0,                   //   End Collection
        0xC0,                   // End Collection
        0x05, 0x01,             // Usage Page (Generic Desktop)
        0x09, 0x02,             // Usage (Mouse)
        0xA1, 0x01,             // Collection (Application)
        0x85, 0x01,             //   Report ID (1)
        0x09, 0x01,             //   Usage (Pointer)
        0xA1, 0x00,             //   Collection (Physical)
        0x05, 0x09, 0x19, 0x01, 0x29, 0x03, // Buttons 1-3
        0x75, 0x01, 0x95, 0x03, 0x81, 0x02,
        0xC0,                   //   End Collection
        0xC0,                   // End Collection
        0x06, 0x00, 0xFF,       // Usage Page (Vendor 0xFF00)
        0x09, 0x01,             // Usage (1)
        0xA1, 0x01,             // Collection (Application)
        0x85, 0x02, 0x09, 0x01, 0x75, 0x08, 0x95, 0x09, 0x81, 0x02,
        0xC0,                   // End Collection
    };
    return QByteArray(reinterpret_cast<const char *>(d), sizeof d);
}

} // namespace Descriptors
