#pragma once
// One connected tablet: its device description, device and application profiles and
// decoder state. Transports (USB, Bluetooth LE) subclass it and feed every input report
// to ReceiveTabletPackets on their reading thread; each decoded packet goes to the packet
// sink its owner gave it (the action engine).
//
// Threads and ownership of the members:
//  - GUI thread: creation, open, close, commands and the waits on the replies.
//  - Reading thread (the transport's): ReceiveTabletPackets, the decoder, the packet
//    sink. It alone touches decoderState, packet and the sink.
//  - appsMutex (private) guards the profiles (TabletXMLData, apps, appsGeneration) and
//    the pen tracking. Other threads reach the profiles only through EditProfile. The
//    reading thread holds it only while the pen tracking runs and the sink resolves what
//    the packet needs (PacketSink::ResolvePacket), never while the sink injects, waits or
//    signals, so a settings edit never waits behind an action's pauses.
//  - replyMutex guards m_DeviceAttributes once decoding runs: the reading thread writes
//    the attribute and light replies under it and reads it freely; other threads read it
//    through CopyAttributes(). The GUI thread writes it only before decoding starts.
//  - transferMutex guards the profile reception (receive* members).
//  - Flags the GUI thread flips while the reading thread runs are atomics.

#include "config/appconfigmap.h"
#include "config/appprofiles.h"
#include "config/profilerecords.h"
#include "config/profilestore.h"
#include "device/decoder.h"
#include "device/packetsink.h"
#include "device/tabletmessageid.h"
#include "device/tabletpacket.h"

#include <QByteArray>
#include <QObject>
#include <QRect>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Rows of the supported-model tables (USB and Bluetooth LE).
struct UsbModelEntry;
struct BleModelEntry;

// Device commands of SentCmd(type, a, b). The numbers are the command's own (log lines
// such as "SentCmd(0,1,0) Failed" name them).
enum SentCmdType : int {
    CmdQueryLight = 0,  // a: light (1 wheel, 2 tablet)
    CmdSetLight = 1,    // a: light, b: level
    CmdSetLight2 = 2,   // the second set-light form
    CmdSetMode = 3,     // a: report mode
    CmdQueryBattery = 4,
    // Bluetooth attribute queries (the device answers with report 0x06).
    CmdBleProductName = 11,
    CmdBleSerial = 12,
    CmdBleFirmware = 13,
    CmdBleFirmwareData = 14,
    CmdBleGeometry = 15, // attribute 100: size and pressure
    CmdBleAttribute103 = 16,
    CmdBleCapabilities = 17, // attribute 110
    CmdBleBinarySerial = 18, // attribute 131
    CmdBleAttribute241 = 19,
};


// PostDeviceOperatorMsg(code, value) codes of a profile transfer from the device.
enum ProfileTransferCode {
    TransferStarted = 1,       // (1, 0)
    TransferUploadDone = 3,    // (3, 2): the device took our transfer end
    TransferNothingSent = 4,   // (4, 0)
    TransferHeader = 5,        // (5, total)
    TransferProgress = 6,      // (6, percent)
    TransferParsed = 7,        // (7, 1)
    TransferFailed = 8,        // (8, total) short data, or (8, 1) document not usable
    TransferWrongId = 9,       // (9, 0)
    TransferEmpty = 10,        // (10, 0)
};

class CTablet : public QObject
{
    Q_OBJECT

public:
    explicit CTablet(int tabletIndex, QObject *parent = nullptr);
    ~CTablet() override;

    CTablet(const CTablet &) = delete;
    CTablet &operator=(const CTablet &) = delete;

    // Transport operations; this base does nothing and cannot open.
    virtual bool OpenBleDevice(const QByteArray &path, const BleModelEntry *entry);
    virtual bool OpenUsbDevice(const QByteArray &path, const UsbModelEntry *entry);
    // Device command type (SentCmdType) with its two arguments.
    virtual void SentCmd(int type, int a, int b);
    virtual void SendProfileChunk(int type, const quint8 *data, int length);
    virtual void ProfileTransferControl(int type, int value);
    virtual void UploadProfile(const QString &text, int count);
    virtual void CloseDevice();

    // Command senders' waits. Each locks replyMutex BEFORE calling send, then waits up to
    // timeoutMs for the reply; the reading thread needs replyMutex to record the reply
    // and wake the waiter, so a reply that comes back while send is still running is
    // held until the wait has begun and is never lost. send must not wait for the
    // reading thread. Returns false on time-out.
    // attributeReply is woken by the geometry (100) and firmware version (4) attribute
    // replies and by light replies; modeReply by the 0xB0 reply.
    bool SendAndWaitAttribute(const std::function<void()> &send, int timeoutMs);
    bool SendAndWaitMode(const std::function<void()> &send, int timeoutMs);

    // A consistent copy of the device description, for threads other than the reading
    // thread.
    DeviceAttributes CopyAttributes() const;

    // The packet of the last ReceiveTabletPackets call, and whether that call produced a
    // decoded packet that went to the action engine or the area capture. Valid on the
    // reading thread right after the call (the next report overwrites them).
    const TabletPacket &LastPacket() const { return packet; }
    bool LastPacketDecoded() const { return m_LastPacketDecoded; }

