#include "device/ctablet.h"

#include "base/paths.h"
#include "config/modeltables.h"
#include "config/profiletext.h"

#include <QCryptographicHash>
#include <QDebug>
#include <chrono>
#include <QMetaType>
#include <QThread>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// Report selectors (byte 1).
constexpr quint8 kLightReply = 0xB4;
constexpr quint8 kBatteryReport = 0xF2;
constexpr quint8 kAttributeReply = 0x06;
constexpr quint8 kReannounce = 0xF8;
constexpr quint8 kModeReply = 0xB0;
constexpr quint8 kProfileTransfer = 0xB6;

// Attribute reply ids (byte 2): the same indexes as the USB string descriptors.
constexpr int kAttrProduct = 2;
constexpr int kAttrSerial = 3;
constexpr int kAttrFirmwareVersion = 4;
constexpr int kAttrFirmwareData = 5;
constexpr int kAttrGeometry = 100;
constexpr int kAttrCapabilities = 110;
constexpr int kAttrSerialCode = 131;

constexpr int kDefaultResolution = 5080; // lines per inch when the device does not say
constexpr int kCommandPaceMs = 20;       // the device needs this between commands

// Status bytes of the 0x094B pen: leaving range, then hovering / eraser hovering.
constexpr quint8 kStatusOutOfRange = 0xC0;
constexpr quint8 kStatusHover = 0xA0;
constexpr quint8 kStatusEraserHover = 0xA8;

// Status of the previous 0x094B packet, shared by every tablet of that model.
std::atomic<int> g_Prev094BStatus{0};

// The first corner of the tablet area being marked: one for the whole program, as the
// main window marks one tablet's area at a time.
struct AreaCorner {
    std::mutex mutex;
    bool set = false;
    int32_t x = 0;
    int32_t y = 0;
};

AreaCorner &Corner()
{
    static AreaCorner corner;
    return corner;
}

void RegisterMetaTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<MultiData>("MultiData");
        qRegisterMetaType<CTablet *>("CTablet*");
        return true;
    }();
    Q_UNUSED(registered);
}

// Copies a text reply into a fixed array, cut so the NUL terminator always fits.
QByteArray CopyText(char *field, size_t fieldSize, const quint8 *text, int textLength)
{
    const size_t n = std::min(static_cast<size_t>(std::max(textLength, 0)), fieldSize - 1);
    std::memset(field, 0, fieldSize);
    std::memcpy(field, text, n);
    return QByteArray(field); // up to the first NUL, for the log
}

} // namespace

CTablet::CTablet(int tabletIndex, QObject *parent)
    : QObject(parent)
    , receivedApp(std::make_unique<AppConfigNode>())
    , profileStore(Paths::dataFolder() + QStringLiteral("/config.xml"))
    , TabletXMLData(std::make_unique<::TabletXMLData>())
    , tabletIndex(tabletIndex)
{
    RegisterMetaTypes();
}

CTablet::~CTablet()
{
    // The transport has stopped reading by now (CloseDevice), so nothing reads the list.
    apps.clear();
    FreeApplicationList(*TabletXMLData);
}

bool CTablet::OpenBleDevice(const QByteArray &, const BleModelEntry *)
{
    return false;
}

bool CTablet::OpenUsbDevice(const QByteArray &, const UsbModelEntry *)
{
    return false;
}

void CTablet::SentCmd(int, int, int) {}
void CTablet::SendProfileChunk(int, const quint8 *, int) {}
void CTablet::ProfileTransferControl(int, int) {}
void CTablet::UploadProfile(const QString &, int) {}
void CTablet::CloseDevice() {}

bool CTablet::SendAndWait(ReplyWait &reply, const std::function<void()> &send, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(replyMutex);
    const uint32_t before = reply.count;
    if (send)
        send();
    return reply.cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return reply.count != before; });
}

bool CTablet::SendAndWaitAttribute(const std::function<void()> &send, int timeoutMs)
{
    return SendAndWait(attributeReply, send, timeoutMs);
}

bool CTablet::SendAndWaitMode(const std::function<void()> &send, int timeoutMs)
{
    return SendAndWait(modeReply, send, timeoutMs);
}

