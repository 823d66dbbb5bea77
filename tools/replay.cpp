#include "tools/replay.h"

#include "base/language.h"
#include "base/paths.h"
#include "config/modeltables.h"
#include "config/profiletext.h"
#include "device/ctablet.h"
#include "device/usbidentity.h"
#include "sim/simbletablet.h"
#include "sim/simhidbackend.h"
#include "sim/simselection.h"
#include "tools/hidrecording.h"
#include "tools/jsonline.h"
#include "tools/wintab.h"

#include "action/actioncaption.h"
#include "action/actionservices.h"
#include "action/actionsystem.h"
#include "action/caction.h"
#include "action/penpath.h"
#include "app/mappingmodel.h"
#include "driverlink/cwintabmap.h"
#include "driverlink/driverlink.h"
#include "mapping/pressurecurve.h"
#include "mapping/screentable.h"
#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/input/recordinginputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/locale/linux/systemlocalebackend.h"
#include "platform/vhid/recordingvhid.h"
#include "platform/vhid/vhidreport.h"

#include <QFile>
#include <QSettings>
#include <QtEndian>
#include <QVector>

#include <cstring>

const char kReplayHelp[] = R"(usage: inkora-hidtool replay FILE [--pid 0xNNNN] [--max-x N --max-y N
                            --max-pressure N --resolution N] [--profile PATH]
                            [--screens "x,y,w,h;..."] [--orientation 0..3]
                            [--foreground-pid N] [--wintab-context INDEX[:OPTIONS],...]
                            [--foreground PATH] [--foreground-class NAME]

Feeds the reports of a recording through a tablet object as the reading thread does
and prints one JSON object per line. FILE is hid-recorder text:
  E: <sec.usec> <len> <hex bytes>   one report, report id first (at most 64 bytes)
  I: <bus> <vid> <pid>              identity in hex (optional; --pid wins)
  N: P: R: D:                       recorder header lines (ignored)
  # ...                             comment
The device description comes from the simulated tablet of that product id (USB or
Bluetooth; another id exits 2); the --max-* and --resolution options override its
geometry. --profile loads the model's profile from a profile file, as the tablet
does when it opens, after the screens are known, so a profile without a screen area
takes the screen of its screen index (exit 2 when it does not load). Captions are
the texts of the user's language file, as the program shows them. Without a profile the whole tablet maps onto the whole desktop
with the linear pressure curve and ink on.
--screens: the screens in desktop pixels (default one of 1920 x 1080 at 0,0); they
become the screen table as a display enumeration makes it. --orientation overrides
the profile's rotation. --foreground-pid: the process of the foreground window.
--foreground: the executable of the foreground window's process (it selects the
application profile of that path); --foreground-class: that window's class.
--wintab-context: the Wintab side has opened these contexts (index 0..49, options as
a number, default 0x1 system cursor) for the foreground process; context INDEX
notifies window 0x1000 + INDEX.