    // Starts (on) or cancels (off) marking the tablet area with the pen. Either way the
    // next tip touch is a first corner again.
    void SetAreaCapture(bool on);

    // Profile bytes of a reception in progress (cleared once a complete document was
    // parsed into receivedApp).
    QByteArray ReceivedProfileBytes() const;
    // GUI thread, after a fetch from the device succeeded: the received key groups,
    // active group and first ring replace those of the application profile with the
    // received path (the common profile when there is none). False when nothing usable
    // was received since the last apply.
    bool ApplyReceivedProfile();

    // Profiles (GUI thread). LoadProfile reads the model's device and application
    // profiles from profileStore and, on success, puts them in place of the current
    // ones in one step under appsMutex; a failed load changes nothing. Logs "Function
    // LoadConfig success" or "ReadXml Failed!". Used at open and to drop unsaved edits.
    bool LoadProfile(const QString &modelKey);
    // Writes this tablet's profiles into profileStore's file and copies the screen area
    // into the mapping values again.
    bool SaveProfile();
    // Whether the profiles changed since they were last loaded or saved (GUI thread):
    // OK writes and Cancel reloads only the tablets whose profiles did.
    bool ProfileEdited() const { return ProfileFingerprint() != m_SavedFingerprint; }
    // A second tablet of a model that is already open: a copy of the other tablet's
    // profiles with an application list of its own (sharing one list would leave this
    // tablet with freed nodes once the other one is removed).
    void CopyProfileFrom(CTablet &other);
    // Application profiles of the settings window (see config/appprofiles.h). Delete
    // frees the node only once no packet can be reading it.
    AppEditResult AddApplication(const QString &path);
    AppEditResult DeleteApplication(const QString &path);

    // The one door to the profiles for every thread but the reading thread: edit runs
    // with appsMutex held and gets the device profile (it may reach apps and the nodes
    // of the list, and read lastPenMask and the mapping values too). It must not wait
    // for the reading thread nor emit signals, and keeps no node pointer past its return
    // unless the caller's own thread is the only one that frees nodes (the GUI thread).
    template<typename Fn> decltype(auto) EditProfile(Fn &&edit)
    {
        std::lock_guard<std::mutex> lock(appsMutex);
        return edit(*TabletXMLData);
    }
    template<typename Fn> decltype(auto) EditProfile(Fn &&edit) const
    {
        std::lock_guard<std::mutex> lock(appsMutex);
        return edit(static_cast<const ::TabletXMLData &>(*TabletXMLData));
    }

    // Runs a packet decoded elsewhere as a decoded report runs (pen tracking, the sink's
    // two steps, the window record), on the calling thread, which then is this tablet's
    // reading thread: for tests and tools that bring their own packets.
    MultiData RunDecodedPacket(const TabletPacket &decoded);

    // Where the screen area of a profile without one comes from: the rectangle of a
    // screen table index, in desktop pixels. Until the screen table exists the caller
    // supplies it; without a provider such a profile keeps its empty area.
    using ScreenRectProvider = std::function<bool(int screenIndex, QRect *rect)>;
    void SetScreenRectProvider(ScreenRectProvider provider) { m_ScreenRectProvider = std::move(provider); }

signals:
    void SetAreaOk(short x, short y, short w, short h);
    void SentMultiData(CTablet *tablet, MultiData mData);
    void PostActionMsg(int tabletId, int msgId, int msgData);
    void PostActionMsg(int tabletId, int msgId, QString appPath);
    void SentTabletLightData(CTablet *tablet);
    void PostDeviceOperatorMsg(int code, int value);
    // A caption for the user while the tablet area is marked with the pen (language key
    // and English text); emitted on the reading thread.
    void ShowCaption(const QString &key, const QString &fallback);

public slots:
    // One input report; byte 0 is the report id, byte 1 selects the handling. Runs on the
    // transport's reading thread (direct connection). The bytes are only read during the
    // call.
    void ReceiveTabletPackets(quint8 *packet, int length);
    // The action engine's messages, passed on unchanged as PostActionMsg.
    void ReceivActionMsg(int tabletId, int msgId, int msgData);
    void ReceivActionMsg(int tabletId, int msgId, QString appPath);

public:
    // Mapping values copied from the profile when it is loaded (GUI thread).
    int16_t screenIndex = 0;
    int16_t SX = 0;
    int16_t SY = 0;
    int16_t SW = 0;
    int16_t SH = 0;

    // Application path -> profile, an index into the list TabletXMLData->Apps owns.
    // Guarded by appsMutex: other threads use it inside EditProfile.
    //
    // The reading thread holds appsMutex while the pen tracking runs and the sink
    // resolves a packet (it reads custom texts and ring functions, and action 110 writes
    // SelectID); the GUI thread holds it only while it links, unlinks or swaps in nodes
    // and the map, or edits node fields in place, and frees unlinked nodes after letting
    // go of it. So a node is alive only as long as the lock is held: the sink copies
    // what it needs and runs the packet's actions (with their waits) from the copies.
    // appsGeneration changes with every change of the list.
    AppConfigMap apps;
    uint32_t appsGeneration = 0; // appsMutex