DeviceAttributes CTablet::CopyAttributes() const
{
    std::lock_guard<std::mutex> lock(replyMutex);
    return m_DeviceAttributes;
}

void CTablet::SetAreaCapture(bool on)
{
    {
        AreaCorner &corner = Corner();
        std::lock_guard<std::mutex> lock(corner.mutex);
        corner.set = false;
    }
    areaCapture = on ? 1 : 0;
}

bool CTablet::ApplyReceivedProfile()
{
    std::lock_guard<std::mutex> transfer(transferMutex);
    if (!receivedValid || !TabletXMLData)
        return false;
    std::lock_guard<std::mutex> lock(appsMutex);
    AppConfigNode *target = &TabletXMLData->CommonAPP;
    const auto it = apps.find(QString::fromUtf8(receivedApp->path));
    if (receivedApp->path[0] != '\0' && it != apps.end())
        target = it->second;
    // The document carries the key groups, the active group and the first ring; the
    // pens and the second ring stay as they are.
    std::memcpy(target->groups, receivedApp->groups, sizeof target->groups);
    target->SelectID = receivedApp->SelectID;
    target->ring = receivedApp->ring;
    receivedValid = 0;
    qInfo().noquote() << "profile from the device applied to"
                      << (target == &TabletXMLData->CommonAPP ? QStringLiteral("the common profile") : it->first);
    return true;
}

QByteArray CTablet::ReceivedProfileBytes() const
{
    std::lock_guard<std::mutex> lock(transferMutex);
    return receiveBuffer;
}

void CTablet::EndProfileReception()
{
    std::lock_guard<std::mutex> lock(transferMutex);
    receiveActive = 0;
}

// On the way through at debug level only: the main window logs each message it takes.
void CTablet::ReceivActionMsg(int tabletId, int msgId, int msgData)
{
    qDebug() << "DataAction ReceivActionMsg:" << tabletId << msgId << msgData;
    emit PostActionMsg(tabletId, msgId, msgData);
}

void CTablet::ReceivActionMsg(int tabletId, int msgId, QString appPath)
{
    qDebug() << "DataAction ReceivActionMsg:" << tabletId << msgId << appPath;
    emit PostActionMsg(tabletId, msgId, appPath);
}

[[gnu::hot]] void CTablet::ReceiveTabletPackets(quint8 *data, int length)
{
    m_LastPacketDecoded = false;
    if (data == nullptr || length <= 0)
        return;

    if (length >= 2) {
        switch (data[1]) {
        case kLightReply:
            HandleLightReply(data, length);
            return;
        case kBatteryReport:
            HandleBattery(data, length);
            return;
        case kAttributeReply:
            HandleAttributeReply(data, length);
            return;
        case kReannounce:
            HandleReannounce(data, length);
            break;
        case kModeReply:
            HandleModeReply(data, length);
            break;
        case kProfileTransfer:
            HandleProfileTransfer(data, length);
            break;
        default:
            break;
        }
    }
    DecodeAndDispatch(data, length);
}

// [1]=0xB4 [2]=1 [3]=0 [4]=which light (1 wheel, 2 tablet) [5]=level
void CTablet::HandleLightReply(const quint8 *d, int length)
{
    if (length < 6 || d[2] != 1 || d[3] != 0)
        return;
    const quint8 which = d[4];
    const quint8 level = d[5];
    if (which != 1 && which != 2)
        return;
    {
        std::lock_guard<std::mutex> lock(replyMutex);
        if (which == 2)
            m_DeviceAttributes.TabletLightValue = level;
        else
            m_DeviceAttributes.WheelLightValue = level;
        attributeReply.Wake();
    }
    qInfo() << (which == 2 ? "TabletLightValue" : "WheelLightValue") << level;
    emit SentTabletLightData(this);
}

// [1]=0xF2 [3]=level in percent [4]=charging state (1 charging)
void CTablet::HandleBattery(const quint8 *d, int length)
{
    if (length < 5)
        return;
    batteryLevel = d[3];
    emit PostActionMsg(tabletIndex, kMsgBattery, static_cast<int>(d[4]));
}

