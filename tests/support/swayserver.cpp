#include "swayserver.h"

#include "platform/session/linux/swayipc.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

bool WaitFor(int ms, const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

SwayServer::~SwayServer()
{
    Stop();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

bool SwayServer::Start(int outputs, const QStringList &config, QString *why, bool *skip)
{
    *skip = true;
    const QString sway = QStandardPaths::findExecutable(QStringLiteral("sway"));
    if (sway.isEmpty()) {
        *why = QStringLiteral("sway is not installed (scripts/setup installs it)");
        return false;
    }
    const bool root = ::geteuid() == 0;
    const passwd *nobody = root ? ::getpwnam("nobody") : nullptr;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (root && (!nobody || setpriv.isEmpty())) {
        *why = QStringLiteral("running as root, and there is no user \"nobody\" or no setpriv to start sway as");
        return false;
    }
    if (m_folder.isEmpty()) {
        QByteArray tmpl = QDir::tempPath().toLocal8Bit() + "/inkora-sway-XXXXXX";
        if (!::mkdtemp(tmpl.data())) {
            *why = QStringLiteral("no temporary folder");
            return false;
        }
        m_folder = QString::fromLocal8Bit(tmpl);
    }
    m_outputs = outputs;
    m_config = config;
    QFile file(m_folder + QStringLiteral("/config"));
    if (!file.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("cannot write the sway config");
        return false;
    }
    file.write(config.join(QLatin1Char('\n')).toUtf8() + '\n');
    file.close();
    if (root
        && (::chown(QFile::encodeName(m_folder).constData(), nobody->pw_uid, nobody->pw_gid) != 0
            || ::chown(QFile::encodeName(file.fileName()).constData(), nobody->pw_uid, nobody->pw_gid) != 0)) {
        *why = QStringLiteral("cannot give the runtime folder to nobody");
        return false;
    }
    m_socket = QFile::encodeName(m_folder + QStringLiteral("/sway.sock"));
    QFile::remove(QFile::decodeName(m_socket)); // sway takes SWAYSOCK only when it does not exist

    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH", QStringLiteral("/usr/bin:/bin")));
    env.insert(QStringLiteral("HOME"), m_folder);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder);
    env.insert(QStringLiteral("SWAYSOCK"), QFile::decodeName(m_socket));
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QString::number(outputs));
    // No session bus: its clients must not autolaunch one that outlives the test.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    m_sway.setProcessEnvironment(env);
    m_sway.setProcessChannelMode(QProcess::MergedChannels);
    m_sway.setStandardOutputFile(m_folder + QStringLiteral("/sway.log"));
    const QStringList swayArgs{QStringLiteral("-c"), file.fileName()};
    if (root)
        m_sway.start(setpriv,
                     QStringList{QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                                 QStringLiteral("--regid=%1").arg(nobody->pw_gid), QStringLiteral("--clear-groups"),
                                 sway}
                         + swayArgs);
    else
        m_sway.start(sway, swayArgs);
    *skip = false;
    if (!m_sway.waitForStarted(5000)) {
        *why = QStringLiteral("sway did not start");
        return false;
    }
    // Up once it answers with its outputs; WAYLAND_DISPLAY and XWayland's DISPLAY as its
    // clients see them.
    const bool up =
        WaitFor(10000, [&] { return m_sway.state() == QProcess::Running && Message(3).count("\"name\"") >= outputs; });
    if (!up) {
        QFile log(m_folder + QStringLiteral("/sway.log"));
        log.open(QIODevice::ReadOnly);
        *why = QStringLiteral("sway did not come up: ") + QString::fromLocal8Bit(log.readAll().right(600));
        return false;
    }
    const QString envFile = m_folder + QStringLiteral("/env");
    // XWayland admits sway's user only; a test running as root is let in by name.
    Exec(QStringLiteral("xhost +si:localuser:%1 >/dev/null 2>&1 || true && echo \"$WAYLAND_DISPLAY $DISPLAY\" > %2.new "
                        "&& mv %2.new %2")
             .arg(QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name), envFile));
    if (!WaitFor(5000, [&] { return QFile::exists(envFile); })) {
        *why = QStringLiteral("sway does not run programs");
        return false;
    }
    QFile values(envFile);
    values.open(QIODevice::ReadOnly);
    const QList<QByteArray> parts = values.readAll().trimmed().split(' ');
    QFile::remove(envFile);
    m_wayland = parts.value(0);
    m_x11 = parts.value(1);
    return true;
}

void SwayServer::Stop()
{
    if (m_sway.state() == QProcess::NotRunning)
        return;
    // setpriv execs sway, so the process is sway itself.
    m_sway.terminate();
    if (!m_sway.waitForFinished(5000)) {
        m_sway.kill();
        m_sway.waitForFinished(2000);
    }
}

QByteArray SwayServer::Message(uint32_t type, const QByteArray &payload)
{
    SwayIpc ipc;
    QByteArray reply;
    if (!ipc.connectTo(m_socket) || !ipc.request(type, payload, &reply))
        return QByteArray();
    return reply;
}

bool SwayServer::Exec(const QString &command)
{
    return Message(0, "exec " + command.toUtf8()).contains("true");
}