Output events (every object starts with "event"; "line" is the recording line,
0 for log lines of the set-up before the first report):
  {"event":"packet","line":N,"time":S,"tabletIndex":..,"productId":..,"flags":..,
   "x":..,"y":..,"pressure":..,"tiltX":..,"tiltY":..,"status":..,"penButtonNo":..,
   "penButtonDown":..,"penId":..,"keys":[40 x 0/1],"prevKeys":[40 x 0/1],
   "ringIndex":..,"ringDelta":..}
      a report that decoded into a packet (flags: 1 pen, 2 keys, 4 ring, 8 pen button)
  {"event":"multidata","line":N,"flags":..,"penButtonNo":..,"penButtonDown":..,
   "relDx":..,"relDy":..,"screenX":..,"screenY":..,"pressure":..,"x44800":..,
   "y29600":..,"x7FFF":..,"y7FFF":..,"tiltX":..,"tiltY":..,"keyId":..,"keyDown":..,
   "ringIndex":..,"ringDelta":..}
      the action engine's output record for the packet
  {"event":"message","line":N,"tablet":T,"id":ID,"data":D}
      a message to the main window (D is a number, or a string for a path)
  {"event":"log","line":N,"level":"debug|info|warning|critical|fatal","text":".."}
      a log line written while the report was handled
  {"event":"vhid","line":N,"kind":"pen|abs|rel","bytes":"<hex of all 65 bytes>",
   "evdev":"pen BTN_TOOL_PEN 1, pen ABS_X 1000, ..., pen SYN_REPORT 0"}
      a report written to the virtual HID device (pen, absolute mouse, relative
      mouse); all 65 bytes, so what an earlier report of another kind left in the
      shared report buffer shows too; evdev: the input events the uinput bridge
      makes of it (device, code, value), empty when it changes nothing
  {"event":"mouse","line":N,"flags":F,"x":X,"y":Y}
      a synthetic mouse event; F: 0x1 move, 0x2/0x4 left down/up, 0x8/0x10 right
      down/up, 0x8000 absolute (x, y then 0..65535 across the desktop)
  {"event":"wintab","line":N,"entry":E,"context":..,"status":..,"time":..,"changed":..,
   "serial":..,"cursor":..,"buttons":..,"x":..,"y":..,"pressure":..,"azimuth":..,
   "altitude":..,"twist":..}
      a packet written into the Wintab map's ring (entry 0..999); time is the
      recording's time in ms
  {"event":"post","line":N,"window":W,"msg":M,"wparam":..,"lparam":..}
      a message posted to a Wintab context's window
  {"event":"key","line":N,"vk":VK,"sc":SC,"down":true|false}
      a synthetic key event: virtual key and scan code as the profile stores them
      (SC 256 and above: the 0xE0-extended key SC - 256)
  with a wheel, "mouse" lines also carry "data": the travel, 120 per notch
  {"event":"caption","line":N,"text":".."}
      an action caption
  {"event":"run","line":N,"program":".."}   {"event":"open","line":N,"url":".."}
      a program an action starts, a file or link it opens; recorded, never carried out
  {"event":"wait","line":N,"ms":MS}
      a fixed pause between injected events (not waited in a replay)
Within one report the packet comes first, then the other events in the order they
happened. New event kinds may be added; existing fields keep their names and meaning.

Exit codes: 0 done, 2 bad command line or bad recording (the message names the line).
)";

namespace {

// Where log lines go while a report is handled. Only the replay's own thread logs.
QVector<QByteArray> *g_events = nullptr;
int g_line = 0;

void ReplayMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (!g_events)
        return;
    const char *level = "info";
    switch (type) {
    case QtDebugMsg: level = "debug"; break;
    case QtInfoMsg: level = "info"; break;
    case QtWarningMsg: level = "warning"; break;
    case QtCriticalMsg: level = "critical"; break;
    case QtFatalMsg: level = "fatal"; break;
    }
    g_events->append(JsonLine("log")
                         .add("line", qint64(g_line))
                         .add("level", QString::fromLatin1(level))
                         .add("text", text)
                         .text());
}

QByteArray PacketEvent(const TabletPacket &p, const RecordedReport &r)
{
    return JsonLine("packet")
        .add("line", qint64(r.line))
        .add("time", double(r.timeUs) / 1e6)
        .add("tabletIndex", qint64(p.tabletIndex))
        .add("productId", qint64(p.productId))
        .add("flags", qint64(p.flags))
        .add("x", qint64(p.x))
        .add("y", qint64(p.y))
        .add("pressure", qint64(p.pressure))
        .add("tiltX", qint64(p.tiltX))
        .add("tiltY", qint64(p.tiltY))
        .add("status", qint64(p.status))
        .add("penButtonNo", qint64(p.penButtonNo))
        .add("penButtonDown", qint64(p.penButtonDown))
        .add("penId", qint64(p.penId))
        .addArray("keys", p.keys, kTabletKeyCount)
        .addArray("prevKeys", p.prevKeys, kTabletKeyCount)
        .add("ringIndex", qint64(p.ringIndex))
        .add("ringDelta", qint64(p.ringDelta))
        .text();
}

