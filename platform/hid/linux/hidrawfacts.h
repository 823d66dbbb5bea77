#pragma once
// What udev and sysfs say about one hidraw node, and the Windows-form interface texts
// built from it.
//
// HidrawTree holds the values exactly as udev gives them (text), so the parsing below
// can be checked against fixtures of real trees; HidrawFacts holds them parsed.

#include "platform/hid/hidbackend.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <map>

struct HidrawTree {
    // the hidraw node
    QString sysname;            // "hidraw3"
    QString syspath;            // key of the node in arrival and removal notices
    QString devnode;            // "/dev/hidraw3"
    // its "hid" parent
    QString hidSyspath;         // empty when there is none
    QString hidId;              // HID_ID: "BBBB:VVVVVVVV:PPPPPPPP" (hex)
    QString hidName;            // HID_NAME
    QString hidUniq;            // HID_UNIQ: serial, or the device address on Bluetooth
    QByteArray reportDescriptor; // <hid>/report_descriptor
    QString driver;             // the kernel driver bound to the hid device ("hid-generic")
    // "usb_interface" and "usb_device" parents (USB only)
    QString interfaceNumber;    // bInterfaceNumber: two hex digits
    QString busnum;             // decimal
    QString devnum;             // decimal
    QString manufacturer;       // usb_device attributes, kept by the kernel (no I/O)
    QString product;
    QString serial;
    // "input" children of the hid parent
    QString inputVersion;       // id/version of the first input device (hex)
    QStringList eventNodes;     // "/dev/input/eventN" of the same hid parent
};

constexpr int kBusUsb = 0x03;
constexpr int kBusBluetooth = 0x05;

struct HidrawFacts {
    QString sysname;
    QString syspath;
    QString devnode;
    QString hidSyspath;
    QString driver;
    int bus = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;        // Bluetooth LE: the "rev" of the interface text
    int interfaceNumber = -1;    // USB interface; -1 elsewhere
    int collections = 0;         // top-level application collections
    std::map<int, int> outputLengths; // output report bytes (id byte included) by id
    bool lowEnergy = false;      // Bluetooth LE (HID over GATT through uhid)
    int usbBusnum = -1;          // parent USB device, for string descriptors
    int usbDevnum = -1;
    QString name;                // HID_NAME
    QString uniq;                // HID_UNIQ
    QString manufacturer;
    QString product;
    QString serial;
    QStringList eventNodes;
};

// Parses a tree. False (with *why) when it lacks what an interface text needs: the
// "hid" parent or a readable HID_ID.
bool ParseHidrawTree(const HidrawTree &tree, HidrawFacts *facts, QString *why);

// One entry per top-level collection, with the interface text Windows would give it:
//   USB:          \\?\hid#vid_28bd&pid_0935&mi_02&col01#hidraw3#{4d1e55b2-...}
//   Bluetooth LE: \\?\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&0228bd_pid&0801
//                 _rev&0001_a1b2c3d4e5f6&col01#hidraw5#{4d1e55b2-...}
// "&colNN" only when there are two or more collections (collection 0 otherwise). The
// third '#' field is the hidraw node, which open() uses to find the device again.
QVector<HidDeviceInfo> BuildInterfaceTexts(const HidrawFacts &facts);

// The hidraw node named by an interface text ("hidraw3"), or empty when the text has
// no well-formed node field (so nothing but a hidraw node is ever opened).
QString HidrawNodeOfPath(const QString &path);