// [1]=0x06 [2]=attribute id [3]=1 success [4..]=payload
void CTablet::HandleAttributeReply(const quint8 *d, int length)
{
    if (length < 4 || d[3] != 1)
        return;
    const quint8 *payload = d + 4;
    const int payloadLength = length - 4;
    DeviceAttributes &a = m_DeviceAttributes;

    std::lock_guard<std::mutex> lock(replyMutex);
    switch (d[2]) {
    case kAttrProduct:
        qDebug() << "m_DeviceAttributes.ProductName"
                 << CopyText(a.ProductName, sizeof a.ProductName, payload, payloadLength);
        break;
    case kAttrSerial:
        qDebug() << "m_DeviceAttributes.SerialNumber"
                 << CopyText(a.SerialNumber, sizeof a.SerialNumber, payload, payloadLength);
        break;
    case kAttrFirmwareVersion:
        qDebug() << "m_DeviceAttributes.ICVersion"
                 << CopyText(a.ICVersion, sizeof a.ICVersion, payload, payloadLength);
        attributeReply.Wake();
        break;
    case kAttrFirmwareData:
        qDebug() << "m_DeviceAttributes.ICData"
                 << CopyText(a.ICData, sizeof a.ICData, payload, payloadLength);
        break;
    case kAttrGeometry:
        // payload: [0..1] MaxX, [2..3] MaxY, [6..7] MaxPressure, little-endian
        if (payloadLength < 8)
            return;
        a.MaxX = payload[0] | payload[1] << 8;
        a.MaxY = payload[2] | payload[3] << 8;
        a.MaxPressure = payload[6] | payload[7] << 8;
        a.Resolution = kDefaultResolution;
        a.WidthInch100 = a.MaxX * 100 / a.Resolution;
        a.HeightInch100 = a.MaxY * 100 / a.Resolution;
        qInfo() << "m_DeviceAttributes.MaxX" << a.MaxX << a.MaxY << a.MaxPressure;
        attributeReply.Wake();
        break;
    case kAttrCapabilities: {
        // The block is stored from its second byte on, as the string descriptor's first
        // byte is not part of the reply.
        const int n = std::min(payloadLength, static_cast<int>(sizeof a.TabletType) - 1);
        std::memcpy(a.TabletType + 1, payload, static_cast<size_t>(n));
        qInfo() << "m_DeviceAttributes.TabletType" << a.TabletType[7];
        break;
    }
    case kAttrSerialCode: {
        const int n = std::min(payloadLength, static_cast<int>(sizeof a.SerialCode));
        std::memcpy(a.SerialCode, payload, static_cast<size_t>(n));
        qInfo() << "m_DeviceAttributes.SerialNumber"
                << QByteArray(reinterpret_cast<const char *>(a.SerialCode), n).toHex(' ');
        break;
    }
    default:
        break;
    }
}

// [1]=0xF8 [2]=2 [3]=1: the device restarted its report stream and lost its mode.
void CTablet::HandleReannounce(const quint8 *d, int length)
{
    if (length < 4 || d[2] != 2 || d[3] != 1)
        return;
    const int16_t currentMode = mode;
    if (currentMode != 0) {
        SentCmd(CmdSetMode, currentMode, 0);
        QThread::msleep(kCommandPaceMs);
    }
    if (ModelQuirksOf(productId) & QuirkLightsReannounce) {
        SentCmd(CmdQueryLight, 1, 0);
        QThread::msleep(kCommandPaceMs);
        SentCmd(CmdQueryLight, 2, 0);
        emit PostActionMsg(tabletIndex, kMsgReannounced, 0);
    }
}

// [1]=0xB0 [2]/[3]=1: the mode was taken.
void CTablet::HandleModeReply(const quint8 *d, int length)
{
    if (length < 4)
        return;
    if (d[3] == 1 || d[2] == 1) {
        std::lock_guard<std::mutex> lock(replyMutex);
        modeReply.Wake();
    }
}