QByteArray MultiDataEvent(const MultiData &m)
{
    return JsonLine("multidata")
        .add("line", qint64(g_line))
        .add("flags", qint64(m.flags))
        .add("penButtonNo", qint64(m.penButtonNo))
        .add("penButtonDown", qint64(m.penButtonDown))
        .add("relDx", qint64(m.relDx))
        .add("relDy", qint64(m.relDy))
        .add("screenX", m.screenX)
        .add("screenY", m.screenY)
        .add("pressure", qint64(m.pressure))
        .add("x44800", qint64(m.x44800))
        .add("y29600", qint64(m.y29600))
        .add("x7FFF", qint64(m.x7FFF))
        .add("y7FFF", qint64(m.y7FFF))
        .add("tiltX", qint64(m.tiltX))
        .add("tiltY", qint64(m.tiltY))
        .add("keyId", qint64(m.keyId))
        .add("keyDown", qint64(m.keyDown))
        .add("ringIndex", qint64(m.ringIndex))
        .add("ringDelta", qint64(m.ringDelta))
        .text();
}

// Recording time of the report being handled, in ms: the tick of the Wintab packets,
// so a replay prints the same packets every time.
uint32_t g_tickMs = 0;

uint32_t ReplayTick()
{
    return g_tickMs;
}

// "x,y,w,h;x,y,w,h": screens with a positive size.
bool ParseScreens(const QString &text, std::vector<ScreenRect> *screens)
{
    for (const QString &item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(QLatin1Char(','));
        if (parts.size() != 4)
            return false;
        int v[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            v[i] = parts.at(i).trimmed().toInt(&ok);
            if (!ok || v[i] < -32768 || v[i] > 32767)
                return false;
        }
        if (v[2] <= 0 || v[3] <= 0)
            return false;
        screens->push_back(ScreenRect{v[0], v[1], v[2], v[3]});
    }
    return !screens->empty();
}

struct ContextOption {
    int index;
    uint32_t options;
};

// "INDEX[:OPTIONS],...", index 0..49, options decimal or 0x hex.
bool ParseContexts(const QString &text, std::vector<ContextOption> *contexts)
{
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(QLatin1Char(':'));
        bool ok = false;
        const int index = parts.at(0).trimmed().toInt(&ok);
        if (!ok || index < 0 || index >= kWintabContextCount || parts.size() > 2)
            return false;
        uint32_t options = 0x1;
        if (parts.size() == 2) {
            options = parts.at(1).trimmed().toUInt(&ok, 0);
            if (!ok)
                return false;
        }
        contexts->push_back(ContextOption{index, options});
    }
    return !contexts->empty();
}

QByteArray WintabEvent(int line, int entry, const WintabPacket &p)
{
    JsonLine event("wintab");
    event.add("line", qint64(line)).add("entry", qint64(entry));
    return AddWintabPacket(event, p).text();
}

// Messages to the Wintab contexts' windows become "post" lines.
class ReplayPoster : public WintabWindowPoster {
public:
    explicit ReplayPoster(std::function<void(const QByteArray &)> sink) : m_Sink(std::move(sink)) {}
    bool PostToWindow(uint64_t window, uint32_t message, int64_t wParam, int64_t lParam) override
    {
        m_Sink(JsonLine("post")
                   .add("line", qint64(g_line))
                   .add("window", qint64(window))
                   .add("msg", qint64(message))
                   .add("wparam", qint64(wParam))
                   .add("lparam", qint64(lParam))
                   .text());
        return true;
    }

private:
    std::function<void(const QByteArray &)> m_Sink;
};

