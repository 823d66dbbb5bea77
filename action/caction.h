#pragma once
// The per-tablet action engine. Runs on the tablet's reading thread: for each decoded
// packet it picks the profile of the foreground application, sends pen samples through
// the pen path, runs the key, pen-button and ring actions (built-in actions and custom
// function texts), shows their captions, posts messages and usage records to the main
// window and fills the MultiData record the main window shows.
//
// Profiles: each packet runs in two steps (see PacketSink). ResolvePacket, with the
// tablet's profile lock held, picks the profile, maps the pen sample and copies what the
// packet's key, pen-button and ring events need (action numbers, custom texts, ring
// functions, the path of the profile in force) into ResolvedEvent values; action 110
// switches the key group there, since that writes SelectID. RunPacket, without the lock,
// injects with its waits, shows the captions and posts the messages and usage records
// from those copies only: once the lock is let go the settings window may free any node,
// and it must not wait behind an action's pauses. No profile pointer is kept from one
// step to the next. A key press's profile is remembered by its path and looked up again
// when its release is resolved, so what the press held is let go even if another
// application came to the foreground, and a profile deleted in between is never read
// (the release then uses the common one).

#include "action/penpath.h"
#include "config/appconfigmap.h"
#include "config/profilerecords.h"
#include "device/packetsink.h"
#include "device/tabletmessageid.h"
#include "device/tabletpacket.h"
#include "platform/foreground/foregroundbackend.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <memory>

class ActionSystem;
class ForegroundBackend;
class InputInjector;
struct ForegroundWindow;

class CAction final : public QObject, public PacketSink {
    Q_OBJECT

public:
    explicit CAction(int tabletIndex, QObject *parent = nullptr);
    ~CAction() override;

    // Every decoded packet (reading thread). ResolvePacket (profile lock held) selects
    // the foreground application's profile, maps the pen sample and resolves the
    // events; RunPacket (no lock) outputs the pen sample, runs the actions and returns
    // the MultiData record:
    //  - flags; penButtonNo/penButtonDown on a pen button event; ringIndex/ringDelta on
    //    a ring step;
    //  - key event: keyId = entry index (0..39) of the last changed key that a
    //    profile entry names (by Motid), keyDown its state.
    void ResolvePacket(const TabletPacket &packet, const DeviceAttributes &attributes, TabletXMLData &profile,
                       const AppConfigMap &apps, MultiData &out) override;
    void RunPacket(const TabletPacket &packet, const MultiData &out) override;

    int TabletIndex() const { return m_TabletIndex; }

    // Packets processed so far; read on the reading thread (the replay tool counts
    // engine runs with it).
    uint64_t ProcessedPackets() const { return m_ProcessedPackets; }

    // The pen path: mapping and pointer output of pen samples, and its pen state.
    PenPath &Pen() { return m_PenPath; }

    // Pen/eraser state from the main window when a shortcut keypad toggled it (any
    // thread). The pen path takes it at the next packet of this tablet; with key sending
    // on, 'E' (eraser) or 'V' (pen) is typed at once.
    void SetPenEraserState(bool eraser);

    // Custom function texts (reading thread, in the run step of a packet: they use what
    // its resolve step copied). Forms 0 to 3 for a key or pen button; pressed is the
    // key's state.
    void ParseCustomFunction(const QString &text, bool pressed);
    // Form 4 for a ring step: direction -1 runs the left keys, +1 the right ones.
    void RingCustomFunction(const QString &text, int direction, bool pressed);

    // Services of this engine instead of the process-wide ones (null: process-wide).
    // Set before the first packet.
    void SetServices(InputInjector *input, ForegroundBackend *foreground, ActionSystem *system);

    // Reading thread, for tests and the replay tool.
    bool KeySending() const { return m_bKeySending; }

signals:
    // (tablet index, message id, data) to the main window through the tablet.
    void PostActionMsg(int tabletId, int msgId, QString appPath);
    void PostActionMsg(int tabletId, int msgId, int msgData);

private:
    struct KeyPair {
        uint16_t vk;
        uint16_t sc;
    };

    // One key, pen-button or ring event of a packet as its resolve step found it.
    struct ResolvedEvent {
        enum Kind : uint8_t { Key, PenButton, Ring };
        Kind kind = Key;
        bool pressed = false;
        bool touchArea = false;    // ring 1 works as a touch area
        int16_t index = 0;         // key entry, pen button (0: eraser end) or ring
        int16_t direction = 0;     // ring step: -1 or +1
        int16_t pen = 0;           // pen button: the pen's entry
        int16_t id = 0;            // entry id: a custom function when non-zero (ring: 2)
        int16_t actId = 0;         // built-in action; ring: the selected function
        int16_t group = 0;         // key group of the event's profile after its switches
        uint8_t groupSwitches = 0; // runs of action 110, already made on the profile
        uint8_t groupMessages = 0; // bit n: switch n posts the key group message
        QString custom;            // custom function text
    };

