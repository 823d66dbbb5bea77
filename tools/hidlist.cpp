#include "tools/hidlist.h"

#include "config/modeltables.h"
#include "device/modelmatch.h"
#include "tools/hidtoolbackend.h"

#include <QByteArray>
#include <QVector>

#include <cstdio>
#include <memory>

const char kHidListHelp[] = R"(usage: inkora-hidtool list [--simulate[=LIST]] [--verbose]

Lists the interfaces of vendor 0x28BD that are present, each with the supported-model
entry it matches, or why it matches none:
  <interface text>
      bus usb|bluetooth|...  vid 28bd  pid NNNN  interface N  collection N  "<product>"
      match: usb entry N vid_28BD&pid_NNNN&mi_NN[&colNN] -> model <key> kind K mode M
      no match: <reason>
and a last line "N of M interfaces match a model" (or "no tablet found").
--verbose adds each interface's manufacturer and serial, every table entry of its
product ("taken" for the one it matches, "tried" for the others), and the log lines
of the match rules.
--simulate runs on simulated tablets instead of the system's hidraw nodes. LIST is
Inkora's: product ids ("0935", "0x0935") or model keys, comma-separated, or "all";
without a list, every simulated model, USB and Bluetooth.

Exit codes: 0 a tablet interface was found, 1 none, 2 bad command line.
)";

const char kHidInfoHelp[] = R"(usage: inkora-hidtool info PATH [--simulate[=LIST]] [--verbose]

Opens one interface and prints its identity, geometry and capability block as
"key: value" lines. PATH is an interface text as `list` prints it, or its node
("hidraw3", "/dev/hidraw3", "sim0"). Strings a device does not have, and every
string of a Bluetooth device, print as "not available".

Exit codes: 0 done, 1 not present or cannot be opened, 2 bad command line.
)";

namespace {

// Strings read with the indexed reads at open: 64 wide characters at most.
constexpr int kTextLimit = 64;

QString BusName(int bus)
{
    switch (bus) {
    case 3: return QStringLiteral("usb");
    case 5: return QStringLiteral("bluetooth");
    default: return QStringLiteral("0x%1").arg(bus, 4, 16, QLatin1Char('0'));
    }
}

QString Hex(const uint8_t *bytes, int n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(bytes), n).toHex(' '));
}

QString Describe(const UsbModelEntry &e)
{
    return QStringLiteral("usb entry %1 %2 -> model %3 kind %4 mode %5")
        .arg(int(&e - kUsbModels))
        .arg(UsbMatchText(e), QString::fromLatin1(e.model))
        .arg(e.kind)
        .arg(e.mode);
}

QString Describe(const BleModelEntry &e)
{
    return QStringLiteral("bluetooth entry %1 %2 %3 -> model %4 kind %5 mode %6")
        .arg(int(&e - kBleModels))
        .arg(BleMatchText(e), BleCollectionText(e), QString::fromLatin1(e.model))
        .arg(e.kind)
        .arg(e.mode);
}

// The entry an interface text matches, as text; empty when none.
QString ModelOf(const QString &path)
{
    if (IsMakerUsbPath(path)) {
        if (const UsbModelEntry *e = MatchUsbModel(path))
            return Describe(*e);
    } else if (IsMakerBlePath(path)) {
        if (const BleModelEntry *e = MatchBleModel(path))
            return Describe(*e);
    }
    return QString();
}

// The product id of an interface text as the tables write it ("pid_0935", "_PID&0935").
int ProductIdOf(const QString &path)
{
    const QString lower = path.toLower();
    for (const QString &marker : {QStringLiteral("pid_"), QStringLiteral("pid&")}) {
        const int at = lower.indexOf(marker);
        bool ok = false;
        const int pid = at >= 0 ? lower.mid(at + 4, 4).toInt(&ok, 16) : -1;
        if (ok)
            return pid;
    }
    return -1;
}

void PrintText(HidDevice &dev, const HidToolOut &out, const char *key, int index)
{
    QString text;
    if (dev.indexedString(index, &text))
        out(QStringLiteral("%1: %2").arg(QLatin1String(key), text.left(kTextLimit)));
    else
        out(QStringLiteral("%1: not available").arg(QLatin1String(key)));
}

QByteArray ToLocal(const QString &line)
{
    return line.toLocal8Bit() + '\n';
}

void QuietHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fputs(ToLocal(text).constData(), stderr);
}

