#pragma once
// One connection to sway's IPC socket (SWAYSOCK): "i3-ipc", a 32-bit length and type
// in host byte order, then a JSON payload. Blocking reads with a time-out; a reply
// that is not the protocol's closes the connection (the caller then treats sway as
// gone). One thread at a time.

#include <QByteArray>

#include <cstdint>

class SwayIpc {
public:
    enum : uint32_t {
        RunCommand = 0,
        Subscribe = 2,
        GetOutputs = 3,
        GetTree = 4,
        EventWorkspace = 0x80000000u,
        EventOutput = 0x80000001u,
        EventWindow = 0x80000003u,
        EventShutdown = 0x80000006u,
    };

    SwayIpc() = default;
    ~SwayIpc();
    SwayIpc(const SwayIpc &) = delete;
    SwayIpc &operator=(const SwayIpc &) = delete;

    bool connectTo(const QByteArray &socketPath);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    bool send(uint32_t type, const QByteArray &payload);
    // One whole message; false (and closed) on end of stream, garbage or time-out.
    bool read(uint32_t *type, QByteArray *payload, int timeoutMs);
    // Sends and waits for the reply of the same type; events read meanwhile are dropped
    // (use a connection without subscriptions).
    bool request(uint32_t type, const QByteArray &payload, QByteArray *reply, int timeoutMs = 2000);

private:
    bool readExactly(char *data, size_t size, int timeoutMs);

    int m_fd = -1;
};
