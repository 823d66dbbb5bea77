#include "tools/profiledump.h"

#include "config/appprofiles.h"
#include "config/profilestore.h"
#include "config/profiletext.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

const char kProfileHelp[] = R"(usage: inkora-hidtool profile dump --profile PATH --model KEY

Loads the profile of model KEY from the profile file PATH exactly as a tablet of that
model loads it when it opens, and prints one JSON object:
  {"model":KEY,"file":PATH,"profile":{...},"log":[..]}
"profile" holds the device profile's fields under their own names (DeviceKeyNum,
SX, TW, fKX, DevicePenNum, ...), "CommonAPP" the common profile and "Apps" every
application profile in path order. An application profile: "path", "SelectID",
"TRMode", "TRPresent", "pens" (8, each with "RelativeCoords", "TablePC", "Speed",
"P0", "P1X", "P1Y", "P2" and 5 "buttons" of "id", "Actid", "custom"), "R" and "R2"
("id" and 4 "items" of "id", "custom"), "keys" (40 of "id", "custom", "Show", "Actid",
"Motid") and "groups" (4 of "enabled" and 40 "keys").
The tablet area and screen area of a tablet are completed from the device when it
opens; the dump shows them as the file gives them.

A profile that does not load prints {"model":KEY,"file":PATH,"error":CODE,"log":[..]}
with CODE 101 cannot open, 102 cannot parse (or over the size or nesting limits),
103 empty document, 106 no such model, 107 a number out of range.

Exit codes: 0 loaded, 2 bad command line or a profile that does not load.
)";

namespace {

QStringList *g_log = nullptr;

void CollectLog(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (g_log && type != QtDebugMsg)
        g_log->append(text);
}

QJsonObject RingToJson(const RingConfig &ring)
{
    QJsonArray items;
    for (const RingItemConfig &item : ring.items)
        items.append(QJsonObject{{QStringLiteral("id"), item.id}, {QStringLiteral("custom"), ProfileText(item.custom)}});
    return QJsonObject{{QStringLiteral("id"), ring.id}, {QStringLiteral("items"), items}};
}

QJsonArray KeysToJson(const KeyConfig (&keys)[kProfileKeys])
{
    QJsonArray out;
    for (const KeyConfig &k : keys) {
        out.append(QJsonObject{
            {QStringLiteral("id"), k.id},
            {QStringLiteral("custom"), ProfileText(k.custom)},
            {QStringLiteral("Show"), int(k.Show)},
            {QStringLiteral("Actid"), k.Actid},
            {QStringLiteral("Motid"), k.Motid},
        });
    }
    return out;
}

} // namespace

QJsonObject AppProfileToJson(const AppConfigNode &app)
{
    QJsonArray pens;
    for (const PenConfig &pen : app.pens) {
        QJsonArray buttons;
        for (const PenButtonConfig &b : pen.buttons) {
            buttons.append(QJsonObject{{QStringLiteral("id"), b.id},
                                       {QStringLiteral("Actid"), b.Actid},
                                       {QStringLiteral("custom"), ProfileText(b.custom)}});
        }
        pens.append(QJsonObject{
            {QStringLiteral("RelativeCoords"), int(pen.RelativeCoords)},
            {QStringLiteral("TablePC"), int(pen.TablePC)},
            {QStringLiteral("Speed"), pen.Speed},
            {QStringLiteral("P0"), double(pen.Press.P0)},
            {QStringLiteral("P1X"), double(pen.Press.P1X)},
            {QStringLiteral("P1Y"), double(pen.Press.P1Y)},
            {QStringLiteral("P2"), double(pen.Press.P2)},
            {QStringLiteral("buttons"), buttons},
        });
    }
    QJsonArray groups;
    for (const KeyGroupConfig &g : app.groups)
        groups.append(QJsonObject{{QStringLiteral("enabled"), g.enabled}, {QStringLiteral("keys"), KeysToJson(g.keys)}});
    return QJsonObject{
        {QStringLiteral("path"), ProfileText(app.path)},
        {QStringLiteral("pens"), pens},
        {QStringLiteral("R"), RingToJson(app.ring)},
        {QStringLiteral("R2"), RingToJson(app.ring2)},
        {QStringLiteral("TRMode"), int(app.TRMode)},
        {QStringLiteral("TRPresent"), int(app.TRPresent)},
        {QStringLiteral("keys"), KeysToJson(app.keys)},
        {QStringLiteral("groups"), groups},
        {QStringLiteral("SelectID"), app.SelectID},
    };
}