// Splits the common options off; false (after printing) on a bad command line.
bool CommonOptions(QStringList *args, HidToolBackend *backend, const char *help, bool *helpShown,
                   bool *verbose = nullptr)
{
    *helpShown = false;
    if (args->contains(QStringLiteral("--help")) || args->contains(QStringLiteral("-h"))) {
        std::fputs(help, stdout);
        *helpShown = true;
        return false;
    }
    const bool loud = args->removeAll(QStringLiteral("--verbose")) > 0;
    if (verbose)
        *verbose = loud;
    if (!loud)
        qInstallMessageHandler(QuietHandler); // the match rules log every entry they try
    QString error;
    if (!backend->setUp(args, &error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return false;
    }
    return true;
}

HidToolOut StdoutLines()
{
    return [](const QString &line) { std::fputs(ToLocal(line).constData(), stdout); };
}

} // namespace

QString WhyNoModelMatch(const QString &path)
{
    const int pid = ProductIdOf(path);
    const QString pidText = QStringLiteral("0x%1").arg(pid & 0xFFFF, 4, 16, QLatin1Char('0'));
    if (IsMakerUsbPath(path)) {
        if (MatchUsbModel(path))
            return QString();
        QStringList wanted;
        for (const UsbModelEntry &e : kUsbModels) {
            if (e.productId == pid)
                wanted << UsbMatchText(e);
        }
        if (wanted.isEmpty())
            return QStringLiteral("no usb entry for product %1").arg(pidText);
        wanted.removeDuplicates();
        return QStringLiteral("the usb entries of product %1 want %2 (another interface or collection)")
            .arg(pidText, wanted.join(QStringLiteral(" or ")));
    }
    if (IsMakerBlePath(path)) {
        if (MatchBleModel(path))
            return QString();
        QStringList wanted;
        for (const BleModelEntry &e : kBleModels) {
            if (e.productId == pid)
                wanted << BleMatchText(e) + QStringLiteral(" with ") + BleCollectionText(e);
        }
        if (wanted.isEmpty())
            return QStringLiteral("no bluetooth entry for product %1").arg(pidText);
        return QStringLiteral("the bluetooth entries of product %1 want %2")
            .arg(pidText, wanted.join(QStringLiteral(" or ")));
    }
    return QStringLiteral("neither a usb (vid_28bd) nor a bluetooth le (0228bd_pid) interface text");
}

// --verbose: every table entry of the interface's product and whether it fits.
static void EntriesOfProduct(const HidDeviceInfo &info, const HidToolOut &out)
{
    const bool usb = IsMakerUsbPath(info.path);
    const bool ble = IsMakerBlePath(info.path);
    const UsbModelEntry *usbTaken = usb ? MatchUsbModel(info.path) : nullptr;
    const BleModelEntry *bleTaken = ble ? MatchBleModel(info.path) : nullptr;
    for (const UsbModelEntry &e : kUsbModels) {
        if (usb && e.productId == info.productId)
            out(QStringLiteral("    %1 %2").arg(&e == usbTaken ? QStringLiteral("taken") : QStringLiteral("tried"), Describe(e)));
    }
    for (const BleModelEntry &e : kBleModels) {
        if (ble && e.productId == info.productId)
            out(QStringLiteral("    %1 %2").arg(&e == bleTaken ? QStringLiteral("taken") : QStringLiteral("tried"), Describe(e)));
    }
}

int RunHidList(HidBackend &backend, const HidToolOut &out, bool verbose)
{
    const QVector<HidDeviceInfo> list = backend.enumerate(0x28BD);
    int matched = 0;
    for (const HidDeviceInfo &info : list) {
        out(info.path);
        QString line = QStringLiteral("    bus %1  vid %2  pid %3  interface %4  collection %5")
                           .arg(BusName(info.bus))
                           .arg(info.vendorId, 4, 16, QLatin1Char('0'))
                           .arg(info.productId, 4, 16, QLatin1Char('0'))
                           .arg(info.interfaceNumber)
                           .arg(info.collection);
        if (!info.product.isEmpty())
            line += QStringLiteral("  \"%1\"").arg(info.product);
        out(line);
        if (verbose) {
            out(QStringLiteral("    manufacturer \"%1\"  serial \"%2\"").arg(info.manufacturer, info.serial));
            EntriesOfProduct(info, out);
        }
        const QString model = ModelOf(info.path);
        if (!model.isEmpty()) {
            ++matched;
            out(QStringLiteral("    match: ") + model);
        } else {
            out(QStringLiteral("    no match: ") + WhyNoModelMatch(info.path));
        }
    }
    if (matched == 0)
        out(QStringLiteral("no tablet found (%1 interfaces of vendor 28bd)").arg(list.size()));
    else
        out(QStringLiteral("%1 of %2 interfaces match a model").arg(matched).arg(list.size()));
    return matched > 0 ? 0 : 1;
}