// [1]=0xB6 [2]=sub [3]=state; header [4..7]=total (LE u32) [8]=transfer id;
// data from [3] on.
void CTablet::HandleProfileTransfer(const quint8 *d, int length)
{
    if (length < 4)
        return;
    const quint8 b2 = d[2];
    const quint8 b3 = d[3];

    struct Report {
        int code;
        int value;
    } reports[3];
    int reportCount = 0;
    const auto report = [&](int code, int value) { reports[reportCount++] = {code, value}; };

    {
        std::lock_guard<std::mutex> lock(transferMutex);
        if (b2 == 1 && b3 == 1) {
            receiveTotal = 0;
            m_TransferStarted = true;
            report(TransferStarted, 0);
        }
        if (b2 == 2) {
            if (b3 == 2 && m_TransferStarted) {
                report(TransferUploadDone, 2);
                m_TransferStarted = false;
            } else if (b3 == 0 && receiveTotal == 0) {
                report(TransferNothingSent, 0);
                m_TransferStarted = false;
            }
        }
        if (b2 == 0 && b3 == 1 && !receiveActive) {
            if (length < 9)
                return;
            const quint32 total = d[4] | d[5] << 8 | d[6] << 16 | static_cast<quint32>(d[7]) << 24;
            if (total > static_cast<quint32>(INT_MAX)) {
                report(TransferWrongId, 0); // no profile is that large: not our transfer
            } else {
                receiveTotal = static_cast<int32_t>(total);
                receiveCount = 0;
                receiveActive = 1;
                receiveBuffer.clear();
                if (receiveTotal == 0)
                    report(TransferEmpty, 0);
                else if (d[8] == expectedTransferId)
                    report(TransferHeader, receiveTotal);
                else
                    report(TransferWrongId, 0);
            }
        } else if (b2 == 0 && b3 != 0 && receiveActive) {
            for (int i = 3; i < length; ++i) {
                ++receiveCount;
                // 0x00 and 0xFF are padding on the wire, never document bytes.
                if (receiveCount <= receiveTotal && d[i] != 0x00 && d[i] != 0xFF)
                    receiveBuffer.append(static_cast<char>(d[i]));
            }
            if (receiveTotal > 0) {
                const int64_t percent = static_cast<int64_t>(receiveCount) * 100 / receiveTotal;
                if (percent <= 100)
                    report(TransferProgress, static_cast<int>(percent));
            }
        }
        if (b2 == 2) {
            if (b3 != 0 || receiveCount < receiveTotal) {
                if (receiveActive && receiveCount < receiveTotal) {
                    report(TransferFailed, receiveTotal);
                    receiveActive = 0;
                }
            } else {
                // A complete document becomes the received application profile; one
                // that does not parse is reported as not usable.
                if (!receiveBuffer.isEmpty()) {
                    auto parsed = std::make_unique<AppConfigNode>();
                    std::memset(parsed.get(), 0, sizeof(AppConfigNode));
                    const bool usable = ReadKeypadDocument(receiveBuffer, parsed.get())
                                        && parsed->ring.id >= 0 && parsed->SelectID >= 0;
                    if (usable) {
                        parsed->next = nullptr;
                        std::memcpy(receivedApp.get(), parsed.get(), sizeof(AppConfigNode));
                        receivedValid = 1;
                        receiveCount = 0;
                    }
                    report(usable ? TransferParsed : TransferFailed, 1);
                    receiveBuffer.clear();
                }
                // Ends even an empty reception, so the next header is read as a header.
                receiveActive = 0;
            }
        }
    }
    for (int i = 0; i < reportCount; ++i)
        emit PostDeviceOperatorMsg(reports[i].code, reports[i].value);
}

[[gnu::hot]] void CTablet::DecodeAndDispatch(const quint8 *d, int length)
{
    if (!decodeEnabled)
        return;
    std::memset(&packet, 0, sizeof packet);
    packet.productId = productId;
    packet.tabletIndex = tabletIndex;
    if (!DecodeReport(d, length, productId, decoderState, packet))
        return;
    m_LastPacketDecoded = true;

    if (areaCapture) {
        CaptureArea();
        return;
    }

    MultiData out{};
    Dispatch(out);
    if (emitToUi)
        emit SentMultiData(this, out);
}

MultiData CTablet::RunDecodedPacket(const TabletPacket &decoded)
{
    packet = decoded;
    m_LastPacketDecoded = true;
    MultiData out{};
    Dispatch(out);
    if (emitToUi)
        emit SentMultiData(this, out);
    return out;
}

