#pragma once
// The per-tablet action engine. Runs on the tablet's reading thread: for each decoded
// packet it picks the profile of the foreground application, sends pen samples through
// the pen path, runs the key, pen-button and ring actions (built-in actions and custom
// function texts), shows their captions, posts messages and usage records to the main
// window and fills the MultiData record the main window shows.
//
// Profiles: the tablet holds its appsMutex for the whole of ProcessPacket, and nodes
// of the application list are unlinked and freed only under / after that lock (see
// CTablet::apps). So a profile reached during a packet stays alive for that packet.
// The engine keeps no profile pointer from one packet to the next: the profile of a
// key press is remembered by its path and looked up again for the release, so a
// profile deleted in between is never read (the release then uses the common one).
// The GUI thread edits profile fields (custom texts, key groups) under appsMutex too;
// action 110 writes SelectID of the current profile on the reading thread under it.

#include "action/penpath.h"
#include "config/appconfigmap.h"
#include "config/profilerecords.h"
#include "device/packetsink.h"
#include "device/tabletmessageid.h"
#include "device/tabletpacket.h"

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


class CAction : public QObject, public PacketSink
{
    Q_OBJECT

public:
    explicit CAction(int tabletIndex, QObject *parent = nullptr);
    ~CAction() override;

    // Entry for every decoded packet (reading thread, appsMutex held). Selects the
    // foreground application's profile, maps and outputs the pen sample, runs the
    // actions and returns the MultiData record:
    //  - flags; penButtonNo/penButtonDown on a pen button event; ringIndex/ringDelta on
    //    a ring step;
    //  - key event: keyId = entry index (0..39) of the last changed key that a
    //    profile entry names (by Motid), keyDown its state.
    MultiData ProcessPacket(const TabletPacket &packet, const DeviceAttributes &attributes,
                            const TabletXMLData &profile, const AppConfigMap &apps) override;

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

    // Custom function texts (reading thread, during a packet: they use its profile).
    // Forms 0 to 3 for a key or pen button; pressed is the key's state.
    void ParseCustomFunction(const QString &text, bool pressed);
    // Form 4 for a ring step: direction -1 runs the left keys, +1 the right ones.
    void RingCustomFunction(const QString &text, int direction, bool pressed);

    // Services of this engine instead of the process-wide ones (null: process-wide).
    // Set before the first packet.
    void SetServices(InputInjector *input, ForegroundBackend *foreground, ActionSystem *system);

    // Reading thread, for tests and the replay tool.
    bool KeySending() const { return m_bKeySending; }
    const AppConfigNode *CurrentAppConfig() const { return m_pCurAppConfig; }

signals:
    // (tablet index, message id, data) to the main window through the tablet.
    void PostActionMsg(int tabletId, int msgId, QString appPath);
    void PostActionMsg(int tabletId, int msgId, int msgData);

private:
    struct KeyPair {
        uint16_t vk;
        uint16_t sc;
    };

    void SelectProfile(const TabletXMLData &profile, const AppConfigMap &apps);
    const AppConfigNode *EventProfile(const QString &path) const;
    void BuildKeyLists(const TabletPacket &packet, const TabletXMLData &profile, MultiData &out);
    int FindKeyIndex(const TabletXMLData &profile, int keyNumber) const;

    void DoKeyAction(int index, bool pressed);
    void DoPenBtnAction();
    void DoRingAction();
    void DefAction(int actId, bool pressed, int penIndex);
    void RunKeyAction(int actId, bool pressed);
    void RunFunction(int actId, bool pressed, int penIndex);
    void NextKeyGroup();
    void BuiltInRingStep(int ring, int item, int direction);

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
    QString CurrentAppPath() const;
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

    // Per packet (reading thread); valid only during ProcessPacket.
    const TabletXMLData *m_pProfile = nullptr;
    const AppConfigMap *m_pApps = nullptr;
    const AppConfigNode *m_pCurAppConfig = nullptr;
    const AppConfigNode *m_pEventAppConfig = nullptr; // profile of the event being run
    std::shared_ptr<const ForegroundWindow> m_Foreground;
    const TabletPacket *m_pPacket = nullptr;
    QVector<int16_t> m_ReleasedKeys;
    QVector<int16_t> m_PressedKeys;
    bool m_bDisableInfo = false;

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
