#include "sim/simtablet.h"

#include "config/modeltables.h"

#include <QDebug>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
// One clock for every simulated tablet, as the devices on one bus share its frames:
// reports due in the same millisecond of any two tablets come due at the same instant.
using BusClock = std::chrono::steady_clock;

BusClock::time_point BusEpoch()
{
    static const BusClock::time_point epoch = BusClock::now();
    return epoch;
}

qint64 BusMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(BusClock::now() - BusEpoch()).count();
}

// Replies and data packets of the device are full 64-byte input reports.
constexpr int kReportSize = 64;
constexpr int kTransferDataPerReport = kReportSize - 3;
}

SimTablet::SimTablet(const SimModel &model, int instance)
    : m_model(model), m_instance(instance)
{
}

QString SimTablet::serialNumber() const
{
    return QStringLiteral("SIM%1-%2")
        .arg(m_model.productId, 4, 16, QLatin1Char('0'))
        .arg(m_instance, 3, 10, QLatin1Char('0'))
        .toUpper();
}

int SimTablet::write(const uint8_t *d, int length)
{
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_present)
        return -1;
    if (length <= 0)
        return 0;
    m_commands.append(QByteArray(reinterpret_cast<const char *>(d), length));
    if (length < 3)
        return length;

    // Keypad form of the mode command: report id 0x03, byte 1 0x01.
    if (d[0] == 0x03 && d[1] == 0x01) {
        setModeLocked(d[2]);
        replyLocked(QByteArray::fromRawData("\x02\xB0", 2) + char(m_mode) + char(0x01));
        return length;
    }
    if (d[0] == 0x80 && d[1] == 0x06) {
        // Bluetooth form of an attribute request: the device answers with report 0x06.
        const QByteArray payload = attributePayload(d[2]);
        if (payload.isNull()) {
            QByteArray failed(4, '\0');
            failed[0] = char(0x02);
            failed[1] = char(0x06);
            failed[2] = char(d[2]);
            replyLocked(failed); // byte 3 = 0: no such attribute
        } else {
            replyLocked(SimReports::attributeReply(d[2], payload));
        }
        return length;
    }
    if (d[0] != 0x02)
        return length;

    switch (d[1]) {
    case 0xB0:
        setModeLocked(d[2]);
        replyLocked(QByteArray::fromRawData("\x02\xB0", 2) + char(m_mode) + char(0x01));
        break;
    case 0xB4: {
        if (!m_model.lights || length < 5)
            break;
        const int light = d[4];
        if (d[2] == 0x01 && d[3] == 0x01 && length >= 6) {
            (light == 1 ? m_wheelLight : m_tabletLight) = d[5];
        }
        if (d[2] == 0x01 && (light == 1 || light == 2)) {
            // Query and set both answer with the current level.
            QByteArray r(6, '\0');
            r[0] = char(0x02);
            r[1] = char(0xB4);
            r[2] = char(0x01);
            r[3] = char(0x00);
            r[4] = char(light);
            r[5] = char(light == 1 ? m_wheelLight : m_tabletLight);
            replyLocked(r);
        }
        break;
    }
    case 0xB6:
        if (m_model.onboardProfile)
            handleTransferLocked(d, length);
        break;
    case 0xB8:
        // Asks for the battery level.
        if (m_model.battery)
            replyLocked(SimReports::battery(m_batteryPercent, false));
        break;
    default:
        break;
    }
    return length;
}

void SimTablet::handleTransferLocked(const uint8_t *d, int length)
{
    const uint8_t sub = d[2];
    if (sub == 0x01 && length >= 7) {
        // Transfer start: total byte count follows, little-endian.
        m_uploadTotal = uint32_t(d[3]) | uint32_t(d[4]) << 8 | uint32_t(d[5]) << 16 | uint32_t(d[6]) << 24;
        m_upload.clear();
        m_uploadActive = true;
        replyLocked(QByteArray::fromRawData("\x02\xB6\x01\x01", 4));
    } else if (sub == 0x03 && m_uploadActive) {
        const int room = int(m_uploadTotal) - m_upload.size();
        const int take = std::min(length - 3, std::max(room, 0));
        m_upload.append(reinterpret_cast<const char *>(d + 3), take);
    } else if (sub == 0x02 && m_uploadActive) {
        m_uploadActive = false;
        const bool complete = m_upload.size() == int(m_uploadTotal);
        if (complete)
            m_onboardProfile = m_upload;
        replyLocked(QByteArray::fromRawData(complete ? "\x02\xB6\x02\x02" : "\x02\xB6\x02\x01", 4));
    } else if (sub == 0x00 && length >= 4 && d[3] == 0x01) {
        sendOnboardProfileLocked();
    }
    // Other control values acknowledge or cancel; the device takes them silently.
}