// The pen tracking and the sink's two steps for `packet`. The profile lock is held only
// for the tracking and the resolve step: nodes are alive just while it is held, and the
// run step's injection waits must not hold up the settings window.
[[gnu::hot]] void CTablet::Dispatch(MultiData &out)
{
    bool newPen = false;
    {
        std::lock_guard<std::mutex> lock(appsMutex);
        newPen = TrackPen();
        if (m_pSink)
            m_pSink->ResolvePacket(packet, m_DeviceAttributes, *TabletXMLData, apps, out);
    }
    if (m_pSink)
        m_pSink->RunPacket(packet, out);

    if (decoderState.quirks & QuirkDoubleRun) {
        // On this model the first hovering sample after the pen left range goes
        // through the engine a second time.
        const int previous = g_Prev094BStatus.exchange(packet.status);
        if ((packet.flags & PacketPen) && previous == kStatusOutOfRange
            && (packet.status == kStatusHover || packet.status == kStatusEraserHover) && m_pSink) {
            {
                std::lock_guard<std::mutex> lock(appsMutex);
                m_pSink->ResolvePacket(packet, m_DeviceAttributes, *TabletXMLData, apps, out);
            }
            m_pSink->RunPacket(packet, out);
        }
    }
    // Outside the lock: a directly connected slot may well look at the profiles.
    if (newPen)
        emit PostActionMsg(tabletIndex, kMsgNewPen, static_cast<int>(packet.penId));
}

// True when a pen came into use for the first time (message 89). appsMutex held.
[[gnu::hot]] bool CTablet::TrackPen()
{
    ::TabletXMLData &profile = *TabletXMLData;
    if (profile.DevicePenNum <= 1) {
        profile.DeviceCurPenID = 0;
        return false;
    }
    if (!(packet.flags & PacketPen) || packet.penId >= profile.DevicePenNum)
        return false;
    const int16_t bit = static_cast<int16_t>(1 << packet.penId);
    if (profile.PenMoveInTablet != lastPenMask && !(profile.PenMoveInTablet & bit)) {
        lastPenMask = profile.PenMoveInTablet;
        profile.PenMoveInTablet = static_cast<int16_t>(profile.PenMoveInTablet | bit);
        profile.DeviceCurPenID = packet.penId;
        return true;
    }
    return false;
}

bool CTablet::LoadProfile(const QString &modelKey)
{
    // Read into a copy of the current record, so that what the file leaves out (the
    // calibration of a model element without SC) keeps its value, and a failure
    // leaves the tablet's profiles as they were.
    DeviceProfile loaded;
    {
        std::lock_guard<std::mutex> lock(appsMutex);
        std::memcpy(&loaded.data(), TabletXMLData.get(), sizeof(::TabletXMLData));
    }
    loaded.data().Apps = nullptr; // the copy does not own the tablet's list
    if (!profileStore.LoadConfig(modelKey, &loaded.data(), &loaded.apps())) {
        qWarning() << "ReadXml Failed!";
        return false;
    }
    qInfo() << "Function  LoadConfig success";
    ApplyLoadDefaults(loaded.data());

    AppConfigNode *oldList = nullptr;
    {
        std::lock_guard<std::mutex> lock(appsMutex);
        oldList = TabletXMLData->Apps;
        std::memcpy(TabletXMLData.get(), &loaded.data(), sizeof(::TabletXMLData));
        apps.swap(loaded.apps());
        ++appsGeneration;
        profileKey = modelKey;
        CopyMappingValues();
    }
    // The old list now belongs to `loaded`, which frees it after the lock is released.
    loaded.data().Apps = oldList;
    m_SavedFingerprint = ProfileFingerprint();
    return true;
}