QJsonObject ProfileToJson(const TabletXMLData &p, const AppConfigMap &apps)
{
    QJsonArray rects;
    for (const ScreenRect16 &r : p.rects) {
        rects.append(QJsonObject{{QStringLiteral("X"), r.X}, {QStringLiteral("Y"), r.Y},
                                 {QStringLiteral("W"), r.W}, {QStringLiteral("H"), r.H}});
    }
    QJsonArray appList;
    for (const auto &entry : apps)
        appList.append(AppProfileToJson(*entry.second));
    return QJsonObject{
        {QStringLiteral("DeviceControl"), p.DeviceControl},
        {QStringLiteral("DeviceTrackPad"), p.DeviceTrackPad},
        {QStringLiteral("SupportGroupKeys"), p.SupportGroupKeys},
        {QStringLiteral("DeviceKeyDirection"), p.DeviceKeyDirection},
        {QStringLiteral("DeviceRingNum"), p.DeviceRingNum},
        {QStringLiteral("DeviceKeyNum"), p.DeviceKeyNum},
        {QStringLiteral("DevicePenType"), p.DevicePenType},
        {QStringLiteral("ScreenId"), p.ScreenId},
        {QStringLiteral("SX"), p.SX}, {QStringLiteral("SY"), p.SY},
        {QStringLiteral("SW"), p.SW}, {QStringLiteral("SH"), p.SH},
        {QStringLiteral("TX"), p.TX}, {QStringLiteral("TY"), p.TY},
        {QStringLiteral("TW"), p.TW}, {QStringLiteral("TH"), p.TH},
        {QStringLiteral("Orientation"), p.Orientation},
        {QStringLiteral("rects"), rects},
        {QStringLiteral("fKX"), double(p.fKX)}, {QStringLiteral("fKY"), double(p.fKY)},
        {QStringLiteral("fXLC"), double(p.fXLC)}, {QStringLiteral("fYLC"), double(p.fYLC)},
        {QStringLiteral("DisablePressure"), p.DisablePressure},
        {QStringLiteral("DisableInfo"), p.DisableInfo},
        {QStringLiteral("DisableQuickKey"), p.DisableQuickKey},
        {QStringLiteral("DisableSlope"), p.DisableSlope},
        {QStringLiteral("DevicePenNum"), p.DevicePenNum},
        {QStringLiteral("DeviceCurPenID"), p.DeviceCurPenID},
        {QStringLiteral("PenMoveInTablet"), p.PenMoveInTablet},
        {QStringLiteral("CommonAPP"), AppProfileToJson(p.CommonAPP)},
        {QStringLiteral("Apps"), appList},
    };
}

int RunProfileCommand(const QStringList &args)
{
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        std::fputs(kProfileHelp, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    if (args.first() != QLatin1String("dump")) {
        std::fprintf(stderr, "profile: unknown command %s\n", qPrintable(args.first()));
        return 2;
    }
    QString path;
    QString model;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kProfileHelp, stdout);
            return 0;
        }
        QString *target = a == QLatin1String("--profile") ? &path : a == QLatin1String("--model") ? &model : nullptr;
        if (!target) {
            std::fprintf(stderr, "profile dump: unknown option %s\n", qPrintable(a));
            return 2;
        }
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "profile dump: %s needs a value\n", qPrintable(a));
            return 2;
        }
        *target = args.at(++i);
    }
    if (path.isEmpty() || model.isEmpty()) {
        std::fputs(kProfileHelp, stderr);
        return 2;
    }

    DeviceProfile profile;
    int code = ProfileOk;
    QStringList log;
    g_log = &log;
    const QtMessageHandler previous = qInstallMessageHandler(CollectLog);
    const bool loaded = ProfileStore(path).LoadConfig(model, &profile.data(), &profile.apps(), &code);
    qInstallMessageHandler(previous);
    g_log = nullptr;

    QJsonObject out{{QStringLiteral("model"), model}, {QStringLiteral("file"), path}};
    if (loaded)
        out.insert(QStringLiteral("profile"), ProfileToJson(profile.data(), profile.apps()));
    else
        out.insert(QStringLiteral("error"), code);
    out.insert(QStringLiteral("log"), QJsonArray::fromStringList(log));
    const QByteArray text = QJsonDocument(out).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
    return loaded ? 0 : 2;
}