void SimTablet::sendOnboardProfileLocked()
{
    QByteArray header(kReportSize, '\0');
    const uint32_t total = uint32_t(m_onboardProfile.size());
    header[0] = char(0x02);
    header[1] = char(0xB6);
    header[2] = char(0x00);
    header[3] = char(0x01);
    for (int i = 0; i < 4; ++i)
        header[4 + i] = char((total >> (8 * i)) & 0xFF);
    header[8] = char(0x01); // transfer id
    replyLocked(header);
    for (int at = 0; at < m_onboardProfile.size(); at += kTransferDataPerReport) {
        QByteArray r(kReportSize, '\0');
        r[0] = char(0x02);
        r[1] = char(0xB6);
        r[2] = char(0x00);
        const QByteArray chunk = m_onboardProfile.mid(at, kTransferDataPerReport);
        std::memcpy(r.data() + 3, chunk.constData(), size_t(chunk.size()));
        replyLocked(r);
    }
    replyLocked(QByteArray::fromRawData("\x02\xB6\x02\x00", 4));
}

QByteArray SimTablet::attributePayload(uint8_t attribute) const
{
    switch (attribute) {
    case 2: return QByteArray(m_model.product);
    case 3: return serialNumber().toLatin1();
    case 4: return QByteArray(m_model.firmware);
    case 5: return QByteArray(m_model.firmwareDate);
    // A keypad answers with a zero pen area, as the keypads do.
    case 100: return SimReports::geometry(m_model);
    case 110: return SimReports::capabilityBlock(m_model).mid(1);
    case 131: {
        QByteArray code(8, '\0');
        for (int i = 0; i < 8; ++i)
            code[i] = char((m_model.productId + m_instance * 31 + i * 17) & 0xFF);
        return code;
    }
    default: return QByteArray();
    }
}

void SimTablet::replyLocked(const QByteArray &report)
{
    if (!m_answering)
        return;
    // Replies go out at once, ahead of scripted reports that are not due yet.
    const qint64 now = BusMs();
    int at = 0;
    while (at < m_queue.size() && m_queue.at(at).dueMs <= now)
        ++at;
    m_queue.insert(at, Pending{QByteArray(report.constData(), report.size()), now});
    m_reportReady.notify_all();
}

int SimTablet::read(uint8_t *buffer, int size, int timeoutMs)
{
    int n = 0;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        n = readLocked(lock, buffer, size, timeoutMs < 0 ? 0 : timeoutMs, nullptr);
    }
    if (n > 0)
        handedOut(buffer, n);
    return n;
}

void SimTablet::handedOut(const uint8_t *buffer, int n)
{
    std::lock_guard<std::mutex> lock(m_observerLock);
    if (m_readObserver)
        m_readObserver(buffer, n);
}

int SimTablet::readWait(uint8_t *buffer, int size, ReadStop &stop)
{
    // Set before the stop flag is looked at under m_lock, so a stop either is seen
    // there or wakes the wait below.
    stop.setWaker([this] {
        std::lock_guard<std::mutex> lock(m_lock);
        m_reportReady.notify_all();
    });
    int n = 0;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        n = readLocked(lock, buffer, size, -1, &stop);
    }
    stop.setWaker(nullptr);
    if (n > 0)
        handedOut(buffer, n);
    return n;
}

int SimTablet::readLocked(std::unique_lock<std::mutex> &lock, uint8_t *buffer, int size, int timeoutMs,
                          const ReadStop *stop)
{
    const BusClock::time_point started = BusClock::now();
    for (;;) {
        if (!m_present)
            return -1;
        if (stop && stop->stopped())
            return 0;
        const qint64 now = BusMs();
        if (!m_queue.isEmpty() && m_queue.head().dueMs <= now) {
            const QByteArray r = m_queue.dequeue().bytes;
            const int n = std::min(size, int(r.size()));
            std::memcpy(buffer, r.constData(), size_t(n));
            return n;
        }
        // Until notified, the time-out or the next report's due time, whichever comes
        // first; as points in time, so that reports of several tablets due in the same
        // millisecond wake their readers at one instant.
        bool timed = false;
        BusClock::time_point until;
        if (timeoutMs >= 0) {
            until = started + std::chrono::milliseconds(timeoutMs);
            if (BusClock::now() >= until)
                return 0;
            timed = true;
        }
        if (!m_queue.isEmpty()) {
            const BusClock::time_point due = BusEpoch() + std::chrono::milliseconds(m_queue.head().dueMs);
            until = timed ? std::min(until, due) : due;
            timed = true;
        }
        if (timed)
            m_reportReady.wait_until(lock, until);
        else
            m_reportReady.wait(lock);
    }
}