void CTablet::ApplyLoadDefaults(::TabletXMLData &profile)
{
    // An empty tablet area is the whole tablet, in hundredths of an inch.
    const DeviceAttributes a = CopyAttributes();
    if (profile.TW == 0)
        profile.TW = static_cast<int16_t>(std::clamp<int32_t>(a.WidthInch100, 0, INT16_MAX));
    if (profile.TH == 0)
        profile.TH = static_cast<int16_t>(std::clamp<int32_t>(a.HeightInch100, 0, INT16_MAX));

    // The reports decide what keys and rings there are. Earlier default profiles of the
    // keypad listed its dial as keys 11 and 12, whose actions could never run: the dial
    // is ring 0 (its ring record is read as stored or, when the file has none, is the
    // built-in first function; a save adds the ring element). The model facts are never
    // written back, so this is applied at every load.
    const ReportRule rule = ReportRuleOf(productId);
    if (profile.DeviceKeyNum > rule.keys || profile.DeviceRingNum < rule.fixedRings) {
        qInfo() << "profile" << profileKey << "keys" << profile.DeviceKeyNum << "rings" << profile.DeviceRingNum
                << "read as the reports give them:" << std::min<int>(profile.DeviceKeyNum, rule.keys)
                << std::max<int>(profile.DeviceRingNum, rule.fixedRings);
        profile.DeviceKeyNum = static_cast<int16_t>(std::min<int>(profile.DeviceKeyNum, rule.keys));
        profile.DeviceRingNum = static_cast<int16_t>(std::max<int>(profile.DeviceRingNum, rule.fixedRings));
    }

    // An empty screen area is the whole screen of the profile's screen index.
    QRect screen;
    if (profile.SW == 0 && profile.SH == 0 && m_ScreenRectProvider
        && m_ScreenRectProvider(profile.ScreenId, &screen)) {
        const auto fit = [](int v) { return static_cast<int16_t>(std::clamp(v, INT16_MIN, INT16_MAX)); };
        profile.SX = fit(screen.x());
        profile.SY = fit(screen.y());
        profile.SW = fit(screen.width());
        profile.SH = fit(screen.height());
        mappingChanged = 1;
    }
}

// The mapping code works on the tablet's own copy of the screen area.
void CTablet::CopyMappingValues()
{
    screenIndex = TabletXMLData->ScreenId;
    SX = TabletXMLData->SX;
    SY = TabletXMLData->SY;
    SW = TabletXMLData->SW;
    SH = TabletXMLData->SH;
}

QByteArray CTablet::ProfileFingerprint() const
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    std::lock_guard<std::mutex> lock(appsMutex);
    ::TabletXMLData record;
    std::memcpy(&record, TabletXMLData.get(), sizeof record);
    record.FineMode = record.FineX = record.FineY = record.FineW = record.FineH = 0;
    record.Apps = nullptr;
    hash.addData(reinterpret_cast<const char *>(&record), int(sizeof record));
    for (const AppConfigNode *app = TabletXMLData->Apps; app; app = app->next) {
        hash.addData(reinterpret_cast<const char *>(app), int(offsetof(AppConfigNode, next)));
    }
    return hash.result();
}

void CTablet::SnapshotProfile(DeviceProfile *copy) const
{
    std::lock_guard<std::mutex> lock(appsMutex);
    CloneDeviceProfile(*TabletXMLData, &copy->data(), &copy->apps());
}

bool CTablet::SaveProfile()
{
    return SaveAllProfiles({this});
}

bool SaveAllProfiles(const std::vector<CTablet *> &tablets)
{
    // Copies first: the reading threads go on writing the pen tracking fields, and the
    // file work runs without holding them up.
    std::vector<std::unique_ptr<DeviceProfile>> copies;
    std::vector<CTablet *> saved;
    for (CTablet *tablet : tablets) {
        if (!tablet || tablet->profileKey.isEmpty())
            continue;
        copies.push_back(std::make_unique<DeviceProfile>());
        tablet->SnapshotProfile(copies.back().get());
        saved.push_back(tablet);
    }
    // Tablets normally share one file; each file is parsed and replaced once.
    bool ok = true;
    std::vector<bool> done(saved.size(), false);
    for (size_t i = 0; i < saved.size(); ++i) {
        if (done[i])
            continue;
        std::vector<ProfileEntry> entries;
        for (size_t j = i; j < saved.size(); ++j) {
            if (!done[j] && saved[j]->profileStore.path() == saved[i]->profileStore.path()) {
                entries.push_back({saved[j]->profileKey, &copies[j]->data(), &copies[j]->apps()});
                done[j] = true;
            }
        }
        const bool written = saved[i]->profileStore.SaveAll(entries);
        ok = written && ok;
        for (size_t j = i; written && j < saved.size(); ++j) {
            if (saved[j]->profileStore.path() == saved[i]->profileStore.path())
                saved[j]->m_SavedFingerprint = saved[j]->ProfileFingerprint();
        }
    }
    for (CTablet *tablet : saved)
        tablet->CopyMappingValues();
    return ok;
}

