#pragma once
// Reading of HID report descriptors (the bytes of
// /sys/class/hidraw/hidrawN/device/report_descriptor).

#include <cstdint>

// The top-level application collections of a report descriptor: Collection(Application)
// main items at nesting depth 0. Windows makes one interface ("&colNN") of each when
// there are two or more. Collections nested inside another do not count. A descriptor
// cut short inside an item ends the count there; stray End Collection items at depth 0
// are ignored. Never reads outside data[0..size).
int CountApplicationCollections(const uint8_t *data, int size);