int RunHidInfo(HidBackend &backend, const QString &argument, const HidToolOut &out, QString *error)
{
    const QString path = ResolveInterfacePath(backend, argument);
    if (path.isEmpty()) {
        *error = QStringLiteral("%1: no such interface present").arg(argument);
        return 1;
    }
    HidDeviceInfo info;
    for (const HidDeviceInfo &i : backend.enumerate(0)) {
        if (i.path == path)
            info = i;
    }
    std::unique_ptr<HidDevice> dev = backend.open(path);
    if (!dev) {
        *error = QStringLiteral("%1: cannot open").arg(path);
        return 1;
    }
    out(QStringLiteral("path: ") + path);
    out(QStringLiteral("bus: ") + BusName(info.bus));
    out(QStringLiteral("vendor id: %1").arg(info.vendorId, 4, 16, QLatin1Char('0')));
    out(QStringLiteral("product id: %1").arg(info.productId, 4, 16, QLatin1Char('0')));
    out(QStringLiteral("interface: %1").arg(info.interfaceNumber));
    out(QStringLiteral("collection: %1").arg(info.collection));
    const QString model = ModelOf(path);
    out(QStringLiteral("model: ") + (model.isEmpty() ? QStringLiteral("none (") + WhyNoModelMatch(path) + QLatin1Char(')') : model));

    PrintText(*dev, out, "manufacturer", 1);
    PrintText(*dev, out, "product", 2);
    PrintText(*dev, out, "serial number", 3);
    PrintText(*dev, out, "firmware version", 4);
    PrintText(*dev, out, "firmware date", 5);

    // Geometry (string 100): x and y are 24 bits (bytes 0-1 and 10, 2-3 and 11),
    // pressure bytes 6-7, lines per inch bytes 8-9 (5080 when the device gives 0).
    uint8_t g[64] = {};
    const int gn = dev->indexedStringRaw(100, g, sizeof g);
    if (gn < 0) {
        out(QStringLiteral("geometry: not available"));
    } else {
        const int maxX = g[0] | g[1] << 8 | g[10] << 16;
        const int maxY = g[2] | g[3] << 8 | g[11] << 16;
        const int pressure = g[6] | g[7] << 8;
        int resolution = g[8] | g[9] << 8;
        const bool assumed = resolution == 0;
        if (assumed)
            resolution = 5080;
        out(QStringLiteral("max x: %1").arg(maxX));
        out(QStringLiteral("max y: %1").arg(maxY));
        out(QStringLiteral("max pressure: %1").arg(pressure));
        out(QStringLiteral("resolution: %1%2").arg(resolution).arg(assumed ? QStringLiteral(" (assumed)") : QString()));
        out(QStringLiteral("size inch/100: %1 x %2").arg(maxX * 100 / resolution).arg(maxY * 100 / resolution));
        out(QStringLiteral("geometry bytes: ") + Hex(g, gn));
    }
    uint8_t block[64] = {};
    const int bn = dev->indexedStringRaw(110, block, sizeof block);
    out(QStringLiteral("capability block: ") + (bn < 0 ? QStringLiteral("not available") : Hex(block, bn)));
    if (bn >= 2)
        out(QStringLiteral("receiver: %1").arg(block[1] == 0x40 ? QStringLiteral("yes") : QStringLiteral("no")));
    uint8_t code[8] = {};
    const int cn = dev->indexedStringRaw(131, code, sizeof code);
    out(QStringLiteral("serial code: ") + (cn < 0 ? QStringLiteral("not available") : Hex(code, cn)));
    return 0;
}

int HidListCommand(QStringList args)
{
    HidToolBackend backend;
    bool helpShown = false;
    bool verbose = false;
    if (!CommonOptions(&args, &backend, kHidListHelp, &helpShown, &verbose))
        return helpShown ? 0 : 2;
    if (!args.isEmpty()) {
        std::fprintf(stderr, "list: unexpected argument %s\n", args.first().toLocal8Bit().constData());
        return 2;
    }
    const int code = RunHidList(backend.backend(), StdoutLines(), verbose);
    std::fflush(stdout);
    return code;
}

int HidInfoCommand(QStringList args)
{
    HidToolBackend backend;
    bool helpShown = false;
    if (!CommonOptions(&args, &backend, kHidInfoHelp, &helpShown))
        return helpShown ? 0 : 2;
    if (args.size() != 1 || args.first().startsWith(QLatin1String("--"))) {
        std::fputs(kHidInfoHelp, stderr);
        return 2;
    }
    QString error;
    const int code = RunHidInfo(backend.backend(), args.first(), StdoutLines(), &error);
    std::fflush(stdout);
    if (code != 0)
        std::fprintf(stderr, "info: %s\n", error.toLocal8Bit().constData());
    return code;
}
