// Before any Qt header: the screen table has a member named "slots", which Qt's
// keyword macro would swallow.
#include "mapping/screentable.h"

#include "action/caction.h"

#include "action/actioncaption.h"
#include "action/actionservices.h"
#include "action/actionsystem.h"
#include "base/usagerecord.h"
#include "device/ctablet.h"
#include "driverlink/driverlink.h"
#include "platform/foreground/foregroundbackend.h"
#include "platform/input/inputinjector.h"

#include <QDebug>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <cstring>

namespace {

struct KeyDef {
    uint16_t vk;
    uint16_t sc;
};

// Keys of the built-in actions (virtual key, set-1 scan code; 312 = 0x138 is the
// extended Right Alt).
constexpr KeyDef kB{66, 48}, kE{69, 18}, kLAlt{164, 56}, kSpace{32, 57}, kCtrl{162, 29}, kS{83, 31},
    kZ{90, 44}, kLShift{160, 42}, kV{86, 47}, kL{76, 38}, kO{79, 24}, kN{78, 49}, kF{70, 33}, kD{68, 32},
    kX{88, 45}, kDelete{46, 83}, kC{67, 46}, kNumPlus{107, 78}, kNumMinus{109, 74}, kTab{9, 15},
    kF5{116, 63}, kRBracket{221, 27}, kLBracket{219, 26}, kRAlt{165, 312}, kF13{124, 100}, kF14{125, 101};

struct KeyAction {
    int id;
    int count;
    KeyDef keys[3]; // pressed in this order and released in the same order
};

constexpr KeyAction kKeyActions[] = {
    {1, 1, {kB}},           {2, 1, {kE}},           {3, 1, {kLAlt}},
    {4, 1, {kSpace}},       {5, 2, {kCtrl, kS}},    {6, 2, {kCtrl, kZ}},
    {7, 3, {kCtrl, kLAlt, kZ}}, {8, 3, {kCtrl, kLShift, kZ}}, {9, 1, {kV}},
    {10, 1, {kL}},          {11, 2, {kCtrl, kO}},   {12, 2, {kCtrl, kN}},
    {13, 3, {kCtrl, kLShift, kN}}, {14, 2, {kCtrl, kE}}, {15, 1, {kF}},
    {16, 1, {kD}},          {17, 1, {kX}},          {18, 2, {kCtrl, kDelete}},
    {19, 2, {kCtrl, kC}},   {20, 2, {kCtrl, kV}},   {21, 2, {kCtrl, kNumPlus}},
    {22, 2, {kCtrl, kNumMinus}}, {23, 1, {kTab}},   {24, 1, {kF5}},
    {25, 1, {kRBracket}},   {26, 1, {kLBracket}},
    {201, 1, {kLShift}},    {202, 1, {kLAlt}},      {203, 1, {kRAlt}},
    {204, 1, {kCtrl}},      {205, 1, {kSpace}},
};

const KeyAction *FindKeyAction(int id)
{
    for (const KeyAction &a : kKeyActions) {
        if (a.id == id)
            return &a;
    }
    return nullptr;
}

// English names of the actions, shown when the language file has none.
QString ActionFallback(int id)
{
    static const struct {
        int id;
        const char *text;
    } kNames[] = {
        {1, "B"}, {2, "E"}, {3, "Alt"}, {4, "Space"}, {5, "Ctrl+S"}, {6, "Ctrl+Z"}, {7, "Ctrl+Alt+Z"},
        {8, "Ctrl+Shift+Z"}, {9, "V"}, {10, "L"}, {11, "Ctrl+O"}, {12, "Ctrl+N"}, {13, "Ctrl+Shift+N"},
        {14, "Ctrl+E"}, {15, "F"}, {16, "D"}, {17, "X"}, {18, "Ctrl+Delete"}, {19, "Ctrl+C"},
        {20, "Ctrl+V"}, {21, "Ctrl++"}, {22, "Ctrl+-"}, {23, "Tab"}, {24, "F5"}, {25, "]"}, {26, "["},
        {27, "Eraser"}, {101, "Open Settings"}, {102, "Switch Monitor"}, {103, "Pen/Eraser"},
        {104, "Fine Mode"}, {105, "Switch Ring1 Func"}, {106, "Switch Ring2 Func"},
        {107, "Switch TrackPad Mode"}, {108, "NoAction"}, {109, "[B]/[E]"}, {110, "Switch Key Group"},
        {111, "Key Preview"}, {201, "Shift"}, {202, "Left Alt"}, {203, "Right Alt"}, {204, "Ctrl"},
        {205, "Space"}, {206, "Mouse Left Click"}, {207, "Mouse Right Click"},
        {208, "Mouse Middle Click"}, {209, "Mouse Double Left Click"}, {210, "Mouse Scroll up"},
        {211, "Mouse Scroll down"},
    };
    for (const auto &n : kNames) {
        if (n.id == id)
            return QString::fromLatin1(n.text);
    }
    return QStringLiteral("NoAction");
}

// Stored texts are 8-bit and NUL-terminated within their array.
QString StoredText(const char *text, size_t size)
{
    return QString::fromUtf8(text, int(strnlen(text, size)));
}

int ClampIndex(int value, int count)
{
    return (value >= 0 && value < count) ? value : 0;
}

const char kGroupSuffixes[] = "-I,-II,-III,-IV";

} // namespace

