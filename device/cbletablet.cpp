#include "device/cbletablet.h"

#include "config/modeltables.h"
#include "config/profiletext.h"
#include "device/usbidentity.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>

#include <algorithm>
#include <chrono>
#include <cstring>

std::atomic<CBleTablet::SendFn> CBleTablet::s_send{nullptr};
std::atomic<CBleTablet::OpenFn> CBleTablet::s_open{nullptr};
std::atomic<CBleTablet::RegisterFn> CBleTablet::s_register{nullptr};
std::atomic<CBleTablet::CloseFn> CBleTablet::s_close{nullptr};
std::atomic<CBleTablet *> CBleTablet::s_current{nullptr};

namespace {
constexpr int kCommandBuffer = 20;
}

CBleTablet::CBleTablet(int tabletIndex, QSettings *nameTable, const QString &libraryPath, QObject *parent)
    : CTablet(tabletIndex, parent), m_nameTable(nameTable)
{
    s_current = this;
    QString file = libraryPath;
    if (file.isEmpty()) {
        file = QStringLiteral("libInkBLE");
        if (QCoreApplication::instance())
            file.prepend(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    }
    library.setFileName(file);
    loaded = library.load() ? 1 : 0;
    if (loaded) {
        s_send = reinterpret_cast<SendFn>(library.resolve("bleSendCommand"));
        s_open = reinterpret_cast<OpenFn>(library.resolve("bleOpenDeviceEx"));
        s_register = reinterpret_cast<RegisterFn>(library.resolve("bleRegisterAllDataCallBack"));
        s_close = reinterpret_cast<CloseFn>(library.resolve("bleCloseDevice"));
    } else {
        qDebug() << "CBleTablet load error!!!\n";
        s_send = nullptr;
        s_open = nullptr;
        s_register = nullptr;
        s_close = nullptr;
    }
    isBle = 1;
}

CBleTablet::~CBleTablet()
{
    // Closing joins the library's event thread, so no callback reaches this object
    // once it returns.
    if (CloseFn close = s_close.load())
        close();
    decodeEnabled = 0;
    CBleTablet *self = this;
    s_current.compare_exchange_strong(self, nullptr);
    // The library stays loaded: QLibrary unloads only when asked to.
}

int32_t CBleTablet::DataCallback(const uint8_t *data, int32_t length)
{
    if (CBleTablet *tablet = s_current.load()) {
        // The library hands over a buffer of its own for the call; the decoder only
        // reads it.
        tablet->ReceiveTabletPackets(const_cast<quint8 *>(data), length);
    }
    return 1;
}

bool CBleTablet::OpenBleDevice(const QByteArray &path, const BleModelEntry *entry)
{
    if (path.isEmpty())
        return opened != 0;
    {
        std::lock_guard<std::mutex> lock(replyMutex);
        DeviceAttributes &a = m_DeviceAttributes;
        std::memset(a.DevicePath, 0, sizeof a.DevicePath);
        std::memcpy(a.DevicePath, path.constData(), std::min(sizeof a.DevicePath - 1, size_t(path.size())));
    }
    const OpenFn open = s_open.load();
    if (!open) {
        qInfo() << "pbleFindDevice is nullptr,error!";
        return false;
    }
    if (!entry)
        return false;

    qInfo() << entry->bleName << "pbleOpenDeviceEx";
    const int32_t r = open(entry->bleName);
    if (r != 0) {
        qInfo() << "pbleOpenDeviceEx Error" << r;
        return false;
    }

    productId = entry->productId;
    {
        std::lock_guard<std::mutex> lock(replyMutex);
        DeviceAttributes &a = m_DeviceAttributes;
        std::snprintf(a.PidText, sizeof a.PidText, "PID_%04X", unsigned(entry->productId & 0xFFFF));
        SetProfileText(a.ModelKey, sizeof a.ModelKey, QString::fromLatin1(entry->model));
    }
    if (RegisterFn registerCallback = s_register.load())
        registerCallback(&CBleTablet::DataCallback);
    decodeEnabled = 1;

    SentCmd(CmdBleProductName, 0, 0); // product name; not awaited

    // Attribute 100 (size and pressure). Commands go out with replyMutex held; the reply
    // is recorded on the event thread under it once the wait lets go.
    {
        std::unique_lock<std::mutex> lock(replyMutex);
        const uint32_t before = attributeReply.count;
        bool answered = false;
        for (int i = 0; i < kReplyTries && !answered; ++i) {
            SentCmd(CmdBleGeometry, 0, 0);
            answered = attributeReply.cv.wait_for(lock, std::chrono::milliseconds(kReplyWaitMs),
                                                  [&] { return attributeReply.count != before; });
            if (!answered)
                qDebug() << " SentCmd(15,0,0) Failed" << i;
        }
        if (!answered)
            return false;

        DeviceAttributes &a = m_DeviceAttributes;
        const QString pidText = QString::fromLatin1(a.PidText);
        const QString name = m_nameTable ? m_nameTable->value(QStringLiteral("Common/%1").arg(pidText)).toString()
                                         : QString();
        SetProfileText(a.DisplayName, sizeof a.DisplayName,
                     name.isEmpty() ? QString::fromLocal8Bit(a.ProductName) : name);
    }

    SentCmd(CmdBleFirmware, 0, 0); // firmware version; not awaited

    {
        std::unique_lock<std::mutex> lock(replyMutex);
        const uint32_t before = modeReply.count;
        bool answered = false;
        for (int i = 0; i < kReplyTries && !answered; ++i) {
            SentCmd(CmdSetMode, entry->mode, 0);
            answered = modeReply.cv.wait_for(lock, std::chrono::milliseconds(kReplyWaitMs),
                                             [&] { return modeReply.count != before; });
            if (answered)
                qDebug() << " SentCmd(3,0,0) pass" << entry->mode;
            else
                qDebug() << " SentCmd(3,0,0) Failed" << i << entry->mode;
        }
        if (!answered)
            return false;
        m_DeviceAttributes.TabletType[1] = kBluetoothMarker;
    }
    mode = entry->mode;

    if (!LoadProfile(QString::fromLatin1(entry->model))) {
        qInfo().noquote() << "------------------load xml failed:" << QString::fromLatin1(entry->model);
        return false;
    }

    if (!SendAndWaitAttribute([this] { SentCmd(CmdQueryLight, 1, 0); }, kReplyWaitMs))
        qDebug() << "SentCmd(0,1,0) Failed";
    SentCmd(CmdQueryLight, 2, 0);

    opened = 1;
    return true;
}

int32_t CBleTablet::Send(const uint8_t *data, int length)
{
    const SendFn send = s_send.load();
    return send ? send(data, length) : 0;
}

void CBleTablet::SentCmd(int type, int a, int b)
{
    if (!s_send.load())
        return;
    uint8_t c[kCommandBuffer] = {};
    const auto attribute = [&](uint8_t id, bool logResult) {
        c[0] = 0x80;
        c[1] = 0x06;
        c[2] = id; // the device answers with report 0x06 for this attribute
        const int32_t result = Send(c, kCommandLength);
        if (logResult)
            qDebug() << "SentCmd--" << a << result;
        else
            qDebug() << "SentCmd--" << a;
    };
    switch (type) {
    case CmdQueryLight: // query light a
        c[0] = 0x02;
        c[1] = 0xB4;
        c[2] = 0x01;
        c[3] = 0x00;
        c[4] = uint8_t(a);
        Send(c, kLightCommandLength);
        break;
    case CmdSetLight: // set light a to b
        c[0] = 0x02;
        c[1] = 0xB4;
        c[2] = 0x01;
        c[3] = 0x01;
        c[4] = uint8_t(a);
        c[5] = uint8_t(b);
        Send(c, kLightCommandLength);
        break;
    case CmdSetLight2: // second set-light form; only once the tablet is open
        if (!opened)
            break;
        c[0] = 0x02;
        c[1] = 0xB4;
        c[2] = 0x02;
        c[3] = 0x01;
        c[4] = 0x00;
        c[5] = uint8_t(a);
        c[6] = uint8_t(a == 1 ? b : 0);
        Send(c, kLightCommandLength);
        break;
    case CmdSetMode: // report mode
        c[0] = 0x02;
        c[1] = 0xB0;
        c[2] = uint8_t(a);
        Send(c, kCommandLength);
        break;
    case CmdQueryBattery: { // battery level; every Bluetooth tablet takes it
        c[0] = 0x02;
        c[1] = 0xB8;
        c[2] = 0x04;
        const int32_t result = Send(c, kCommandLength);
        qDebug().noquote() << "SentCmd--" << QStringLiteral("获取设备电量") << a << result;
        break;
    }
    case CmdBleProductName: attribute(0x02, true); break;  // product name
    case CmdBleSerial: attribute(0x03, false); break; // serial number
    case CmdBleFirmware: attribute(0x04, true); break;  // firmware version
    case CmdBleFirmwareData: attribute(0x05, false); break; // firmware data
    case CmdBleGeometry: attribute(0x64, true); break;  // 100: size and pressure
    case CmdBleAttribute103: attribute(0x67, false); break; // 103
    case CmdBleCapabilities: attribute(0x6E, false); break; // 110: capability block
    case CmdBleBinarySerial: attribute(0x83, false); break; // 131: binary serial
    case CmdBleAttribute241: attribute(0xF1, false); break; // 241
    default: break;
    }
    qDebug() << "CBleTablet::SentCmd...";
}

void CBleTablet::CloseDevice()
{
    opened = 0;
    if (CloseFn close = s_close.load())
        close();
    decodeEnabled = 0;
}