void CTablet::CopyProfileFrom(CTablet &other)
{
    DeviceProfile copy;
    other.SnapshotProfile(&copy);
    AppConfigNode *oldList = nullptr;
    {
        std::lock_guard<std::mutex> lock(appsMutex);
        oldList = TabletXMLData->Apps;
        std::memcpy(TabletXMLData.get(), &copy.data(), sizeof(::TabletXMLData));
        apps.swap(copy.apps());
        ++appsGeneration;
        profileKey = other.profileKey;
        CopyMappingValues();
    }
    copy.data().Apps = oldList; // freed with `copy`, outside the lock
}

AppEditResult CTablet::AddApplication(const QString &path)
{
    std::lock_guard<std::mutex> lock(appsMutex);
    const AppEditResult result = ::AddApplication(*TabletXMLData, apps, path);
    if (result == AppEditResult::Done)
        ++appsGeneration;
    return result;
}

AppEditResult CTablet::DeleteApplication(const QString &path)
{
    std::unique_ptr<AppConfigNode> removed;
    AppEditResult result;
    {
        std::lock_guard<std::mutex> lock(appsMutex);
        result = ::DeleteApplication(*TabletXMLData, apps, path, &removed);
        if (result == AppEditResult::Done)
            ++appsGeneration;
    }
    return result; // `removed` is freed here, after the lock
}

// Marking the tablet area: two tip touches give two corners; the result goes out in
// hundredths of an inch, turned by the profile's orientation.
void CTablet::CaptureArea()
{
    const bool tipDown = (packet.flags & PacketPen) && (packet.flags & PacketPenButton)
                         && packet.penButtonNo == 1 && packet.penButtonDown == 1;
    if (!tipDown)
        return;

    int32_t firstX = 0;
    int32_t firstY = 0;
    bool second = false;
    {
        AreaCorner &corner = Corner();
        std::lock_guard<std::mutex> lock(corner.mutex);
        if (!corner.set) {
            corner.set = true;
            corner.x = packet.x;
            corner.y = packet.y;
        } else {
            corner.set = false;
            firstX = corner.x;
            firstY = corner.y;
            second = true;
        }
    }
    if (!second) {
        emit ShowCaption(QStringLiteral("Device.TabeltHelpInfo2"), QStringLiteral("Now touch the opposite corner."));
        return;
    }
    emit ShowCaption(QStringLiteral("Device.TabeltHelpInfo3"), QStringLiteral("The tablet area is set."));

    int32_t resolution = m_DeviceAttributes.Resolution;
    if (resolution <= 0)
        resolution = kDefaultResolution; // no geometry reply yet: the device default
    const int64_t left = std::min(firstX, packet.x);
    const int64_t top = std::min(firstY, packet.y);
    const int64_t width = std::abs(static_cast<int64_t>(packet.x) - firstX);
    const int64_t height = std::abs(static_cast<int64_t>(packet.y) - firstY);
    const int l = static_cast<int>(left * 100 / resolution);
    const int t = static_cast<int>(top * 100 / resolution);
    const int w = std::max(1, static_cast<int>(width * 100 / resolution));
    const int h = static_cast<int>(height * 100 / resolution);
    const int W = m_DeviceAttributes.WidthInch100;
    const int H = m_DeviceAttributes.HeightInch100;

    // The settings window turns the tablet under the profile lock.
    int16_t orientation = 0;
    {
        std::lock_guard<std::mutex> lock(appsMutex);
        orientation = TabletXMLData->Orientation;
    }
    int x = 0, y = 0, rw = 0, rh = 0;
    switch (orientation) {
    case 0:
        x = l; y = t; rw = w; rh = h;
        break;
    case 1:
        x = H - h - t; y = l; rw = h; rh = w;
        break;
    case 2:
        x = W - w - l; y = H - h - t; rw = w; rh = h;
        break;
    case 3:
        x = t; y = W - w - l; rw = h; rh = w;
        break;
    default:
        break;
    }
    qInfo() << "SetAreaOk" << x << y << rw << rh;
    areaCapture = 0;
    emit SetAreaOk(static_cast<short>(x), static_cast<short>(y), static_cast<short>(rw),
                   static_cast<short>(rh));
}