    uint8_t isBle = 0;                  // set by the Bluetooth subclass
    std::atomic<int32_t> batteryLevel{-1}; // percent from the 0xF2 report; -1 unknown
    uint8_t lowBatteryShown = 0;        // GUI thread only

    QByteArray uploadBuffer; // profile text being sent to the device; GUI thread only

    // Profile reception from the device; guarded by transferMutex.
    QByteArray receiveBuffer;
    int32_t receiveTotal = 0;  // announced byte count
    int32_t receiveCount = 0;  // bytes seen so far
    uint8_t receiveActive = 0;
    std::unique_ptr<AppConfigNode> receivedApp; // zeroed at construction
    uint8_t receivedValid = 0; // receivedApp holds a parsed document not yet applied
    int32_t expectedTransferId = 1;

    DeviceAttributes m_DeviceAttributes{}; // see replyMutex above

    // The profile file: the data folder's "/config.xml". GUI thread.
    ProfileStore profileStore;
    QString profileKey; // model key of the loaded profile; GUI thread
    // Set when loading gave the profile the screen area of its screen index, so the
    // mapping is passed on again.
    std::atomic<uint8_t> mappingChanged{0};

    // The device profile, guarded by appsMutex (other threads: EditProfile). Read by the
    // reading thread for every packet; the pen tracking writes DeviceCurPenID and
    // PenMoveInTablet there. Owns the application list (freed with the tablet, after its
    // reading has stopped).
    std::unique_ptr<::TabletXMLData> TabletXMLData;

    DecoderState decoderState{}; // reading thread
    TabletPacket packet{};       // reading thread

    // Standard mutex and condition variables rather than Qt's: thread sanitizer builds
    // see their ordering. Each wait condition counts its wake-ups under replyMutex, so a
    // sender waits for a reply that came after its command, never for a spurious wake.
    struct ReplyWait {
        std::condition_variable cv;
        uint32_t count = 0; // replyMutex
        void Wake() { ++count; cv.notify_all(); }
    };
    mutable std::mutex replyMutex;
    ReplyWait attributeReply;
    ReplyWait modeReply;

    // Where decoded packets go (the action engine, wired in by the tablet's owner). Set
    // before the transport starts reading, never changed after; then used only on the
    // reading thread. Without one, packets are decoded and dropped.
    void SetPacketSink(std::unique_ptr<PacketSink> sink) { m_pSink = std::move(sink); }
    PacketSink *packetSink() const { return m_pSink.get(); }

    int32_t productId = 0;  // set at open, before decoding starts
    int32_t tabletIndex;    // slot 0..4
    std::atomic<uint8_t> emitToUi{0};      // every decoded packet also emits SentMultiData
    std::atomic<uint8_t> areaCapture{0};   // packets go to the area capture; see SetAreaCapture
    std::atomic<uint8_t> decodeEnabled{0}; // set once the transport delivers reports
    std::atomic<int16_t> mode{0};          // mode byte sent at open
    // Pen tracking: the reading thread, under appsMutex; the settings window resets it
    // inside EditProfile when it removes a pen from the pen menu.
    int16_t lastPenMask = -1;

protected:
    // Ends a profile reception in progress (the transfer control that cancels it).
    void EndProfileReception();

    mutable std::mutex transferMutex;

private:
    // See apps above. Reached from outside only through EditProfile.
    mutable std::mutex appsMutex;

    bool SendAndWait(ReplyWait &reply, const std::function<void()> &send, int timeoutMs);
    void HandleLightReply(const quint8 *d, int length);
    void HandleBattery(const quint8 *d, int length);
    void HandleAttributeReply(const quint8 *d, int length);
    void HandleReannounce(const quint8 *d, int length);
    void HandleModeReply(const quint8 *d, int length);
    void HandleProfileTransfer(const quint8 *d, int length);
    void DecodeAndDispatch(const quint8 *d, int length);
    void Dispatch(MultiData &out);
    bool TrackPen();
    void ApplyLoadDefaults(::TabletXMLData &profile);
    void CopyMappingValues();
    // Copies the profiles for a save, under appsMutex.
    void SnapshotProfile(DeviceProfile *copy) const;
    friend bool SaveAllProfiles(const std::vector<CTablet *> &tablets);
    void CaptureArea();
    // A hash of what the profile file holds of this tablet (the record and every
    // application profile; not the fine-mode state or list links), under appsMutex.
    QByteArray ProfileFingerprint() const;
    QByteArray m_SavedFingerprint; // GUI thread: the fingerprint as last loaded or saved

    bool m_TransferStarted = false; // transferMutex
    ScreenRectProvider m_ScreenRectProvider; // GUI thread
    bool m_LastPacketDecoded = false; // reading thread
    std::unique_ptr<PacketSink> m_pSink; // see SetPacketSink
};

// SaveAll: every open tablet's profiles into its profile file, one write per file.
bool SaveAllProfiles(const std::vector<CTablet *> &tablets);