// The texts of the user's language file (the installed one before the program first
// copied it), in the group of the user's language.
LanguageLookup ReplayLanguage()
{
    QString path = Paths::dataFolder() + QStringLiteral("/language.ini");
    if (!QFile::exists(path))
        path = Paths::installFolder() + QStringLiteral("/config/language.ini");
    if (!QFile::exists(path))
        return LanguageLookup();
    auto settings = std::make_shared<QSettings>(path, QSettings::IniFormat);
    settings->setIniCodec("UTF-8");
    settings->beginGroup(Language::groupForLanguageId(SystemLocaleBackend().userDefaultUiLanguage()));
    return [settings](const QString &key, const QString &fallback) { return Language::text(*settings, key, fallback); };
}

} // namespace

int RunReplay(const ReplayOptions &o, const std::function<void(const QByteArray &)> &out, QString *error)
{
    QFile file(o.file);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(o.file, file.errorString());
        return 2;
    }
    // A recording is text; refuse something that is clearly not one before reading it all.
    if (file.size() > 256 * 1024 * 1024) {
        *error = QStringLiteral("%1: file too large for a recording").arg(o.file);
        return 2;
    }
    HidRecording rec;
    QString parseError;
    if (!ParseHidRecording(file.readAll(), &rec, &parseError)) {
        *error = QStringLiteral("%1: %2").arg(o.file, parseError);
        return 2;
    }
    std::vector<ScreenRect> screens;
    if (!ParseScreens(o.screens.isEmpty() ? QStringLiteral("0,0,1920,1080") : o.screens, &screens)) {
        *error = QStringLiteral("--screens: \"%1\" is not a list of x,y,w,h").arg(o.screens);
        return 2;
    }
    std::vector<ContextOption> contexts;
    if (!o.wintabContexts.isEmpty() && !ParseContexts(o.wintabContexts, &contexts)) {
        *error = QStringLiteral("--wintab-context: \"%1\" is not a list of INDEX[:OPTIONS]").arg(o.wintabContexts);
        return 2;
    }
    if (o.orientation > 3) {
        *error = QStringLiteral("--orientation: %1 is not 0..3").arg(o.orientation);
        return 2;
    }
    const int pid = o.productId >= 0 ? o.productId : (rec.hasIdentity ? rec.productId : -1);
    if (pid < 0 || pid > 0xFFFF) {
        *error = QStringLiteral("%1: no product id: give --pid or an \"I:\" line").arg(o.file);
        return 2;
    }

    // The simulated tablet of that product: its geometry and its key and ring rules.
    const SimModel *known = SimModels::find(uint16_t(pid));
    if (!known)
        known = SimBleModels::find(uint16_t(pid));
    if (!known) {
        *error = QStringLiteral("product id 0x%1 is no model this tool knows (known: %2)")
                     .arg(pid, 4, 16, QLatin1Char('0'))
                     .arg(SimulatedModelsText());
        return 2;
    }
    const SimModel model = *known;

    SimHidBackend backend;
    auto sim = backend.plug(model);
    std::unique_ptr<HidDevice> dev = backend.open(SimHidBackend::interfacePath(*sim));
    if (!dev) {
        *error = QStringLiteral("the simulated tablet did not open");
        return 2;
    }

    // Log lines of the set-up (identity, profile) are events of line 0.
    QVector<QByteArray> events;
    struct LogRedirect {
        explicit LogRedirect(QVector<QByteArray> *events)
        {
            g_line = 0;
            g_events = events;
            previous = qInstallMessageHandler(ReplayMessageHandler);
        }
        ~LogRedirect()
        {
            qInstallMessageHandler(previous);
            g_events = nullptr;
        }
        QtMessageHandler previous;
    } redirect(&events);

    CTablet tablet(0);
    AttachActionEngine(tablet);
    DeviceAttributes &a = tablet.m_DeviceAttributes;
    SetProfileText(a.DevicePath, sizeof a.DevicePath, SimHidBackend::interfacePath(*sim));
    SetProfileText(a.PidText, sizeof a.PidText, QStringLiteral("PID_%1").arg(pid, 4, 16, QLatin1Char('0')).toUpper());
    ReadUsbIdentity(*dev, nullptr, a);
    SetProfileText(a.ModelKey, sizeof a.ModelKey, QString::fromLatin1(model.modelKey));
    a.DeviceKind = int16_t(model.kind);
    if (o.maxX >= 0) a.MaxX = o.maxX;
    if (o.maxY >= 0) a.MaxY = o.maxY;
    if (o.maxPressure >= 0) a.MaxPressure = o.maxPressure;
    if (o.resolution >= 0) a.Resolution = o.resolution;
    FinishGeometry(a);
    // The screens first, as the program enumerates them before any tablet opens: a
    // profile without a screen area takes the one of its screen index.
    const ScreenTableData table = ScreenTable::Build(screens);
    ScreenTable::Publish(table);
    tablet.SetScreenRectProvider(&MappingModel::ScreenTableRect);
    if (!o.profile.isEmpty()) {
        // The profile of the model the product's table row names, as the tablet loads
        // it when it opens; a product outside the table uses the simulated model's key.
        const UsbModelEntry *row = FindUsbModel(pid);
        const QString key = QString::fromLatin1(row ? row->model : model.modelKey);
        tablet.profileStore.setPath(o.profile);
        if (key.isEmpty() || !tablet.LoadProfile(key)) {
            *error = QStringLiteral("%1: no profile of model \"%2\" could be loaded").arg(o.profile, key);
            return 2;
        }
    } else {
        // Without a profile file the model's own pen count stands in for the profile's.
        tablet.TabletXMLData->DevicePenNum = int16_t(std::max(model.pens, 1));
    }
    ::TabletXMLData &x = *tablet.TabletXMLData;
    if (o.orientation >= 0)
        x.Orientation = int16_t(o.orientation);
    if (o.profile.isEmpty()) {
        // The whole tablet (turned as the orientation says) onto the whole desktop.
        const bool turned = x.Orientation == 1 || x.Orientation == 3;
        x.TX = 0;
        x.TY = 0;
        x.TW = int16_t(turned ? a.HeightInch100 : a.WidthInch100);
        x.TH = int16_t(turned ? a.WidthInch100 : a.HeightInch100);
        const ScreenRect &desktop = table.Slot(0);
        x.SX = int16_t(desktop.left);
        x.SY = int16_t(desktop.top);
        x.SW = int16_t(desktop.width);
        x.SH = int16_t(desktop.height);
        x.fKX = x.fKY = x.fXLC = x.fYLC = 1.0f;
        for (PenConfig &pen : x.CommonAPP.pens) {
            pen.Press = DefaultPressPoints();
            pen.TablePC = 1;
        }
        // Key number k is entry k - 1, in every key set; the entries do nothing.
        for (int i = 0; i < kProfileKeys; ++i) {
            x.CommonAPP.keys[i].Motid = int16_t(i + 1);
            for (KeyGroupConfig &group : x.CommonAPP.groups)
                group.keys[i].Motid = int16_t(i + 1);
        }
    }
    tablet.productId = pid;
    tablet.decodeEnabled = 1;
    tablet.emitToUi = 1;
    for (const QByteArray &e : events)
        out(e);

    QObject::connect(&tablet, &CTablet::SentMultiData, &tablet,
                     [&events](CTablet *, MultiData m) { events.append(MultiDataEvent(m)); },
                     Qt::DirectConnection);
    QObject::connect(&tablet, qOverload<int, int, int>(&CTablet::PostActionMsg), &tablet,
                     [&events](int t, int id, int data) {
                         events.append(JsonLine("message").add("line", qint64(g_line)).add("tablet", qint64(t))
                                           .add("id", qint64(id)).add("data", qint64(data)).text());
                     },
                     Qt::DirectConnection);
    QObject::connect(&tablet, qOverload<int, int, QString>(&CTablet::PostActionMsg), &tablet,
                     [&events](int t, int id, const QString &data) {
                         events.append(JsonLine("message").add("line", qint64(g_line)).add("tablet", qint64(t))
                                           .add("id", qint64(id)).add("data", data).text());
                     },
                     Qt::DirectConnection);

    // Packets written into the Wintab ring since the last look, as lines of their own:
    // looked for before every other output, so the lines keep the order of the writes.
    int32_t wintabSeen = 0;
    auto flushWintab = [&events, &wintabSeen]() {
        const CWintabMap *map = DriverLink::WintabMap();
        if (!map || !map->Data())
            return;
        const int32_t counter = map->Counter();
        for (; wintabSeen != counter; ++wintabSeen) {
            WintabPacket p;
            const int entry = WintabLayout::EntryOf(wintabSeen);
            if (WintabLayout::ReadPacket(map->Data(), entry, &p))
                events.append(WintabEvent(g_line, entry, p));
        }
    };
    auto sink = [&events, &flushWintab](const QByteArray &e) {
        flushWintab();
        events.append(e);
    };

    // The engine's reports to the virtual device and its synthetic mouse events.
    ReplayDriverLink driverLink(sink, &g_line);
    if (CWintabMap *map = DriverLink::WintabMap())
        map->SetRect(table.Slot(0).left, table.Slot(0).top, table.Slot(0).right(), table.Slot(0).bottom());
    for (const ContextOption &c : contexts)
        driverLink.OpenWintabContext(c.index, o.foregroundPid, c.options);
    ReplayPoster poster(sink);

    // The foreground window as the options describe it; programs, files and waits of
    // the actions are recorded; captions are printed.
    ForegroundWindow foregroundWindow;
    foregroundWindow.path = o.foreground;
    foregroundWindow.windowClass = o.foregroundClass;
    foregroundWindow.pid = std::max(o.foregroundPid, 0);
    FixedForegroundBackend foreground(foregroundWindow);
    RecordingActionSystem actionSystem;
    actionSystem.SetHandler([&sink](const RecordingActionSystem::Request &r) {
        switch (r.kind) {
        case RecordingActionSystem::Request::Run:
            sink(JsonLine("run").add("line", qint64(g_line)).add("program", r.text).text());
            break;
        case RecordingActionSystem::Request::Open:
            sink(JsonLine("open").add("line", qint64(g_line)).add("url", r.text).text());
            break;
        case RecordingActionSystem::Request::Wait:
            sink(JsonLine("wait").add("line", qint64(g_line)).add("ms", qint64(r.ms)).text());
            break;
        }
    });
    ActionOf(&tablet)->SetServices(nullptr, &foreground, &actionSystem);
    // Captions in the user's language, as the program shows them.
    ActionServiceBackends services;
    services.language = ReplayLanguage();
    ActionServices::Install(std::move(services));
    struct ServicesRemoval {
        ~ServicesRemoval() { ActionServices::Remove(); }
    } servicesRemoval;
    QObject::connect(ActionCaption::MyLrc(), &ActionCaption::EmitAction, &tablet,
                     [&sink](const QString &text) {
                         sink(JsonLine("caption").add("line", qint64(g_line)).add("text", text).text());
                     },
                     Qt::DirectConnection);

    ActionOf(&tablet)->Pen().SetWintabPoster(&poster);
    ActionOf(&tablet)->Pen().SetTickFunction(&ReplayTick);
    PenPath::ResetSharedState();

    quint8 buffer[kMaxReportLength];
    for (const RecordedReport &r : rec.reports) {
        events.clear();
        g_line = r.line;
        g_tickMs = uint32_t(r.timeUs / 1000);
        // The reading thread's buffer is its own and reused for every report.
        std::memset(buffer, 0, sizeof buffer);
        std::memcpy(buffer, r.bytes.constData(), size_t(r.bytes.size()));
        tablet.ReceiveTabletPackets(buffer, r.bytes.size());
        flushWintab();
        if (tablet.LastPacketDecoded())
            out(PacketEvent(tablet.LastPacket(), r));
        for (const QByteArray &e : events)
            out(e);
    }
    return 0;
}