CAction::CAction(int tabletIndex, QObject *parent)
    : QObject(parent)
    , m_TabletIndex(tabletIndex)
    , m_PenPath(DriverLink::Input())
    , m_strPenLabel(ActionServices::Text(QStringLiteral("Pen.LabelPen"), QStringLiteral("Pen")))
    , m_strEraserLabel(ActionServices::Text(QStringLiteral("Pen.LabelErase"), QStringLiteral("Eraser")))
{
    m_ReleasedKeys.reserve(kTabletKeyCount);
    m_PressedKeys.reserve(kTabletKeyCount);
}

CAction::~CAction() = default;

void CAction::SetServices(InputInjector *input, ForegroundBackend *foreground, ActionSystem *system)
{
    m_pInput = input;
    m_pForeground = foreground;
    m_pSystem = system;
}

InputInjector *CAction::Input() const
{
    return m_pInput ? m_pInput : DriverLink::Input();
}

[[gnu::hot]] ForegroundBackend *CAction::Foreground() const
{
    return m_pForeground ? m_pForeground : ActionServices::Foreground();
}

ActionSystem *CAction::System() const
{
    return m_pSystem ? m_pSystem : ActionServices::System();
}

// --- profile selection -------------------------------------------------------------

// Resolve step: the common profile or the foreground application's, writable through
// m_pCurAppConfig while the profile lock is held (action 110).
[[gnu::hot]] void CAction::SelectProfile(TabletXMLData &profile, const AppConfigMap &apps)
{
    m_pCurAppConfig = &profile.CommonAPP;
    m_Foreground = m_ForegroundSnapshot.read(Foreground());
    if (!m_Foreground) {
        m_bKeySending = false;
        return;
    }
    m_bKeySending = m_Foreground->windowClass == QLatin1String("sfl_window_class");
    if (m_Foreground->path.isEmpty())
        return;
    // Exact and case-sensitive, as the application chooser stored it.
    const auto it = apps.find(m_Foreground->path);
    if (it != apps.end() && it->second)
        m_pCurAppConfig = it->second;
}

// The profile of a press, for its release: looked up again by path, so a profile that
// was deleted meanwhile is never read.
AppConfigNode *CAction::EventProfile(const QString &path) const
{
    if (path.isEmpty() || !m_pApps)
        return &m_pProfile->CommonAPP;
    const auto it = m_pApps->find(path);
    return (it != m_pApps->end() && it->second) ? it->second : &m_pProfile->CommonAPP;
}

// --- packet entry ------------------------------------------------------------------

[[gnu::hot]] void CAction::ResolvePacket(const TabletPacket &packet, const DeviceAttributes &attributes,
                                         TabletXMLData &profile, const AppConfigMap &apps, MultiData &out)
{
    ++m_ProcessedPackets;
    std::memset(&out, 0, sizeof out);
    m_bResolved = false;
    m_EventCount = 0;

    const int pending = m_PendingPenState.exchange(-1);
    if (pending >= 0) {
        m_PenPath.SetPenEraserToggle(pending == 1);
        m_PenPath.SetReentry();
    }

    m_pProfile = &profile;
    m_pApps = &apps;
    SelectProfile(profile, apps);
    if (!m_pCurAppConfig) {
        qWarning() << "m_pCurAppConfig is nullptr";
        m_pProfile = nullptr;
        m_pApps = nullptr;
        m_Foreground = nullptr;
        return;
    }
    m_bResolved = true;
    m_bDisableInfo = profile.DisableInfo != 0;
    m_ForegroundPid = m_Foreground ? m_Foreground->pid : 0;
    m_Foreground = nullptr;

    out.flags = packet.flags;
    if (packet.flags & PacketPen)
        m_PenPath.MapPen(packet, attributes, profile, m_pCurAppConfig, out);
    if (packet.flags & PacketPenButton) {
        out.penButtonNo = packet.penButtonNo;
        out.penButtonDown = packet.penButtonDown;
    }
    m_ReleasedKeys.clear();
    m_PressedKeys.clear();
    if (packet.flags & PacketKeys)
        BuildKeyLists(packet, profile, out);
    if (packet.flags & PacketRing) {
        out.ringIndex = packet.ringIndex;
        out.ringDelta = packet.ringDelta;
    }

    m_bInForceCopied = false;
    // In the order they run: a key let go and another pressed in one report must not
    // leave a combination of both held, so releases come first.
    if (packet.flags & PacketPenButton)
        ResolvePenButton(packet);
    if (!profile.DisableQuickKey) {
        for (int16_t index : m_ReleasedKeys)
            ResolveKey(index, false);
        for (int16_t index : m_PressedKeys)
            ResolveKey(index, true);
        if (packet.flags & PacketRing)
            ResolveRing(packet);
    }

    m_pProfile = nullptr;
    m_pApps = nullptr;
    m_pCurAppConfig = nullptr;
}

