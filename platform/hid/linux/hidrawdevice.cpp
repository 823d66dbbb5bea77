#include "platform/hid/linux/hidrawdevice.h"

#include <QDebug>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Longest descriptor a device can send: bLength is one byte.
constexpr int kMaxDescriptor = 255;
// The kernel's largest report (HID_MAX_BUFFER_SIZE).
constexpr int kMaxOutputReport = 16384;

} // namespace

HidrawDevice::HidrawDevice(const HidrawFacts &facts, std::unique_ptr<HidrawHandle> reader,
                           std::unique_ptr<HidrawHandle> writer, std::shared_ptr<HidrawSystem> system,
                           std::shared_ptr<InputGrabber> grabber)
    : m_facts(facts),
      m_system(std::move(system)),
      m_reader(std::move(reader)),
      m_writer(std::move(writer)),
      m_grab(std::move(grabber))
{
}

HidrawDevice::~HidrawDevice()
{
    std::lock_guard<std::mutex> lock(m_grabLock);
    m_grab.releaseAll();
}

int HidrawDevice::write(const uint8_t *data, int length)
{
    if (!data || length <= 0)
        return -1;
    // The commands state their own length (10, 12, 32 bytes ...) and the device expects
    // its full output report, zero-padded, as Windows delivers it. The descriptor of
    // the interface gives that length; without one the write goes as it is.
    const auto declared = m_facts.outputLengths.find(data[0]);
    const int full = declared == m_facts.outputLengths.end() ? 0 : declared->second;
    std::lock_guard<std::mutex> lock(m_writeLock);
    if (full <= length || full > kMaxOutputReport)
        return m_writer->write(data, length);
    std::vector<uint8_t> padded(size_t(full), 0);
    std::memcpy(padded.data(), data, size_t(length));
    // Callers count what they asked to write.
    return m_writer->write(padded.data(), full) < 0 ? -1 : length;
}

int HidrawDevice::readTimeout(uint8_t *buffer, int size, int timeoutMs)
{
    if (m_gone.load())
        return -1;
    if (!buffer || size <= 0)
        return -1;
    int error = 0;
    const int n = m_reader->readTimeout(buffer, size, timeoutMs, &error);
    return readResult(n, size, error);
}

[[gnu::hot]] int HidrawDevice::readWait(uint8_t *buffer, int size, ReadStop &stop)
{
    if (m_gone.load())
        return -1;
    if (!buffer || size <= 0)
        return -1;
    // Blocks in poll() on the node and the stop descriptor: no time-out, no wake-ups
    // while the tablet is idle.
    for (;;) {
        if (stop.stopped())
            return 0;
        int error = 0;
        const int n = m_reader->readWait(buffer, size, stop.descriptor(), &error);
        // 0: stopped (seen above next time round) or a wait slice ended; EINTR: a
        // signal cut the wait short.
        if (n == 0 || (n < 0 && error == EINTR))
            continue;
        return readResult(n, size, error);
    }
}

int HidrawDevice::readResult(int n, int size, int error)
{
    if (n >= 0)
        return n > size ? size : n;
    if (error == EINTR) {
        // A signal cut the wait short: nothing came.
        return 0;
    }
    // ENODEV or EIO from the read, or a hang-up on the node: the device is gone. Later
    // calls answer -1 at once without touching the node again.
    m_gone = true;
    qWarning().noquote() << "hidraw:" << m_facts.sysname << "read failed:"
                         << (error ? QString::fromLocal8Bit(std::strerror(error))
                                   : QStringLiteral("device hung up"));
    return -1;
}

int HidrawDevice::indexedStringRaw(int index, uint8_t *buffer, int size)
{
    if (!buffer || size <= 0 || index < 0 || index > 255)
        return -1;
    if (m_facts.bus != kBusUsb || m_facts.usbBusnum < 0 || m_facts.usbDevnum < 0)
        return -1; // Bluetooth HID devices have no string descriptors
    uint8_t raw[kMaxDescriptor] = {};
    const int received = m_system->usbStringDescriptor(m_facts.usbBusnum, m_facts.usbDevnum,
                                                       index, raw, kMaxDescriptor);
    QByteArray payload;
    if (received < 0 || !StringDescriptorPayload(raw, received, &payload))
        return -1;
    const int n = std::min(size, int(payload.size()));
    std::memcpy(buffer, payload.constData(), size_t(n));
    return n;
}

bool HidrawDevice::indexedString(int index, QString *text)
{
    uint8_t payload[kMaxDescriptor] = {};
    const int n = indexedStringRaw(index, payload, kMaxDescriptor);
    if (n < 0)
        return false;
    *text = StringDescriptorText(QByteArray(reinterpret_cast<const char *>(payload), n));
    return true;
}

int HidrawDevice::grabKernelInput()
{
    std::lock_guard<std::mutex> lock(m_grabLock);
    // The event nodes as they are now: after a resume or a re-probe they may differ from
    // those seen at open. A node that is gone, or now belongs to another device, holds
    // nothing.
    HidrawTree tree;
    QStringList nodes;
    if (m_system->hidrawNode(m_facts.sysname, &tree) && tree.hidSyspath == m_facts.hidSyspath)
        nodes = tree.eventNodes;
    return m_grab.hold(nodes);
}

bool StringDescriptorPayload(const uint8_t *raw, int received, QByteArray *payload)
{
    if (!raw || received < 2 || raw[1] != 0x03)
        return false;
    const int declared = raw[0];
    if (declared < 2)
        return false;
    const int end = std::min(declared, received);
    *payload = QByteArray(reinterpret_cast<const char *>(raw + 2), end - 2);
    return true;
}

QString StringDescriptorText(const QByteArray &payload)
{
    QString text;
    const int units = payload.size() / 2; // an odd last byte is no character
    for (int i = 0; i < units; ++i) {
        const ushort unit = ushort(uint8_t(payload[2 * i]) | uint8_t(payload[2 * i + 1]) << 8);
        if (unit == 0)
            break;
        text += QChar(unit);
    }
    return text;
}
