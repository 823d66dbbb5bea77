#pragma once
/* libInkBLE: one Bluetooth LE pen tablet, paired with the system, reached through BlueZ.
 *
 * Calling convention: the platform's C convention (System V AMD64 on x86-64 Linux; the
 * caller cleans up), for the exports and for the data callback alike.
 *
 * Calling order: bleOpenDeviceEx, then bleRegisterAllDataCallBack (notifications that
 * arrive before a callback is registered are dropped), any number of bleSendCommand,
 * finally bleCloseDevice. The library holds at most one open device.
 */

#include <stdint.h>

#if defined(INKBLE_BUILDING)
#define INKBLE_EXPORT __attribute__((visibility("default")))
#else
#define INKBLE_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Called once per notification of the tablet, on the library's event thread, with the
 * notified bytes. The buffer is valid only during the call. The result is ignored. */
typedef int32_t (*DataCallback)(const uint8_t *data, int32_t length);

/* 0 opened; -101 empty name or no paired LE device with exactly this friendly name;
 * -1 no vendor GATT service; -2 the three characteristics were not all found or a
 * notification subscription failed. With several devices of that name the first that
 * opens wins, otherwise the last one's code is returned. */
INKBLE_EXPORT int32_t bleOpenDeviceEx(const char *name);

/* Closes the connection; safe when nothing is open. */
INKBLE_EXPORT void bleCloseDevice(void);

/* 1 written (with response); 0 the write failed; -3 no device is connected. */
INKBLE_EXPORT int32_t bleSendCommand(const uint8_t *data, int32_t length);

/* Replaces the stored callback. */
INKBLE_EXPORT void bleRegisterAllDataCallBack(DataCallback callback);

/* Clears the stored callback; the argument is ignored. */
INKBLE_EXPORT void bleUnregisterAllDataCallBack(int32_t ignored);

/* Copies the open device's friendly name with its terminator into buffer.
 * 0 copied; -101 size below 13 or the name does not fit in size bytes; -102 not
 * connected. Never writes more than size bytes. */
INKBLE_EXPORT int32_t bleGetBTName(char *buffer, int32_t size);

/* Renames the tablet (4 to 14 characters). 0 sent; -101 length outside 4..14;
 * -103 not connected or the write failed. */
INKBLE_EXPORT int32_t bleSetBTName(const char *name);

/* Reads length bytes of the tablet's 256-byte storage from offset, after the access
 * step with the 4 bytes at accessCode. length on success; -3 not connected; -104 the
 * access step failed; -101 buffer null, a negative offset or length, or offset + length
 * above 255; -102 a chunk request failed or timed out (buffer unchanged). */
INKBLE_EXPORT int32_t bleGetStorage(int32_t offset, void *buffer, int32_t length, const uint32_t *accessCode,
                                    int32_t reserved);

#ifdef __cplusplus
}
#endif