[[gnu::hot]] void CAction::RunPacket(const TabletPacket &packet, const MultiData &out)
{
    if (!m_bResolved)
        return;
    m_bResolved = false;
    m_pPacket = &packet;
    if (packet.flags & PacketPen)
        m_PenPath.PenOutput(packet, m_ForegroundPid, out);
    for (int i = 0; i < m_EventCount; ++i) {
        const ResolvedEvent &event = m_Events[i];
        m_pRunEvent = &event;
        m_GroupSwitchesRun = 0;
        switch (event.kind) {
        case ResolvedEvent::Key: RunKeyEvent(event); break;
        case ResolvedEvent::PenButton: RunPenButtonEvent(event); break;
        case ResolvedEvent::Ring: RunRingEvent(event); break;
        }
    }
    m_pRunEvent = nullptr;
    m_pPacket = nullptr;
    m_EventCount = 0;
}

// The entry index (0..39) of key number keyNumber (1..40) in the common profile's
// current key set; -1 when no entry names it.
int CAction::FindKeyIndex(const TabletXMLData &profile, int keyNumber) const
{
    const AppConfigNode &common = profile.CommonAPP;
    const KeyConfig *keys = common.keys;
    if (profile.SupportGroupKeys)
        keys = common.groups[ClampIndex(common.SelectID, kProfileKeyGroups)].keys;
    for (int i = 0; i < kProfileKeys; ++i) {
        if (keys[i].Motid == keyNumber)
            return i;
    }
    return -1;
}

void CAction::BuildKeyLists(const TabletPacket &packet, const TabletXMLData &profile, MultiData &out)
{
    for (int k = 1; k <= kTabletKeyCount; ++k) {
        const uint8_t now = packet.keys[k - 1];
        if (now == packet.prevKeys[k - 1])
            continue;
        const int index = FindKeyIndex(profile, k);
        if (now) {
            qDebug() << "KeyDown:" << k;
            qDebug() << "id down:" << index;
            if (index >= 0)
                m_PressedKeys.append(int16_t(index));
        } else {
            qDebug() << "KeyUp:" << k;
            qDebug() << "id Up:" << index;
            if (index >= 0)
                m_ReleasedKeys.append(int16_t(index));
        }
        if (index >= 0) {
            out.keyId = uint16_t(index);
            out.keyDown = now ? 1 : 0;
        }
    }
}

// --- resolve step: what the events need, copied under the profile lock ------------

// What the events' actions read of the profile in force, copied once per packet and only
// for a packet with an event: pen samples allocate nothing.
const QString &CAction::InForcePath()
{
    if (!m_bInForceCopied) {
        m_bInForceCopied = true;
        m_strCurAppPath = StoredText(m_pCurAppConfig->path, sizeof m_pCurAppConfig->path);
        m_InkPens = 0;
        for (int pen = 0; pen < kProfilePens; ++pen) {
            if (m_pCurAppConfig->pens[pen].TablePC)
                m_InkPens = uint8_t(m_InkPens | (1u << pen));
        }
    }
    return m_strCurAppPath;
}

CAction::ResolvedEvent &CAction::AddEvent(ResolvedEvent::Kind kind, bool pressed)
{
    InForcePath();
    ResolvedEvent &event = m_Events[m_EventCount++];
    event.kind = kind;
    event.pressed = pressed;
    event.touchArea = false;
    event.index = event.direction = event.pen = event.id = event.actId = event.group = 0;
    event.groupSwitches = event.groupMessages = 0;
    return event;
}

namespace {

// How often a custom function text runs action 110 (the key group switch): form 3 with
// function 10, or form 0 with an item that comes to 110, each on the press only, as
// ParseCustomFunction and the dispatcher run them.
int CustomGroupSwitches(const QString &text, bool pressed)
{
    // Only forms 0 and 3 can; the others are not split here (that allocates).
    if (!pressed || text.size() < 2 || text.at(1) != QLatin1Char('|')
        || (text.at(0) != QLatin1Char('0') && text.at(0) != QLatin1Char('3')))
        return 0;
    const QStringList fields = text.split(QLatin1Char('|'));
    if (fields.size() != 3 || fields.at(2).isEmpty())
        return 0;
    const QString &form = fields.at(0);
    if (form == QLatin1String("3"))
        return 100 + fields.at(2).toInt() == 110 ? 1 : 0;
    if (form != QLatin1String("0"))
        return 0;
    int count = 0;
    for (const QString &item : fields.at(2).split(QLatin1Char('+'))) {
        if (200 + item.toInt() == 110)
            ++count;
    }
    return count;
}

} // namespace

