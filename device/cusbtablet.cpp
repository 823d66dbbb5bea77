#include "device/cusbtablet.h"

#include "config/modeltables.h"
#include "config/profiletext.h"
#include "device/devicethread.h"
#include "device/tablettable.h"
#include "device/usbidentity.h"
#include "platform/hid/hidbackend.h"

#include <QDebug>
#include <QSettings>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kReportSize = 64;
constexpr int kLightQueryWaitMs = 100;
constexpr int kCloseMode = 2; // mode the device goes back to when we let go

} // namespace

CUSBTablet::CUSBTablet(int tabletIndex, HidBackend *hid, QSettings *nameTable, QObject *parent)
    : CTablet(tabletIndex, parent), m_hid(hid), m_nameTable(nameTable)
{
}

CUSBTablet::~CUSBTablet()
{
    CloseDevice();
}

bool CUSBTablet::OpenUsbDevice(const QByteArray &path, const UsbModelEntry *entry)
{
    if (!entry || !m_hid)
        return false;
    if (!path.isEmpty()) {
        m_device = m_hid->open(QString::fromLocal8Bit(path));
        if (!m_device) {
            qWarning() << "hid_open_path Failed!";
            return false;
        }
    }

    productId = entry->productId;
    DeviceAttributes &a = m_DeviceAttributes;
    std::memset(a.DevicePath, 0, sizeof a.DevicePath);
    std::memcpy(a.DevicePath, path.constData(), std::min(sizeof a.DevicePath - 1, size_t(path.size())));
    std::snprintf(a.PidText, sizeof a.PidText, "PID_%04X", unsigned(entry->productId & 0xFFFF));
    SetProfileText(a.ModelKey, sizeof a.ModelKey, QString::fromLatin1(entry->model));
    a.DeviceKind = entry->kind;

    if (m_device)
        ReadUsbIdentity(*m_device, m_nameTable, m_DeviceAttributes);

    if (!TakeProfile()) {
        qWarning().noquote() << "------------------load xml failed:" << QString::fromLatin1(entry->model);
        return false;
    }

    m_keypadModeForm = entry->kind == kKindKeypad && (entry->quirks & QuirkKeypadReport);
    SendMode(entry->mode);
    mode = entry->mode;

    if (!m_thread && m_device) {
        m_thread = new DeviceThread(m_device.get());
        // Decoding runs on the reading thread itself.
        connect(m_thread, &DeviceThread::MySentTabletPackets, this, &CTablet::ReceiveTabletPackets,
                Qt::DirectConnection);
        decodeEnabled = 1;
        m_thread->start();
    }

    const bool lightAnswered = SendAndWaitAttribute([this] { SentCmd(CmdQueryLight, 1, 0); }, kLightQueryWaitMs);
    if (!lightAnswered)
        qWarning() << "SentCmd(0,1,0) Failed";
    SentCmd(CmdQueryLight, 2, 0);
    if (lightAnswered)
        qInfo() << "SentCmd(0,2,0) OK";
    return true;
}

bool CUSBTablet::SendMode(int newMode)
{
    quint8 r[kReportSize] = {};
    if (m_keypadModeForm) {
        r[0] = 0x03;
        r[1] = 0x01;
    } else {
        r[0] = 0x02;
        r[1] = 0xB0;
    }
    r[2] = quint8(newMode);
    return Write(r, kCommandLength);
}

bool CUSBTablet::Write(const quint8 *report, int length)
{
    std::lock_guard<std::mutex> lock(m_writeMutex);
    // Write errors are not acted on: a device that is gone is noticed by its reading
    // thread and its removal notice. The result only tells the close's log line.
    return m_device && m_device->write(report, length) >= 0;
}

void CUSBTablet::SentCmd(int type, int a, int b)
{
    if (!m_device)
        return;
    const DeviceAttributes &attr = m_DeviceAttributes;
    quint8 r[kReportSize] = {};
    r[0] = 0x02;
    switch (type) {
    case CmdQueryLight: // query light a (1 wheel, 2 tablet)
        if ((attr.TabletType[3] & 0x18) == 0)
            return;
        r[1] = 0xB4;
        r[2] = 0x01;
        r[3] = 0x00;
        r[4] = quint8(a);
        Write(r, kLightCommandLength);
        break;
    case CmdSetLight: // set light a to level b
        r[1] = 0xB4;
        r[2] = 0x01;
        r[3] = 0x01;
        r[4] = quint8(a);
        r[5] = quint8(b);
        Write(r, kLightCommandLength);
        break;
    case CmdSetLight2: // second set-light form
        r[1] = 0xB4;
        r[2] = 0x02;
        r[3] = 0x01;
        r[4] = 0x00;
        r[5] = quint8(a);
        r[6] = quint8(a == 1 ? b : 0);
        Write(r, kLightCommandLength);
        break;
    case CmdSetMode: // report mode
        qInfo() << "SentCmd--" << a;
        SendMode(a);
        break;
    case CmdQueryBattery: // command 0xB8
        if ((attr.TabletType[7] & 0x08) == 0)
            return;
        r[1] = 0xB8;
        r[2] = 0x04;
        Write(r, kCommandLength);
        break;
    default:
        break;
    }
}

