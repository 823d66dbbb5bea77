#pragma once
// Reading of HID report descriptors (the bytes of
// /sys/class/hidraw/hidrawN/device/report_descriptor).

#include <cstdint>
#include <map>

// The top-level application collections of a report descriptor: Collection(Application)
// main items at nesting depth 0. Windows makes one interface ("&colNN") of each when
// there are two or more. Collections nested inside another do not count. A descriptor
// cut short inside an item ends the count there; stray End Collection items at depth 0
// are ignored. Never reads outside data[0..size).
int CountApplicationCollections(const uint8_t *data, int size);

// Byte length of every output report, by report id (0 when the descriptor numbers no
// reports), counting the report id byte as a write carries it. Windows pads a shorter
// write with zeros to this length before the device sees it; the hidraw node passes a
// write on as it is, so the backend pads the same way. Same bounds as above.
std::map<int, int> OutputReportLengths(const uint8_t *data, int size);