// Action 110 on the profile in force, made here because it writes SelectID; the run
// step only posts the message each switch posts.
void CAction::SwitchKeyGroups(int count, ResolvedEvent &event)
{
    AppConfigNode *app = m_pCurAppConfig;
    for (int n = 0; n < count && n < 8; ++n) { // eight at most: one message bit each
        ++event.groupSwitches;
        const int current = ClampIndex(app->SelectID, kProfileKeyGroups);
        bool post = current == 0;
        for (int step = 1; step < kProfileKeyGroups; ++step) {
            const int next = (current + step) % kProfileKeyGroups;
            if (app->groups[next].enabled) {
                app->SelectID = int16_t(next);
                post = true;
                break;
            }
        }
        if (post)
            event.groupMessages = uint8_t(event.groupMessages | (1u << n));
    }
}

void CAction::ResolveKey(int index, bool pressed)
{
    if (index < 0 || index >= kProfileKeys)
        return;
    if (pressed)
        m_strKeyEventPath[index] = InForcePath();
    // A release runs through the profile of its press, even when another application
    // came to the foreground meanwhile, so what the press held is let go.
    AppConfigNode *app = pressed ? m_pCurAppConfig : EventProfile(m_strKeyEventPath[index]);

    const KeyConfig *entry = nullptr;
    if (m_pProfile->SupportGroupKeys) {
        const KeyGroupConfig &group = app->groups[ClampIndex(app->SelectID, kProfileKeyGroups)];
        if (!group.enabled)
            return;
        entry = &group.keys[index];
    } else {
        entry = &app->keys[index];
    }
    ResolvedEvent &event = AddEvent(ResolvedEvent::Key, pressed);
    event.index = int16_t(index);
    event.id = entry->id;
    event.actId = entry->Actid;
    event.custom = StoredText(entry->custom, sizeof entry->custom);
    SwitchKeyGroups(entry->id != 0 ? CustomGroupSwitches(event.custom, pressed) : (pressed && entry->Actid == 110),
                    event);
    event.group = int16_t(ClampIndex(app->SelectID, kProfileKeyGroups));
}

[[gnu::hot]] void CAction::ResolvePenButton(const TabletPacket &packet)
{
    const int number = packet.penButtonNo;
    const bool pressed = packet.penButtonDown != 0;
    if (!(number >= 2 || (number == 1 && m_PenPath.EraserEnd())))
        return;
    const int button = number - 1; // entry 0 is the eraser end's
    if (button >= kProfilePenButtons)
        return;
    if (pressed)
        m_strPenEventPath = InForcePath();
    AppConfigNode *app = pressed ? m_pCurAppConfig : EventProfile(m_strPenEventPath);
    const int pen = ClampIndex(packet.penId, kProfilePens);
    const PenButtonConfig &entry = app->pens[pen].buttons[button];

    ResolvedEvent &event = AddEvent(ResolvedEvent::PenButton, pressed);
    event.index = int16_t(button);
    event.pen = int16_t(pen);
    event.id = entry.id;
    event.actId = entry.Actid;
    event.custom = StoredText(entry.custom, sizeof entry.custom);
    SwitchKeyGroups(entry.id != 0 ? CustomGroupSwitches(event.custom, pressed) : (pressed && entry.Actid == 110),
                    event);
    event.group = int16_t(ClampIndex(app->SelectID, kProfileKeyGroups));
}

void CAction::ResolveRing(const TabletPacket &packet)
{
    const int ring = packet.ringIndex;
    const int direction = packet.ringDelta;
    if ((ring != 0 && ring != 1) || (direction != 1 && direction != -1))
        return;
    const RingConfig &config = ring == 0 ? m_pCurAppConfig->ring : m_pCurAppConfig->ring2;
    const int selected = ClampIndex(config.id, kProfileRingItems);
    const RingItemConfig &item = config.items[selected];

    ResolvedEvent &event = AddEvent(ResolvedEvent::Ring, true);
    event.index = int16_t(ring);
    event.direction = int16_t(direction);
    event.id = item.id;
    event.actId = int16_t(selected);
    event.touchArea = ring == 1 && m_pCurAppConfig->TRMode != 0;
    event.custom = StoredText(item.custom, sizeof item.custom);
    event.group = int16_t(ClampIndex(m_pCurAppConfig->SelectID, kProfileKeyGroups));
}

