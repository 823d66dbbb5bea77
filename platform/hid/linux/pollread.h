#pragma once
// One report from a hidraw descriptor: poll() on it and, where given, a stop descriptor,
// then read(). The reading thread of an idle tablet sleeps here without a time-out.

#include <cstdint>

// Returns the report length; 0 when timeoutMs passed (-1 waits for ever) or stopFd
// turned readable; -1 on failure, with *error the errno of the failing call, or 0 when
// the node reported a hang-up or error condition (the device is gone). EINTR is a
// failure with *error = EINTR, as the callers treat a cut-short wait themselves.
int PollRead(int fd, int stopFd, int timeoutMs, uint8_t *buffer, int size, int *error);
