// Entry of Inkora: one instance per user, resources, log file, style, the program core.

#include "app/appcore.h"
#include "app/mainwindow.h"
#include "app/qtsingleapplication.h"
#include "app/quitonsignal.h"
#include "app/startupoptions.h"
#include "base/loghandler.h"
#include "base/paths.h"
#include "base/programstart.h"
#include "platform/locale/linux/systemlocalebackend.h"
#include "platform/resources/resourcefile.h"

#include <QDebug>
#include <QFile>
#include <QFont>
#include <QResource>
#include <QSystemTrayIcon>

namespace {
const char kHelp[] = R"(usage: Inkora [/mini] [--simulate[=MODELS]] [--vhid-record=FILE]
  /mini               start hidden in the tray (first argument only)
  --simulate[=MODELS] simulated tablets instead of the connected ones; MODELS: model
                      keys or product ids separated by commas, or "all"
  --vhid-record=FILE  with --simulate: append the virtual device's reports to FILE
                      (one JSON line each) instead of using /dev/uinput
  --help              this text
  --version           the program's version
)";
} // namespace

int main(int argc, char *argv[])
{
    const int early = CheckProgramStart(argc, argv, {"Inkora", kHelp});
    if (early >= 0)
        return early;
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    QtSingleApplication app(QStringLiteral("InkoraV3"), argc, argv);
    if (app.isRunning()) {
        app.sendMessage(QStringLiteral("Please show InkoraV3"), 5000);
        return 0;
    }

    const QString resources = Paths::installFolder() + QStringLiteral("/resource.rcc");
    if (!RegisterResourceFile(resources))
        QResource::registerResource(resources, QString());
    installLogHandler();
    // From here on a logout's SIGTERM ends the run as Exit does (handled in the loop).
    QuitOnSignal quitOnSignal;

    const StartupOptions options = parseStartupArguments(QCoreApplication::arguments());
    setStartupOptions(options);

    // The tray icon first, so the tray host docks it while the core starts; the core
    // gives it its menu and texts (createTrayIcon below).
    std::unique_ptr<QSystemTrayIcon> trayIcon = AppCore::showEarlyTrayIcon();
    app.listen();

    QFile styleSheet(QStringLiteral(":/qss/qss/stylesheet.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromLatin1(styleSheet.readAll()));

    QFont font;
    font.setFamily(QStringLiteral("Arial"));
    QApplication::setFont(font);

    const SystemLocaleBackend locale;
    // The program without its window; the settings window is built when first shown.
    auto *core = new AppCore(Paths::installFolder(), locale, nullptr, AppCore::StartOrder::TrayFirst);
    // Logged once the core has put the data folder (and so the log file) in place.
    if (options.simulate)
        qInfo().noquote() << "simulated tablets requested, model:"
                          << (options.simulateModel.isEmpty() ? QStringLiteral("default") : options.simulateModel);
    QObject::connect(&app, &QtSingleApplication::messageReceived, core, &AppCore::OnShowDriver);
    QObject::connect(&quitOnSignal, &QuitOnSignal::Signalled, core, [core](int number) {
        qInfo() << "Signal" << number << "received: closing as Exit does";
        emit core->UsageRecord(QStringLiteral("ExitDriver"));
        QApplication::quit();
    });

    // Closing the window only hides it into the tray, so the tray is there in both cases.
    core->createTrayIcon(std::move(trayIcon));
    if (options.minimised)
        core->setStartedMinimised(true);
    else
        core->window().show();

    const int code = app.exec();
    delete core;
    return code;
}