// --- run step: key, pen button and ring actions from the copies ---------------------

void CAction::RunKeyEvent(const ResolvedEvent &event)
{
    const int index = event.index;
    const bool pressed = event.pressed;
    if (event.id != 0) {
        qInfo() << "DoKeyAction CustomFun";
        ParseCustomFunction(event.custom, pressed);
    } else {
        qInfo() << "KeyID:" << index << "DefAction:" << event.actId << "KeyState:" << pressed;
        const int actId = event.actId;
        DefAction(actId, pressed, m_pPacket->penId);
        if (pressed && CaptionsEnabled() && actId != 103 && actId != 105 && actId != 106) {
            QString text = ActionText(actId);
            if (actId == 110)
                text += GroupSuffix();
            ShowCaption(text);
        }
    }
    PostUsage("DoKeyAction", event.custom, event.id, "KeyID", index, "TabletKeyState", pressed ? 1 : 0);
}

void CAction::RunPenButtonEvent(const ResolvedEvent &event)
{
    const int button = event.index;
    const bool pressed = event.pressed;
    if (event.id != 0) {
        qInfo() << "DoPenBtnAction CustomFun";
        ParseCustomFunction(event.custom, pressed);
    } else {
        DefAction(event.actId, pressed, event.pen);
        if (pressed && CaptionsEnabled() && event.actId != 103)
            ShowCaption(
                ActionServices::Text(QStringLiteral("Pen.Btn%1.Item.1").arg(button), ActionFallback(event.actId)));
    }
    PostUsage("DoPenBtnAction", event.custom, event.id, "PenID", button, "PenKeyState", pressed ? 1 : 0);
}

void CAction::RunRingEvent(const ResolvedEvent &event)
{
    const int ring = event.index;
    const int direction = event.direction;
    const int selected = event.actId;
    if (event.id == 2) {
        qInfo() << "DoRingAction CustomFun";
        RingCustomFunction(event.custom, direction, true);
        RingCustomFunction(event.custom, direction, false);
    } else if (event.id == 0) {
        BuiltInRingStep(ring, selected, direction);
        if (CaptionsEnabled() && !event.touchArea) {
            const int number = ring == 0 ? selected + 1 : 4 - selected;
            ShowCaption(ActionServices::Text(QStringLiteral("TR.Item.%1").arg(number),
                                             QStringLiteral("Ring function %1").arg(number)));
        }
    }
    PostUsage("DoRingAction", event.custom, event.id, "RingID", ring, "RingDirection", direction);
}

bool CAction::InkPen(int penIndex) const
{
    return (m_InkPens >> ClampIndex(penIndex, kProfilePens)) & 1u;
}

void CAction::BuiltInRingStep(int ring, int item, int direction)
{
    const bool up = direction > 0;
    // Alt + F13 / F14: the second key press is what applications bound to it see.
    const auto altF = [this](const KeyDef &key) {
        KeyEvent(kLAlt.vk, kLAlt.sc, true);
        KeyEvent(key.vk, key.sc, true);
        KeyEvent(key.vk, key.sc, false);
        KeyEvent(key.vk, key.sc, true);
        Wait(1);
        KeyEvent(kLAlt.vk, kLAlt.sc, false);
        KeyEvent(key.vk, key.sc, false);
    };
    const auto action = [this](int actId) {
        DefAction(actId, true, 0);
        Wait(5);
        DefAction(actId, false, 0);
    };
    if (ring == 0) {
        switch (item) {
        case 0: {
            const KeyDef &key = up ? kNumPlus : kNumMinus;
            KeyEvent(kCtrl.vk, kCtrl.sc, true);
            KeyEvent(key.vk, key.sc, true);
            Wait(5);
            KeyEvent(kCtrl.vk, kCtrl.sc, false);
            KeyEvent(key.vk, key.sc, false);
            break;
        }
        case 1: SendMouse(MouseWheel, up ? 120 : -120); break;
        case 2: action(up ? 25 : 26); break;
        case 3:
            altF(up ? kF13 : kF14);
            Wait(40);
            break;
        default: break;
        }
    } else {
        switch (item) {
        case 0: altF(up ? kF13 : kF14); break;
        case 1: action(up ? 25 : 26); break;
        case 2: action(up ? 210 : 211); break;
        case 3: action(up ? 21 : 22); break;
        default: break;
        }
    }
}

// --- built-in dispatcher -----------------------------------------------------------

void CAction::DefAction(int actId, bool pressed, int penIndex)
{
    if ((actId >= 1 && actId <= 26) || (actId >= 201 && actId <= 205))
        RunKeyAction(actId, pressed);
    else if (actId >= 206 && actId <= 211)
        MouseAction(actId - 205, pressed, penIndex);
    else if (actId >= 101 && actId <= 111)
        RunFunction(actId, pressed, penIndex);
    // 0, 27, 108 and anything else: nothing.
}