void CUSBTablet::SendProfileChunk(int type, const quint8 *data, int length)
{
    quint8 r[kReportSize] = {};
    r[0] = 0x02;
    r[1] = 0xB6;
    switch (type) {
    case 1: { // start: total byte count, then 0x01 0x00
        const uint32_t total = uint32_t(std::max(length, 0));
        r[2] = 0x01;
        for (int i = 0; i < 4; ++i)
            r[3 + i] = quint8(total >> (8 * i));
        r[7] = 0x01;
        r[8] = 0x00;
        Write(r, kTransferLength);
        break;
    }
    case 2: // end
        r[2] = 0x02;
        Write(r, kTransferLength);
        break;
    case 3: { // data from byte 3
        const int n = std::clamp(length, 0, kReportSize - 3);
        r[2] = 0x03;
        if (data && n > 0)
            std::memcpy(r + 3, data, size_t(n));
        Write(r, n + 3);
        break;
    }
    default:
        r[2] = quint8(type);
        Write(r, std::clamp(length, 0, kReportSize));
        break;
    }
}

void CUSBTablet::ProfileTransferControl(int type, int value)
{
    quint8 r[kReportSize] = {};
    r[0] = 0x02;
    r[1] = 0xB6;
    if (type == 2) {
        r[2] = 0x00;
        r[3] = quint8(value == 0 ? 2 : value);
    } else if (type == 1) {
        // Asks the device for its profile; a reception in progress ends.
        r[2] = 0x00;
        r[3] = 0x01;
        EndProfileReception();
    } else {
        r[2] = 0x02;
    }
    Write(r, kCommandLength);
}

void CUSBTablet::UploadProfile(const QString &text, int count)
{
    // text names the application profile to send: its path, or empty for the common
    // profile. The device answers the announced length with code 1 when it is ready.
    Q_UNUSED(count);
    if (!TabletXMLData) {
        qWarning().noquote() << "UploadProfile: no profile loaded";
        return;
    }
    const QByteArray document = EditProfile([&](const ::TabletXMLData &profile) {
        const auto it = text.isEmpty() ? apps.end() : apps.find(text);
        const AppConfigNode &app = (it != apps.end() && it->second) ? *it->second : profile.CommonAPP;
        return WriteKeypadDocument(app);
    });
    uploadBuffer = document;
    qInfo().noquote() << "UploadProfile" << (text.isEmpty() ? QStringLiteral("common") : text)
                      << "bytes:" << uploadBuffer.size();
    SendProfileChunk(1, nullptr, uploadBuffer.size());
}

void CUSBTablet::CloseDevice()
{
    if (m_thread) {
        m_thread->Stop();
        const bool modeSent = m_device && SendMode(kCloseMode);
        m_thread->quit();
        m_thread->wait();
        m_thread->JoinEnd();
        delete m_thread;
        m_thread = nullptr;
        // A tablet unplugged mid-use cannot take the mode any more: said so, not claimed.
        qInfo().noquote() << "CloseDevice:" << QString::fromLocal8Bit(m_DeviceAttributes.DisplayName)
                          << (modeSent ? QStringLiteral("mode %1 sent").arg(kCloseMode)
                                       : QStringLiteral("mode %1 not taken (device gone)").arg(kCloseMode))
                          << ", reading thread stopped";
    }
    decodeEnabled = 0;
    std::lock_guard<std::mutex> lock(m_writeMutex);
    m_device.reset(); // also lets go of the kernel's input nodes
}

bool CUSBTablet::TakeProfile()
{
    // A second tablet of a model that is open already takes a copy of that tablet's
    // profiles instead of reading the file again.
    const int slot = TabletTable::FindByPidText(m_DeviceAttributes.PidText);
    CTablet *other = TabletTable::At(slot);
    if (other && other != this) {
        CopyProfileFrom(*other);
        return true;
    }
    return LoadProfile(QString::fromLatin1(m_DeviceAttributes.ModelKey));
}
