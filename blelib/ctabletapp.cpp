#include "ctabletapp.h"

#include "cblestatelistener.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace inkble {
namespace {

// Storage commands of the tablet (8 bytes each) and their replies:
//   access  0x04 0x67 c0 c1 c2 c3 0x00 0x00  ->  0x04 0x67 status (0x01 granted)
//   read    0x04 0x20 off 0 0 0 0 n          ->  the same 8 bytes, then n data bytes
constexpr uint8_t kStorageReport = 0x04;
constexpr uint8_t kStorageAccess = 0x67;
constexpr uint8_t kStorageRead = 0x20;
constexpr int kCommandSize = 8;
constexpr int kChunkBytes = 4;
constexpr int kNameMin = 4;
constexpr int kNameMax = 14;
constexpr int kNameBufferMin = 13;
constexpr int kRenameSize = 20;

} // namespace

CTabletApp::CTabletApp(std::shared_ptr<CBLEStateListener> listener)
    : m_device(std::move(listener))
{
}

CTabletApp::~CTabletApp()
{
    Close();
}

int32_t CTabletApp::Open(const CBLEDeviceInfo &info)
{
    const int outcome = m_device.Open(
        info, [this](const CBLEDeviceInfo &i) { OnDeviceState(i); },
        [this](const CBLERawDataPtr &raw) { OnData(raw); });
    switch (outcome) {
    case CBLEDeviceObject::Connected: return 0;
    case CBLEDeviceObject::NoServiceInterface:
    case CBLEDeviceObject::NoService: return -1;
    default: return -2;
    }
}

void CTabletApp::Close()
{
    m_device.Close();
}

void CTabletApp::OnDeviceState(const CBLEDeviceInfo &newInfo)
{
    if (newInfo.connected != 1)
        Close();
}

void CTabletApp::OnData(const CBLERawDataPtr &raw)
{
    RouteReply(*raw);
    const DataCallback callback = m_dataCallback.load();
    if (!callback)
        return;
    // A buffer of the caller's own for the call; released when it returns.
    std::vector<uint8_t> buffer(raw->data.begin(), raw->data.end());
    callback(buffer.data(), int32_t(buffer.size()));
}

void CTabletApp::RouteReply(const CBLERawData &raw)
{
    const std::vector<uint8_t> &d = raw.data;
    if (d.size() < 3 || d[0] != kStorageReport || (d[1] != kStorageAccess && d[1] != kStorageRead))
        return;
    std::lock_guard<std::mutex> lock(m_responseMutex);
    if (d[1] == kStorageAccess) {
        if (m_expectedChunk != -1)
            return;
        std::memset(m_response, 0, sizeof m_response);
        std::memcpy(m_response, d.data(), std::min(d.size(), sizeof m_response));
    } else {
        // Only the chunk asked for, and only as many bytes as it announces and carries.
        if (d.size() < size_t(kCommandSize) || d[2] != m_expectedChunk)
            return;
        const size_t count = std::min<size_t>(d[7], d.size() - kCommandSize);
        const size_t offset = d[2];
        std::memcpy(m_storage + offset, d.data() + kCommandSize, std::min(count, sizeof m_storage - offset));
    }
    m_responseSet = true;
    m_responseEvent.notify_all();
}

void CTabletApp::ResetResponse(int expectedChunk)
{
    std::lock_guard<std::mutex> lock(m_responseMutex);
    m_responseSet = false;
    m_expectedChunk = expectedChunk;
}

bool CTabletApp::WaitResponse()
{
    std::unique_lock<std::mutex> lock(m_responseMutex);
    const bool signalled = m_responseEvent.wait_for(lock, std::chrono::milliseconds(kResponseWaitMs),
                                                    [this] { return m_responseSet; });
    m_responseSet = false;
    return signalled;
}

int32_t CTabletApp::SendCommand(const uint8_t *data, int32_t length)
{
    if (CurrentInfo().connected == 0)
        return -3;
    return Write(data, length) ? 1 : 0;
}

int32_t CTabletApp::GetBTName(char *buffer, int32_t size) const
{
    if (size < kNameBufferMin)
        return -101;
    const CBLEDeviceInfo info = CurrentInfo();
    if (info.connected != 1)
        return -102;
    if (!buffer || info.name.size() + 1 > size_t(size))
        return -101;
    std::memcpy(buffer, info.name.c_str(), info.name.size() + 1);
    return 0;
}

int32_t CTabletApp::SetBTName(const char *name)
{
    if (CurrentInfo().connected == 0)
        return -103;
    const size_t length = name ? std::strlen(name) : 0;
    if (length < size_t(kNameMin) || length > size_t(kNameMax))
        return -101;
    uint8_t command[kRenameSize] = {0xFD, 0xFD, 0x01, 0x02, uint8_t(length)};
    std::memcpy(command + 5, name, length);
    if (!Write(command, kRenameSize))
        return -103;
    std::this_thread::sleep_for(std::chrono::milliseconds(kRenameSettleMs));
    return 0;
}

int32_t CTabletApp::GetStorage(int32_t offset, void *buffer, int32_t length, const uint32_t *accessCode)
{
    if (CurrentInfo().connected == 0)
        return -3;
    std::lock_guard<std::mutex> exchange(m_storageMutex);

    if (!accessCode)
        return -104;
    uint8_t access[kCommandSize] = {kStorageReport, kStorageAccess};
    std::memcpy(access + 2, accessCode, 4); // in memory order
    {
        std::lock_guard<std::mutex> lock(m_responseMutex);
        std::memset(m_response, 0, sizeof m_response);
    }
    ResetResponse(-1);
    if (!Write(access, kCommandSize) || !WaitResponse())
        return -104;
    {
        std::lock_guard<std::mutex> lock(m_responseMutex);
        if (m_response[0] != kStorageReport || m_response[1] != kStorageAccess || m_response[2] != 0x01)
            return -104;
    }

    if (!buffer || offset < 0 || length < 0 || offset + length > kStorageSize)
        return -101;
    {
        std::lock_guard<std::mutex> lock(m_responseMutex);
        std::memset(m_storage, 0, sizeof m_storage);
    }
    const int chunks = length / kChunkBytes + (length % kChunkBytes > 0 ? 1 : 0);
    for (int i = 0; i < chunks; ++i) {
        const int chunkOffset = offset + kChunkBytes * i;
        const bool last = i == chunks - 1;
        const uint8_t n = uint8_t(last && length % kChunkBytes > 0 ? length % kChunkBytes : kChunkBytes);
        const uint8_t read[kCommandSize] = {kStorageReport, kStorageRead, uint8_t(chunkOffset), 0, 0, 0, 0, n};
        ResetResponse(chunkOffset);
        if (!Write(read, kCommandSize))
            return -102;
        if (!WaitResponse())
            return -102;
    }
    std::lock_guard<std::mutex> lock(m_responseMutex);
    m_expectedChunk = -1;
    std::memcpy(buffer, m_storage + offset, size_t(length));
    return length;
}

} // namespace inkble