void CAction::RunKeyAction(int actId, bool pressed)
{
    const KeyAction *action = FindKeyAction(actId);
    if (!action)
        return;
    for (int i = 0; i < action->count; ++i)
        KeyEvent(action->keys[i].vk, action->keys[i].sc, pressed);
}

void CAction::RunFunction(int actId, bool pressed, int penIndex)
{
    Q_UNUSED(penIndex);
    if (actId == 109) {
        // Brush / eraser key: the letter is held while the key is; when the last key
        // held with this action goes up, the next use sends the other letter.
        const KeyDef &key = m_bBrushEraser ? kE : kB;
        KeyEvent(key.vk, key.sc, pressed);
        ShowCaption(m_bBrushEraser ? QStringLiteral("[E]") : QStringLiteral("[B]"));
        if (pressed) {
            ++m_nBrushKeysHeld;
        } else if (m_nBrushKeysHeld > 0 && --m_nBrushKeysHeld == 0) {
            m_bBrushEraser = !m_bBrushEraser;
        }
        return;
    }
    if (!pressed)
        return;
    switch (actId) {
    case 101:
        qInfo() << "ShowDriver No Implement";
        emit PostActionMsg(m_TabletIndex, kMsgShowDriver, 1);
        break;
    case 102:
        emit PostActionMsg(m_TabletIndex, kMsgSwitchScreen, 0);
        break;
    case 103: {
        const bool eraser = !m_PenPath.PenEraserToggle();
        m_PenPath.SetPenEraserToggle(eraser);
        m_PenPath.SetReentry();
        emit PostActionMsg(m_TabletIndex, kMsgPenEraser, eraser ? 1 : 0);
        ShowCaption(eraser ? m_strEraserLabel : m_strPenLabel);
        if (m_bKeySending) {
            const KeyDef &key = eraser ? kE : kV;
            KeyEvent(key.vk, key.sc, true);
            KeyEvent(key.vk, key.sc, false);
        }
        break;
    }
    case 104:
        if (m_pPacket && InkPen(m_pPacket->penId) && m_PenPath.PenInRange())
            MoveCursorToPen();
        emit PostActionMsg(m_TabletIndex, kMsgFineMode, 0);
        break;
    case 105:
    case 106:
        qInfo() << "ChangeKLRFunctions No Implement";
        emit PostActionMsg(m_TabletIndex, actId == 105 ? kMsgRing1Function : kMsgRing2Function, m_strCurAppPath);
        break;
    case 107:
        emit PostActionMsg(m_TabletIndex, kMsgTrackPad, 0);
        break;
    case 110:
        NextKeyGroup();
        break;
    case 111: emit PostActionMsg(m_TabletIndex, kMsgKeyPreview, m_strCurAppPath); break;
    default:
        break;
    }
}

void CAction::NextKeyGroup()
{
    // The switch itself was made on the profile in the resolve step, under the tablet's
    // lock (it writes SelectID); here only its message goes out, in its place among the
    // event's actions.
    if (!m_pRunEvent || m_GroupSwitchesRun >= m_pRunEvent->groupSwitches)
        return;
    const bool post = (m_pRunEvent->groupMessages >> m_GroupSwitchesRun) & 1u;
    ++m_GroupSwitchesRun;
    if (post)
        emit PostActionMsg(m_TabletIndex, kMsgKeyGroup, m_strCurAppPath);
}

// --- custom functions --------------------------------------------------------------

void CAction::ParseCustomFunction(const QString &text, bool pressed)
{
    const QStringList fields = text.split(QLatin1Char('|'));
    const QString form = fields.value(0);
    const QString name = fields.value(1);
    qInfo() << "ParseCustomFunction nfId " << form;
    qInfo() << "sFName" << name;
    qInfo() << "sFData" << fields.value(fields.size() - 1);

    if (fields.size() == 3) {
        const QString data = fields.at(2);
        if (data.isEmpty())
            return;
        if (form == QLatin1String("0")) {
            const QStringList items = data.split(QLatin1Char('+'));
            if (pressed) {
                for (const QString &item : items)
                    DefAction(200 + item.toInt(), true, m_pPacket ? m_pPacket->penId : 0);
            } else {
                for (int i = items.size() - 1; i >= 0; --i) {
                    DefAction(200 + items.at(i).toInt(), false, m_pPacket ? m_pPacket->penId : 0);
                    Wait(10);
                }
            }
        } else if (form == QLatin1String("2")) {
            if (pressed)
                OpenPath(data);
        } else if (form == QLatin1String("3")) {
            const int n = data.toInt();
            DefAction(100 + n, pressed, m_pPacket ? m_pPacket->penId : 0);
            if (n == 3 || n == 4 || n == 5 || n == 6 || n == 8 || n == 9)
                return;
            if (n == 10) {
                // The new group's name, on press and release and even with captions off:
                // the user has no other way to tell which group is in force.
                ActionCaption::MyLrc()->EmitAction(name + GroupSuffix());
                return;
            }
        } else {
            return;
        }
    } else if (fields.size() == 4 && form == QLatin1String("1")) {
        RunKeyText(fields.at(3), pressed);
    } else {
        return;
    }
    if (pressed && CaptionsEnabled())
        ShowCaption(name);
}

