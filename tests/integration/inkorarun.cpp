#include "inkorarun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace {

// What the program takes from its folder: the programs, the library loaded by name,
// the resources and the default files.
const char *const kInstalledFiles[] = {"Inkora", "InkoraUIService", "FwFlasher", "libInkBLE.so", "resource.rcc",
                                       "Tipslanguage.ini"};

bool CopyFolder(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to))
        return false;
    for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (!(entry.isDir() ? CopyFolder(entry.filePath(), target) : QFile::copy(entry.filePath(), target)))
            return false;
    }
    return true;
}

} // namespace

InkoraRun::InkoraRun() = default;

InkoraRun::~InkoraRun()
{
    for (auto &process : m_processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
}

bool InkoraRun::Prepare(QString *why)
{
    if (!m_root.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    const QString bin = qEnvironmentVariable("INKORA_BIN_DIR");
    for (const char *folder : {"install", "home", "xdg", "data", "cache", "run"})
        QDir().mkpath(m_root.filePath(QLatin1String(folder)));
    QFile::setPermissions(m_root.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char *name : kInstalledFiles) {
        const QString from = bin + QLatin1Char('/') + QLatin1String(name);
        const QString to = installFolder() + QLatin1Char('/') + QLatin1String(name);
        // A hard link keeps this folder the program's own (it finds its files beside
        // /proc/self/exe, which a symbolic link would resolve away) without copying
        // 40 MB; a copy where links cannot be made.
        if (!QFile::exists(from) || !(::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
                                      || QFile::copy(from, to))) {
            *why = QStringLiteral("cannot install ") + from;
            return false;
        }
    }
    if (!CopyFolder(bin + QStringLiteral("/config"), installFolder() + QStringLiteral("/config"))) {
        *why = QStringLiteral("cannot copy ") + bin + QStringLiteral("/config");
        return false;
    }

    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("PATH"), system.value(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin")));
    m_env.insert(QStringLiteral("HOME"), m_root.filePath(QStringLiteral("home")));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("xdg")));
    m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_root.filePath(QStringLiteral("data")));
    m_env.insert(QStringLiteral("XDG_CACHE_HOME"), m_root.filePath(QStringLiteral("cache")));
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_root.filePath(QStringLiteral("run")));
    m_env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // The program draws no OpenGL; the X server has no GPU. (Mesa's GLX keeps an
    // allocation to the end, which a leak-checking build would count against the run.)
    m_env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    // No bus at all: the tray is the XEmbed one, and no service of the machine is asked.
    m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + m_root.filePath(QStringLiteral("no-bus")));
    m_env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=") + m_root.filePath(QStringLiteral("no-bus")));
    m_env.insert(QStringLiteral("no_proxy"), QStringLiteral("*"));
    // Sanitizer builds keep their settings.
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
        if (system.contains(QLatin1String(name)))
            m_env.insert(QLatin1String(name), system.value(QLatin1String(name)));
    }
    return true;
}

void InkoraRun::SetDisplay(const QByteArray &display)
{
    m_env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
}

void InkoraRun::SetEnvironment(const QString &name, const QString &value)
{
    m_env.insert(name, value);
}

QProcess *InkoraRun::Start(const QStringList &arguments, const QString &program)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_env);
    process->setWorkingDirectory(m_root.path());
    // The program's own output (Qt's warnings) is kept in a file for a failing test.
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(m_root.filePath(QStringLiteral("output-%1.txt").arg(m_processes.size())));
    process->start(installFolder() + QLatin1Char('/') + program, arguments);
    if (!process->waitForStarted(10000))
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QByteArray InkoraRun::Output() const
{
    QByteArray all;
    for (size_t i = 0; i < m_processes.size(); ++i) {
        QFile file(m_root.filePath(QStringLiteral("output-%1.txt").arg(i)));
        if (file.open(QIODevice::ReadOnly))
            all += "--- program " + QByteArray::number(qulonglong(i)) + " ---\n" + file.readAll();
    }
    return all;
}

QByteArray InkoraRun::Log() const
{
    QFile file(logPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> InkoraRun::LogLines() const
{
    QList<QByteArray> lines;
    for (QByteArray line : Log().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

bool InkoraRun::WaitForLog(const QByteArray &text, int timeoutMs) const
{
    return WaitFor([&] { return Log().contains(text); }, timeoutMs);
}

QString InkoraRun::Command(const QString &line) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(5000))
        return QStringLiteral("no answer: ") + socket.errorString();
    socket.write(line.toUtf8() + '\n');
    QElapsedTimer timer;
    timer.start();
    while (!socket.canReadLine() && timer.elapsed() < kTimeoutMs) {
        if (!socket.waitForReadyRead(100) && socket.state() != QLocalSocket::ConnectedState)
            break;
    }
    if (!socket.canReadLine())
        return QStringLiteral("no answer: ") + socket.errorString();
    return QString::fromUtf8(socket.readLine()).trimmed();
}

bool InkoraRun::WaitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (condition())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return condition();
}
