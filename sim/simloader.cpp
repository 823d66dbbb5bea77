#include "sim/simloader.h"

#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
constexpr int kReportSize = 64;
constexpr int kDataBytesPerPacket = 56;
} // namespace

constexpr int SimLoader::kCapacity;
constexpr char SimLoader::kDefaultImageDate[];

SimLoader::SimLoader() = default;

uint16_t SimLoader::Crc16(const QByteArray &data)
{
    uint16_t crc = 0;
    for (const char c : data) {
        crc ^= uint16_t(uint8_t(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

QString SimLoader::DateOfImage(const QByteArray &image)
{
    static const QRegularExpression date(QStringLiteral("KPX2000A-A[^0-9]{0,8}([0-9]{8})"));
    const QRegularExpressionMatch m = date.match(QString::fromLatin1(image.left(256)));
    return m.hasMatch() ? m.captured(1) : QString::fromLatin1(kDefaultImageDate);
}

int SimLoader::write(const uint8_t *d, int length)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_present)
        return -1;
    if (length < 4 || d[0] != 0x02 || d[1] != 0xB2)
        return length;
    if (d[2] == 0x02 && length >= 9) {
        ++m_starts;
        const uint32_t size = uint32_t(d[3]) | uint32_t(d[4]) << 8 | uint32_t(d[5]) << 16 | uint32_t(d[6]) << 24;
        if (size == 0 || size > uint32_t(kCapacity))
            return length; // refused: nothing erased, no answer
        m_expectedSize = size;
        m_expectedCrc = uint16_t(d[7] | d[8] << 8);
        m_image.clear();
        m_dataPackets = 0;
        m_erased = true;
        m_flashed = false;
        replyLocked(0x01);
    } else if (d[2] == 0x03 && d[3] == 0xFF && m_erased && !m_flashed) {
        ++m_dataPackets;
        const int room = int(m_expectedSize) - m_image.size();
        const int take = std::min({kDataBytesPerPacket, length - 4, room});
        if (take > 0)
            m_image.append(reinterpret_cast<const char *>(d + 4), take);
        if (m_image.size() == int(m_expectedSize) && take > 0) {
            if (Crc16(m_image) == m_expectedCrc) {
                m_flashed = true;
                replyLocked(0x02);
                m_finishedReplyQueued = true;
            }
            // A wrong CRC leaves the loader waiting for a new Start, silently.
        }
    }
    return length;
}

void SimLoader::replyLocked(uint8_t code)
{
    QByteArray r(kReportSize, '\0');
    r[0] = char(0x02);
    r[1] = char(0xB2);
    r[2] = char(0x02);
    r[3] = char(code);
    m_replies.enqueue(r);
    m_replyReady.notify_all();
}

int SimLoader::read(uint8_t *buffer, int size, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_replyReady.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                          [this] { return !m_present || !m_replies.isEmpty(); });
    if (!m_present)
        return -1;
    if (m_replies.isEmpty())
        return 0;
    const QByteArray r = m_replies.dequeue();
    const int n = std::min(size, int(r.size()));
    std::memcpy(buffer, r.constData(), size_t(n));
    if (m_finishedReplyQueued && m_replies.isEmpty())
        m_restartDue = true;
    return n;
}

bool SimLoader::stringDescriptor(int index, QString *text) const
{
    switch (index) {
    case 1: *text = QStringLiteral("Inkora"); return true;
    case 2: *text = QStringLiteral("Inkora Loader"); return true;
    case 3: *text = QStringLiteral("LOADER-FFF3"); return true;
    case 4: *text = QStringLiteral("KPX2000A-BL"); return true;
    case 5: *text = QStringLiteral("20200101"); return true;
    default: return false;
    }
}

int SimLoader::rawStringDescriptor(int index, uint8_t *buffer, int size) const
{
    QByteArray bytes;
    QString text;
    if (index == 100 || index == 131) {
        bytes = QByteArray(12, '\0'); // a loader has no pen area
    } else if (index == 110) {
        bytes = QByteArray(64, '\0');
    } else if (stringDescriptor(index, &text)) {
        bytes = QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    } else {
        return -1;
    }
    const int n = std::min(size, int(bytes.size()));
    std::memcpy(buffer, bytes.constData(), size_t(n));
    return n;
}

void SimLoader::unplug()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_present = false;
    m_replyReady.notify_all();
}

bool SimLoader::restartDue() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_restartDue;
}

int SimLoader::startsReceived() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_starts;
}

int SimLoader::dataPacketsReceived() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_dataPackets;
}

bool SimLoader::erased() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_erased;
}

bool SimLoader::flashed() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_flashed;
}

QByteArray SimLoader::image() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_image;
}

QString SimLoader::imageDate() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return DateOfImage(m_image);
}
