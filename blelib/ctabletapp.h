#pragma once
// The library's single application object: the GATT connection, the registered data
// callback, and the request/response channel of the storage commands.
//
// Threads: the exports run on the caller's threads; notifications come on the event
// thread, state reports on the listener's report threads. The data callback is an
// atomic pointer; m_responseMutex guards the response event and both buffers;
// m_storageMutex lets one storage exchange run at a time.

#include "cbledeviceobject.h"
#include "inkble.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace inkble {

class CBLEStateListener;

class CTabletApp {
public:
    explicit CTabletApp(std::shared_ptr<CBLEStateListener> listener);
    // Closes an open connection first.
    ~CTabletApp();
    CTabletApp(const CTabletApp &) = delete;
    CTabletApp &operator=(const CTabletApp &) = delete;

    // bleOpenDeviceEx for one device: 0, -1 or -2.
    int32_t Open(const CBLEDeviceInfo &info);
    void Close();
    CBLEDeviceInfo CurrentInfo() const { return m_device.Info(); }
    bool Write(const uint8_t *data, int length) { return m_device.Write(data, length); }
    const CBLEDeviceObject &Device() const { return m_device; }

    void SetDataCallback(DataCallback callback) { m_dataCallback = callback; }

    int32_t SendCommand(const uint8_t *data, int32_t length);
    int32_t GetBTName(char *buffer, int32_t size) const;
    int32_t SetBTName(const char *name);
    int32_t GetStorage(int32_t offset, void *buffer, int32_t length, const uint32_t *accessCode);

    // Storage replies wait this long; a rename is given this long to take effect.
    static constexpr int kResponseWaitMs = 1500;
    static constexpr int kRenameSettleMs = 180;
    static constexpr int kStorageSize = 255; // offset + length stays within it

private:
    void OnDeviceState(const CBLEDeviceInfo &newInfo);
    void OnData(const CBLERawDataPtr &raw);
    void RouteReply(const CBLERawData &raw);
    void ResetResponse(int expectedChunk);
    bool WaitResponse();

    CBLEDeviceObject m_device;
    std::atomic<DataCallback> m_dataCallback{nullptr};

    std::mutex m_storageMutex;
    mutable std::mutex m_responseMutex;
    std::condition_variable m_responseEvent;
    bool m_responseSet = false;  // manual-reset event; m_responseMutex
    uint8_t m_response[16] = {}; // m_responseMutex
    uint8_t m_storage[512] = {}; // m_responseMutex
    int m_expectedChunk = -1;    // offset of the chunk awaited, -1 for the access reply
};

} // namespace inkble