void CAction::RingCustomFunction(const QString &text, int direction, bool pressed)
{
    const QStringList fields = text.split(QLatin1Char('|'));
    if (fields.size() != 6 || fields.at(0) != QLatin1String("4"))
        return;
    if (direction == -1)
        RunKeyText(fields.at(4), pressed);
    else if (direction == 1)
        RunKeyText(fields.at(5), pressed);
}

// Keys of form 1 and 4: combinations separated by ",", pairs "VK:SC" joined by "+".
void CAction::RunKeyText(const QString &keys, bool pressed)
{
    const QStringList combinations = keys.split(QLatin1Char(','));
    const auto pairsOf = [](const QString &combination) {
        QVector<KeyPair> pairs;
        for (const QString &pair : combination.split(QLatin1Char('+'))) {
            const QStringList parts = pair.split(QLatin1Char(':'));
            if (parts.size() != 2)
                continue;
            bool vkOk = false, scOk = false;
            const uint vk = parts.at(0).toUInt(&vkOk);
            const uint sc = parts.at(1).toUInt(&scOk);
            if (!vkOk || !scOk || vk > 0xFFFF || sc > 0xFFFF)
                continue;
            pairs.append({uint16_t(vk), uint16_t(sc)});
        }
        return pairs;
    };
    if (combinations.size() == 1) {
        KeySequence(pairsOf(combinations.at(0)), pressed);
        return;
    }
    // A sequence of combinations is typed whole on the press; a release has nothing
    // left to let go.
    if (!pressed)
        return;
    for (const QString &combination : combinations) {
        const QVector<KeyPair> pairs = pairsOf(combination);
        KeySequence(pairs, true);
        KeySequence(pairs, false);
    }
}

void CAction::OpenPath(const QString &path)
{
    ActionSystem *system = System();
    if (!system)
        return;
    // ".exe" is case-sensitive: "app.EXE" is opened like any file. On Linux a program
    // is an executable regular file.
    const QFileInfo info(path);
    if (path.contains(QLatin1String(".exe")) || (info.isFile() && info.isExecutable())) {
        if (!system->StartProgram(path))
            qWarning() << "ParseCustomFunction: cannot start" << path;
        return;
    }
    // An absolute Linux path becomes file:///home/..., not file:////home/...
    const QUrl url = path.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(path)
                                                        : QUrl(QStringLiteral("file:///") + path);
    if (!system->OpenUrl(url))
        qWarning() << "ParseCustomFunction: cannot open" << url;
}

// --- injection -----------------------------------------------------------------------

void CAction::KeyEvent(uint16_t vk, uint16_t sc, bool down)
{
    InputInjector *input = Input();
    if (!input)
        return;
    KeyInput key;
    key.vk = vk;
    key.scan = uint16_t(sc & 0xFF);
    key.flags = (sc >= 256 ? KeyExtended : 0u) | (down ? 0u : KeyUp);
    if (input->sendKeys(&key, 1) != 1)
        qDebug() << "KeyEvent: not injected" << vk << sc << down;
}

void CAction::KeySequence(const QVector<KeyPair> &keys, bool down)
{
    for (const KeyPair &key : keys)
        KeyEvent(key.vk, key.sc, down);
}

void CAction::SendMouse(uint32_t flags, int32_t data)
{
    InputInjector *input = Input();
    if (!input)
        return;
    MouseInput event;
    event.flags = flags;
    event.data = data;
    input->sendMouse(&event, 1);
}

void CAction::MoveCursorToPen()
{
    InputInjector *input = Input();
    const ScreenRect &desktop = ScreenTable::Current().Slot(0);
    if (!input || desktop.width <= 0 || desktop.height <= 0)
        return;
    MouseInput event;
    event.flags = MouseMove | MouseAbsolute;
    event.x = int32_t(int64_t(m_PenPath.LastScreenX() - desktop.left) * 65535 / desktop.width);
    event.y = int32_t(int64_t(m_PenPath.LastScreenY() - desktop.top) * 65535 / desktop.height);
    input->sendMouse(&event, 1);
}

