// Entry of FwFlasher, the firmware updater of the tablet model "KPX2000A-A".
//
// "--simulate" (or INKORA_FW_SIMULATE=1 in the environment, which Inkora sets when it
// runs on simulated tablets) puts a simulated tablet of that model with an old
// firmware date, and its loader, in place of the system's HID devices.

#include "base/language.h"
#include "base/loghandler.h"
#include "base/paths.h"
#include "base/programstart.h"
#include "firmware/deviceinterface.h"
#include "firmware/firmwareupdate.h"
#include "platform/hid/linux/hidrawbackend.h"
#include "platform/locale/linux/systemlocalebackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"
#include "sim/simloaderbackend.h"
#include "sim/simloadercontrol.h"

#include <QApplication>
#include <QDebug>
#include <QDir>

#include <cstdio>

namespace {

const char kHelp[] = R"(usage: FwFlasher [--simulate [--packet-delay=MS]]
Updates the firmware of the tablets whose firmware is "KPX2000A-A" with the image in
bin/ beside the program. Inkora starts it when such a tablet needs the update. It logs
to FwFlasher-log.txt in Inkora's per-user folder.
  --simulate         a simulated tablet of that model with an old firmware date (also
                     INKORA_FW_SIMULATE=1); plug and unplug it or its loader with
                     inkora-hidtool simulate --socket $XDG_RUNTIME_DIR/inkora-fwflasher-simulate
                     list | plug InkoraPadM | plug loader | unplug 0 | unplug loader
  --packet-delay=MS  with --simulate: the loader takes MS ms (0..1000) over each data
                     packet, so that Cancel and unplugging can be tried during the transfer
  --help             this text
  --version          the program's version
)";

constexpr int kMaxPacketDelayMs = 1000;

} // namespace

int main(int argc, char *argv[])
{
    const int early = CheckProgramStart(argc, argv, {"FwFlasher", kHelp});
    if (early >= 0)
        return early;
    QApplication app(argc, argv);
    // The updater usually runs after Inkora made the folder; on its own it makes it, so
    // its log is not lost.
    QDir().mkpath(Paths::dataFolder());
    installLogHandler("FwFlasher-log.txt", "FwFlasher-oldlog.txt");

    bool simulate = qgetenv("INKORA_FW_SIMULATE") == "1";
    int packetDelayMs = 0;
    const QString delayOption = QStringLiteral("--packet-delay=");
    for (const QString &argument : QCoreApplication::arguments().mid(1)) {
        if (argument == QLatin1String("--simulate")) {
            simulate = true;
        } else if (argument.startsWith(delayOption)) {
            bool ok = false;
            packetDelayMs = argument.mid(delayOption.size()).toInt(&ok);
            if (!ok || packetDelayMs < 0 || packetDelayMs > kMaxPacketDelayMs) {
                std::fprintf(stderr, "FwFlasher: --packet-delay takes 0 to %d ms\n", kMaxPacketDelayMs);
                return 2;
            }
        }
    }

    std::shared_ptr<HidBackend> backend;
    std::unique_ptr<SimLoaderControl> control;
    if (simulate) {
        auto sim = std::make_shared<SimLoaderBackend>();
        sim->setDataPacketDelayMs(packetDelayMs);
        sim->plugTablet();
        qInfo() << "simulated tablet KPX2000A-A plugged in, firmware date 20210826, data packet delay"
                << packetDelayMs << "ms";
        control = std::make_unique<SimLoaderControl>(sim.get());
        control->Listen(SimLoaderControl::DefaultSocketPath());
        backend = sim;
    } else {
        backend = std::make_shared<HidrawBackend>();
    }
    SetDeviceInterfaceBackend(backend);

    LocalSocketWindowBackend windows;
    const SystemLocaleBackend locale;
    int code = 0;
    {
        // The main program's language file, in the group it shows: the user's choice or
        // the desktop's locale.
        const QString group = Language::groupInForce(Paths::dataFolder(), Language::systemGroup(locale));
        qInfo().noquote() << "FwFlasher: language group" << group;
        Language::applyNumberLocale(group);
        FirmwareUpdate window(Paths::installFolder(), Paths::dataFolder(), group, simulate, &windows);
        window.show();
        if (!window.StartDevices())
            qWarning() << "The device interface did not start";
        code = app.exec();
    }
    control.reset();
    ReleaseLib();
    SetDeviceInterfaceBackend(nullptr);
    return code;
}