bool SimTablet::stringDescriptor(int index, QString *text) const
{
    switch (index) {
    case 1: *text = QStringLiteral("Inkora"); return true;
    case 2: *text = QString::fromLatin1(m_model.product); return true;
    case 3: *text = serialNumber(); return true;
    case 4: *text = QString::fromLatin1(m_model.firmware); return true;
    case 5: *text = QString::fromLatin1(m_model.firmwareDate); return true;
    default: return false;
    }
}

int SimTablet::rawStringDescriptor(int index, uint8_t *buffer, int size) const
{
    QByteArray bytes;
    QString text;
    if (index == 100 && m_withoutGeometry)
        return -1;
    if (index == 100 || index == 110 || index == 131) {
        bytes = attributePayload(uint8_t(index));
        if (index == 110)
            bytes = SimReports::capabilityBlock(m_model);
        if (bytes.isEmpty())
            return -1; // the model has no such string
    } else if (stringDescriptor(index, &text)) {
        bytes = QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    } else {
        return -1;
    }
    const int n = std::min(size, int(bytes.size()));
    std::memcpy(buffer, bytes.constData(), size_t(n));
    return n;
}

void SimTablet::queueReport(const QByteArray &report, int delayMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    const qint64 now = BusMs();
    m_lastDueMs = std::max(m_lastDueMs, now) + std::max(delayMs, 0);
    // Due times only grow, so a report behind others changes no reader's wake-up time:
    // only a report that becomes the head wakes them (a thousand queued in one go would
    // otherwise wake each reader a thousand times for nothing).
    const bool head = m_queue.isEmpty();
    m_queue.enqueue(Pending{report, m_lastDueMs});
    if (head)
        m_reportReady.notify_all();
}

void SimTablet::setReadObserver(ReadObserver observer)
{
    std::lock_guard<std::mutex> lock(m_observerLock);
    m_readObserver = std::move(observer);
}

void SimTablet::queuePen(const SimPenSample &sample, int delayMs)
{
    queueReport(SimReports::pen(m_model, sample), delayMs);
}

void SimTablet::queueKeys(uint64_t keyBits, uint8_t ring, int delayMs)
{
    if (ModelQuirksOf(m_model.productId) & QuirkKeypadReport) {
        // The keypad's dial is its key bytes 10 (+1) and 11 (-1).
        uint16_t bits = uint16_t(keyBits & 0x3FF);
        if (ring == 0x01)
            bits |= 1u << 10;
        else if (ring == 0x02 || ring == 0xFF)
            bits |= 1u << 11;
        else
            bits = uint16_t(keyBits);
        queueReport(SimReports::keypad(bits), delayMs);
    }
    else
        queueReport(SimReports::keysAndRing(m_model, keyBits, ring), delayMs);
}

void SimTablet::queueStroke(int x0, int y0, int x1, int y1, int steps, int pressure, int intervalMs)
{
    steps = std::max(steps, 2);
    SimPenSample s;
    s.pressure = 0;
    s.x = x0;
    s.y = y0;
    queuePen(s, intervalMs); // hover into proximity
    for (int i = 0; i < steps; ++i) {
        s.x = x0 + (x1 - x0) * i / (steps - 1);
        s.y = y0 + (y1 - y0) * i / (steps - 1);
        s.pressure = pressure;
        s.buttons = 0x01;
        queuePen(s, intervalMs);
    }
    s.pressure = 0;
    s.buttons = 0;
    queuePen(s, intervalMs);
    s.inRange = false;
    queuePen(s, intervalMs);
}

void SimTablet::queueBattery(int percent, bool charging)
{
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_batteryPercent = percent;
    }
    queueReport(SimReports::battery(percent, charging));
}

void SimTablet::unplug()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_present = false;
    m_reportReady.notify_all();
}

void SimTablet::setAnswering(bool answering)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_answering = answering;
}

void SimTablet::setModeLocked(int mode)
{
    // Logged, so that a run of the program shows what its tablets were told (mode 2 at
    // close): the simulated tablet outlives nothing the log could be asked about later.
    if (mode != m_mode)
        qInfo().noquote() << "simulate: tablet" << QLatin1String(m_model.modelKey) << m_instance << "mode" << mode;
    m_mode = mode;
}

int SimTablet::mode() const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_mode;
}

int SimTablet::lightLevel(int light) const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return light == 1 ? m_wheelLight : m_tabletLight;
}

QVector<QByteArray> SimTablet::commands() const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_commands;
}

QByteArray SimTablet::onboardProfile() const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_onboardProfile;
}

void SimTablet::setOnboardProfile(const QByteArray &profile)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_onboardProfile = profile;
}

int SimTablet::pendingReports() const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_queue.size();
}