// kind: 1 left, 2 right, 3 middle, 4 double left, 5 scroll up, 6 scroll down.
void CAction::MouseAction(int kind, bool pressed, int penIndex)
{
    const bool ink = InkPen(penIndex);
    if (pressed && ink && m_pPacket && (m_pPacket->flags & PacketPen) && m_PenPath.PenInRange())
        MoveCursorToPen();
    const bool swapped = m_PenPath.MouseButtonsSwapped();
    const uint32_t leftDown = swapped ? MouseRightDown : MouseLeftDown;
    const uint32_t leftUp = swapped ? MouseRightUp : MouseLeftUp;
    switch (kind) {
    case 1:
        SendMouse(pressed ? leftDown : leftUp);
        break;
    case 2:
        if (ink) {
            // With ink the pen report carries the right click (barrel button).
            if (pressed)
                m_PenPath.PressRightClick();
            else
                m_PenPath.ReleaseRightClick();
            if (m_PenPath.PenInRange())
                break;
        }
        SendMouse(pressed ? (swapped ? MouseLeftDown : MouseRightDown) : (swapped ? MouseLeftUp : MouseRightUp));
        break;
    case 3:
        SendMouse(pressed ? MouseMiddleDown : MouseMiddleUp);
        break;
    case 4:
        if (pressed) {
            InputInjector *input = Input();
            if (!input)
                break;
            MouseInput click[2];
            click[0].flags = leftDown;
            click[1].flags = leftUp;
            input->sendMouse(click, 2);
            Wait(5);
            input->sendMouse(click, 2);
        }
        break;
    case 5:
    case 6:
        if (!pressed)
            SendMouse(MouseWheel, kind == 5 ? 120 : -120);
        break;
    default:
        break;
    }
}

void CAction::Wait(int ms)
{
    if (ActionSystem *system = System())
        system->Wait(ms);
}

// --- captions, texts and records ---------------------------------------------------

bool CAction::CaptionsEnabled() const
{
    return !m_bDisableInfo;
}

void CAction::ShowCaption(const QString &text) const
{
    if (CaptionsEnabled())
        ActionCaption::MyLrc()->EmitAction(text);
}

QString CAction::ActionText(int actId) const
{
    return ActionServices::Text(QStringLiteral("Actions.%1").arg(actId), ActionFallback(actId));
}

QString CAction::GroupSuffix() const
{
    // The group of the event's profile as its resolve step left it.
    if (!m_pRunEvent)
        return QString();
    const QStringList suffixes = QString::fromLatin1(kGroupSuffixes).split(QLatin1Char(','));
    return suffixes.value(m_pRunEvent->group);
}

void CAction::PostUsage(const char *record, const QString &custom, int id, const char *idKey, int idValue,
                        const char *stateKey, int stateValue)
{
    const QString text = UsageRecordText(QString::fromLatin1(record),
                                         UsagePairs{{QStringLiteral("custom"), custom},
                                                    {QStringLiteral("id"), QString::number(id)},
                                                    {QStringLiteral("curapp"), m_strCurAppPath},
                                                    {QString::fromLatin1(idKey), QString::number(idValue)},
                                                    {QString::fromLatin1(stateKey), QString::number(stateValue)}});
    emit PostActionMsg(m_TabletIndex, kMsgUsageRecord, text);
}

// --- from the main window ----------------------------------------------------------

void CAction::SetPenEraserState(bool eraser)
{
    m_PendingPenState = eraser ? 1 : 0;
    if (m_bKeySending) {
        const KeyDef &key = eraser ? kE : kV;
        KeyEvent(key.vk, key.sc, true);
        KeyEvent(key.vk, key.sc, false);
    }
}

void AttachActionEngine(CTablet &tablet)
{
    auto engine = std::make_unique<CAction>(tablet.tabletIndex);
    // The engine runs on the reading thread and its messages pass straight through.
    QObject::connect(engine.get(), qOverload<int, int, int>(&CAction::PostActionMsg), &tablet,
                     qOverload<int, int, int>(&CTablet::ReceivActionMsg), Qt::DirectConnection);
    QObject::connect(engine.get(), qOverload<int, int, QString>(&CAction::PostActionMsg), &tablet,
                     qOverload<int, int, QString>(&CTablet::ReceivActionMsg), Qt::DirectConnection);
    QObject::connect(
        &tablet, &CTablet::ShowCaption, engine.get(),
        [](const QString &key, const QString &fallback) { ActionCaption::MyLrc()->ShowLanguageCaption(key, fallback); },
        Qt::DirectConnection);
    tablet.SetPacketSink(std::move(engine));
}

CAction *ActionOf(const CTablet *tablet)
{
    return tablet ? dynamic_cast<CAction *>(tablet->packetSink()) : nullptr;
}
