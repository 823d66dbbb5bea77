#include "app/firmwarelaunch.h"

#include "device/tabletpacket.h"
#include "platform/window/windowbackend.h"

#include <QDebug>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QThread>

namespace FirmwareLaunch {

namespace {

constexpr char kUpdatablePid[] = "PID_0935";
constexpr char kUpdatableVersion[] = "KPX2000A-A";
constexpr int kLastOutdatedDate = 20211026; // yyyymmdd; this date itself needs the update
// The updater's window as the window facility names it.
constexpr char kUpdaterClass[] = "Qt5QWindowIcon";
constexpr char kUpdaterTitle[] = "Firmware Update";
constexpr char kUpdaterProgram[] = "/FwFlasher";
constexpr int kStartWaitMs = 500;
constexpr int kWindowPolls = 60;
constexpr int kWindowPollPauseMs = 10;
// The system command that brings a window back from the tray or the task bar.
constexpr quint32 kSysCommand = 0x0112;
constexpr qint64 kScRestore = 0xF120;

QString FixedText(const char *text, size_t size)
{
    return QString::fromLocal8Bit(text, int(qstrnlen(text, uint(size))));
}

void Restore(WindowBackend *window, const WindowHandle &handle)
{
    if (!window->postMessage(handle, kSysCommand, kScRestore, 0))
        qWarning() << "Firmware Update window did not take the restore command";
}

} // namespace

Outcome CheckTablet(const DeviceAttributes &attributes, WindowBackend *window, const QString &programFolder,
                    bool simulated, qint64 *startedPid)
{
    if (startedPid)
        *startedPid = 0;
    const QString pid = FixedText(attributes.PidText, sizeof attributes.PidText);
    const QString version = FixedText(attributes.ICVersion, sizeof attributes.ICVersion);
    if (pid != QLatin1String(kUpdatablePid) || version != QLatin1String(kUpdatableVersion))
        return Outcome::OtherTablet;

    const QString dateText = FixedText(attributes.ICData, sizeof attributes.ICData);
    bool isNumber = false;
    int date = dateText.left(8).toInt(&isNumber, 10);
    if (!isNumber)
        date = 0;

    // Shared with the updater, which reads them when its tablet shows up as the loader.
    QSettings facts(QStringLiteral("Niblo"), QStringLiteral("InkoraV2"));
    facts.beginGroup(QStringLiteral("Tablet"));
    facts.setValue(QStringLiteral("ICVersion"), version);
    facts.setValue(QStringLiteral("ICData"), date);
    facts.sync();
    if (date > kLastOutdatedDate)
        return Outcome::UpToDate;

    qInfo().noquote() << "KPX2000A-A need update" << dateText;
    const QString windowClass = QLatin1String(kUpdaterClass);
    const QString title = QLatin1String(kUpdaterTitle);
    WindowHandle updater = window ? window->findWindow(windowClass, title) : WindowHandle();
    if (updater.isValid()) {
        Restore(window, updater);
        return Outcome::WindowRestored;
    }

    // Started detached: the updater must outlive this program's handle on it, and a
    // flash in progress must never be ended because the main program quits.
    const QString program = programFolder + QLatin1String(kUpdaterProgram);
    QProcess process;
    process.setProgram(program);
    process.setArguments(QStringList());
    if (simulated) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("INKORA_FW_SIMULATE"), QStringLiteral("1"));
        process.setProcessEnvironment(environment);
    }
    qint64 pidOfUpdater = 0;
    if (!process.startDetached(&pidOfUpdater)) {
        qWarning().noquote() << "FwFlasher did not start:" << program;
        return Outcome::StartFailed;
    }
    qInfo().noquote() << "FwFlasher started:" << program << "pid" << pidOfUpdater;
    if (startedPid)
        *startedPid = pidOfUpdater;
    if (!window)
        return Outcome::NoWindow;

    // A bounded wait on the GUI thread: up to 500 ms for the program to come up, then
    // up to 60 looks for its window, 10 ms apart.
    for (int waited = 0; waited < kStartWaitMs && !updater.isValid(); waited += kWindowPollPauseMs) {
        QThread::msleep(kWindowPollPauseMs);
        updater = window->findWindow(windowClass, title);
    }
    int tries = 0;
    while (!updater.isValid() && tries < kWindowPolls) {
        ++tries;
        updater = window->findWindow(windowClass, title);
        if (!updater.isValid())
            QThread::msleep(kWindowPollPauseMs);
    }
    qInfo() << "Firmware Update window search tries:" << tries;
    if (!updater.isValid())
        return Outcome::NoWindow;
    Restore(window, updater);
    return Outcome::Started;
}

} // namespace FirmwareLaunch