QByteArray VhidReportEvent(int line, const QByteArray &report, const QString &evdev)
{
    const char *kind = "other";
    switch (vhidReportKind(reinterpret_cast<const uint8_t *>(report.constData()), report.size())) {
    case VhidReportKind::Pen: kind = "pen"; break;
    case VhidReportKind::AbsoluteMouse: kind = "abs"; break;
    case VhidReportKind::RelativeMouse: kind = "rel"; break;
    case VhidReportKind::Unknown: break;
    }
    return JsonLine("vhid")
        .add("line", qint64(line))
        .add("kind", QString::fromLatin1(kind))
        .add("bytes", QString::fromLatin1(report.toHex()))
        .add("evdev", evdev)
        .text();
}

QByteArray MouseInputEvent(int line, const MouseInput &input)
{
    JsonLine event("mouse");
    event.add("line", qint64(line)).add("flags", qint64(input.flags)).add("x", qint64(input.x)).add("y", qint64(input.y));
    if (input.flags & MouseWheel)
        event.add("data", qint64(input.data));
    return event.text();
}

QByteArray KeyInputEvent(int line, const KeyInput &input)
{
    const int sc = input.scan + ((input.flags & KeyExtended) ? 0x100 : 0);
    QByteArray text = JsonLine("key").add("line", qint64(line)).add("vk", qint64(input.vk)).add("sc", qint64(sc)).text();
    text.chop(1); // the closing brace: JsonLine has no booleans
    text += (input.flags & KeyUp) ? ",\"down\":false}" : ",\"down\":true}";
    return text;
}

