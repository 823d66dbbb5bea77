// Entry of FwFlasher, the firmware updater of the tablet model "KPX2000A-A".
//
// "--simulate" (or INKORA_FW_SIMULATE=1 in the environment, which Inkora sets when it
// runs on simulated tablets) puts a simulated tablet of that model with an old
// firmware date, and its loader, in place of the system's HID devices.

#include "app/paths.h"
#include "firmware/deviceinterface.h"
#include "firmware/firmwareupdate.h"
#include "platform/hid/linux/hidrawbackend.h"
#include "platform/locale/linux/systemlocalebackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"
#include "sim/simloaderbackend.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    bool simulate = qgetenv("INKORA_FW_SIMULATE") == "1";
    for (const QString &argument : QCoreApplication::arguments().mid(1)) {
        if (argument == QLatin1String("--simulate"))
            simulate = true;
    }

    std::shared_ptr<HidBackend> backend;
    if (simulate) {
        auto sim = std::make_shared<SimLoaderBackend>();
        sim->plugTablet();
        qInfo() << "simulated tablet KPX2000A-A plugged in, firmware date 20210826";
        backend = sim;
    } else {
        backend = std::make_shared<HidrawBackend>();
    }
    SetDeviceInterfaceBackend(backend);

    LocalSocketWindowBackend windows;
    const SystemLocaleBackend locale;
    int code = 0;
    {
        FirmwareUpdate window(Paths::installFolder(), Paths::dataFolder(), locale.userDefaultUiLanguage(), simulate,
                              &windows);
        window.show();
        if (!window.StartDevices())
            qWarning() << "The device interface did not start";
        code = app.exec();
    }
    ReleaseLib();
    SetDeviceInterfaceBackend(nullptr);
    return code;
}