    void SelectProfile(TabletXMLData &profile, const AppConfigMap &apps);
    AppConfigNode *EventProfile(const QString &path) const;
    void BuildKeyLists(const TabletPacket &packet, const TabletXMLData &profile, MultiData &out);
    int FindKeyIndex(const TabletXMLData &profile, int keyNumber) const;

    // Resolve step (profile lock held).
    void ResolveKey(int index, bool pressed);
    void ResolvePenButton(const TabletPacket &packet);
    void ResolveRing(const TabletPacket &packet);
    void SwitchKeyGroups(int count, ResolvedEvent &event);
    ResolvedEvent &AddEvent(ResolvedEvent::Kind kind, bool pressed);
    const QString &InForcePath();

    // Run step (no lock).
    void RunKeyEvent(const ResolvedEvent &event);
    void RunPenButtonEvent(const ResolvedEvent &event);
    void RunRingEvent(const ResolvedEvent &event);
    void DefAction(int actId, bool pressed, int penIndex);
    void RunKeyAction(int actId, bool pressed);
    void RunFunction(int actId, bool pressed, int penIndex);
    void NextKeyGroup();
    void BuiltInRingStep(int ring, int item, int direction);
    bool InkPen(int penIndex) const;

    void KeyEvent(uint16_t vk, uint16_t sc, bool down);
    void KeySequence(const QVector<KeyPair> &keys, bool down);
    void RunKeyText(const QString &keys, bool pressed);
    void MouseAction(int kind, bool pressed, int penIndex);
    void MoveCursorToPen();
    void SendMouse(uint32_t flags, int32_t data = 0);
    void OpenPath(const QString &path);
    void Wait(int ms);

    bool CaptionsEnabled() const;
    void ShowCaption(const QString &text) const;
    QString ActionText(int actId) const;
    QString GroupSuffix() const;
    void PostUsage(const char *record, const QString &custom, int id, const char *idKey, int idValue,
                   const char *stateKey, int stateValue);

    InputInjector *Input() const;
    ForegroundBackend *Foreground() const;
    ActionSystem *System() const;

    const int m_TabletIndex;
    uint64_t m_ProcessedPackets = 0;
    PenPath m_PenPath;

    // Services given to this engine (SetServices); null: the process-wide ones.
    InputInjector *m_pInput = nullptr;
    ForegroundBackend *m_pForeground = nullptr;
    ActionSystem *m_pSystem = nullptr;

    // Read once at construction from the language texts.
    QString m_strPenLabel;
    QString m_strEraserLabel;

    // Resolve step only (profile lock held).
    TabletXMLData *m_pProfile = nullptr;
    const AppConfigMap *m_pApps = nullptr;
    AppConfigNode *m_pCurAppConfig = nullptr;
    const ForegroundWindow *m_Foreground = nullptr; // of m_ForegroundSnapshot
    ForegroundSnapshot m_ForegroundSnapshot;        // reading thread

    // From the resolve step to the run step of one packet (reading thread): copies only.
    bool m_bResolved = false;
    int64_t m_ForegroundPid = 0;
    bool m_bDisableInfo = false;
    bool m_bInForceCopied = false;               // the two below are this packet's (see InForcePath)
    uint8_t m_InkPens = 0;                       // bit n: pen n of the profile in force draws ink (TablePC)
    QString m_strCurAppPath;                     // path of the profile in force (empty: common)
    ResolvedEvent m_Events[kTabletKeyCount + 2]; // releases, presses, pen button, ring
    int m_EventCount = 0;
    QVector<int16_t> m_ReleasedKeys;
    QVector<int16_t> m_PressedKeys;

    // Run step only.
    const TabletPacket *m_pPacket = nullptr;
    const ResolvedEvent *m_pRunEvent = nullptr; // the event being run
    int m_GroupSwitchesRun = 0;                 // of m_pRunEvent's switches

    // Between packets (reading thread). A press's profile by path (empty: common).
    QString m_strKeyEventPath[kTabletKeyCount];
    QString m_strPenEventPath;
    int m_nBrushKeysHeld = 0;       // keys held with action 109
    bool m_bBrushEraser = false;    // action 109 sends 'E' rather than 'B'

    std::atomic<bool> m_bKeySending{false};   // foreground class is "sfl_window_class"
    std::atomic<int> m_PendingPenState{-1};   // from SetPenEraserState: -1 none, 0 pen, 1 eraser
};

class CTablet;

// Gives a tablet its action engine: packets from the tablet run the engine on its reading
// thread, the engine's messages leave as the tablet's PostActionMsg, and the area-marking
// captions reach the caption window. Call before the tablet starts reading.
void AttachActionEngine(CTablet &tablet);
// The tablet's action engine; null when none was attached.
CAction *ActionOf(const CTablet *tablet);