ReplayDriverLink::ReplayDriverLink(const std::function<void(const QByteArray &)> &sink, const int *line)
{
    // The reports reach a bridge as on the system: what it makes of them is printed too.
    auto vhid = std::make_unique<RecordingVhidBackend>();
    vhid->setBridged(true);
    vhid->setReportHandler([sink, line](const QByteArray &report, bool, const QVector<VhidEvent> &events) {
        sink(VhidReportEvent(*line, report, vhidEventsText(events)));
    });
    auto input = std::make_unique<RecordingInputInjector>();
    input->setMouseHandler([sink, line](const MouseInput &m) { sink(MouseInputEvent(*line, m)); });
    input->setKeyHandler([sink, line](const KeyInput &k) { sink(KeyInputEvent(*line, k)); });

    DriverLinkBackends backends;
    backends.vhid = std::move(vhid);
    backends.input = std::move(input);
    // A folder of its own: a running program's Wintab map stays untouched.
    if (m_IpcFolder.isValid())
        backends.ipc = std::make_unique<PosixIpcBackend>(m_IpcFolder.path());
    // Opening logs the device search; that is the replay's set-up, not its output.
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    DriverLink::Open(std::move(backends));
    qInstallMessageHandler(previous);
}

ReplayDriverLink::~ReplayDriverLink()
{
    m_pWintabPeer.reset();
    DriverLink::Close();
}

bool ReplayDriverLink::OpenWintabContext(int index, int32_t pid, uint32_t options)
{
    if (index < 0 || index >= kWintabContextCount || !m_IpcFolder.isValid())
        return false;
    if (!m_pWintabPeer) {
        PosixIpcBackend peer(m_IpcFolder.path());
        IpcError error = IpcError::None;
        m_pWintabPeer = peer.openSharedMemory(QLatin1String(kWintabMapName), kWintabMapSize, false, &error);
        if (!m_pWintabPeer || !m_pWintabPeer->data())
            return false;
    }
    // Context record: open, enabled, 8-bit layout with its options word, window, owner.
    uint8_t *c = m_pWintabPeer->data() + index * kWintabContextSize;
    c[4] = 1;
    c[5] = 1;
    c[6] = 0;
    qToLittleEndian<quint32>(options, c + 48);
    qToLittleEndian<quint64>(quint64(0x1000 + index), c + 392);
    qToLittleEndian<qint32>(pid, c + 400);
    return true;
}
