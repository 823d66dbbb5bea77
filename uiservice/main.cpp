// InkoraUIService: started by Inkora on the first screen-area selection or calibration
// and kept running; it waits for Inkora's start messages on its hidden message window.
#include "base/language.h"
#include "base/paths.h"
#include "base/programstart.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/locale/linux/systemlocalebackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"
#include "uiservice/mainwindow.h"
#include "uiservice/tipslanguage.h"

#include <QApplication>
#include <QDebug>

namespace {
const char kHelp[] = R"(usage: InkoraUIService
Inkora starts this program when the user selects a screen area or calibrates a pen
display; it then waits for Inkora's requests and shows the full-screen windows for them.
  --help     this text
  --version  the program's version
)";
} // namespace

int main(int argc, char **argv)
{
    const int early = CheckProgramStart(argc, argv, {"InkoraUIService", kHelp});
    if (early >= 0)
        return early;
    QApplication app(argc, argv);

    SystemLocaleBackend locale;
    LocalSocketWindowBackend window;
    PosixIpcBackend ipc;
    const CaptionFile captions{QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                   + QLatin1String(TipsLanguage::FileName),
                               TipsLanguage::groupForGroup(Language::systemGroup(locale)), Paths::dataFolder()};
    qInfo().noquote() << "InkoraUIService: locale" << locale.uiLocaleNames().join(QLatin1Char('|')) << ", caption group"
                      << captions.Group();

    UiService::MainWindow messageWindow(&window, &ipc, captions);
    if (!messageWindow.IsRegistered())
        return 1;
    // Inkora finds the message window through the window facility, not on screen: it is
    // not mapped, so no taskbar or pager lists it and it takes no click. The service
    // runs until Inkora ends it, whatever windows it has open.
    app.setQuitOnLastWindowClosed(false);
    return app.exec();
}
