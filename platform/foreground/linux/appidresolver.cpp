#include "platform/foreground/linux/appidresolver.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <algorithm>

namespace {

// Desktop entries are small; anything larger is not one.
const qint64 kMaxEntryBytes = 256 * 1024;

// One value of the [Desktop Entry] group (QSettings would mangle the Exec= quoting).
QString EntryValue(const QByteArray &text, const QByteArray &key)
{
    bool inGroup = false;
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inGroup || !line.startsWith(key))
            continue;
        const QByteArray rest = line.mid(key.size()).trimmed();
        if (rest.startsWith('='))
            return QString::fromUtf8(rest.mid(1).trimmed());
    }
    return QString();
}

// Exec= split into arguments: double quotes group, a backslash escapes the next
// character inside them, field codes (%f, %U, ...) are dropped.
QStringList ExecArguments(const QString &exec)
{
    QStringList args;
    QString current;
    bool quoted = false, any = false;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size())
                current += exec.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                current += c;
        } else if (c == QLatin1Char('"')) {
            quoted = any = true;
        } else if (c.isSpace()) {
            if (any || !current.isEmpty())
                args << current;
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty())
        args << current;
    args.erase(std::remove_if(args.begin(), args.end(),
                              [](const QString &a) { return a.size() == 2 && a.startsWith(QLatin1Char('%')); }),
               args.end());
    return args;
}

// An app id is a name, never a path: nothing of it may reach outside the folders searched.
bool PlainName(const QString &appId)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.+-]*$"));
    return appId.size() <= 255 && plain.match(appId).hasMatch();
}

struct Process {
    qint64 pid = 0;
    QString exe;  // /proc/PID/exe
    QString name; // argv[0]'s file name, or comm
};

QList<Process> RunningProcesses(const QString &proc)
{
    QList<Process> list;
    const QStringList entries = QDir(proc).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        Process p;
        p.pid = pid;
        // Other users' processes show no exe: they are not the user's windows.
        p.exe = QFile::symLinkTarget(proc + QLatin1Char('/') + entry + QStringLiteral("/exe"));
        if (p.exe.isEmpty())
            continue;
        QFile cmdline(proc + QLatin1Char('/') + entry + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly))
            p.name = QFileInfo(QFile::decodeName(cmdline.read(4096).split('\0').value(0))).fileName();
        if (p.name.isEmpty()) {
            QFile comm(proc + QLatin1Char('/') + entry + QStringLiteral("/comm"));
            if (comm.open(QIODevice::ReadOnly))
                p.name = QString::fromUtf8(comm.readAll().trimmed());
        }
        list << p;
    }
    std::sort(list.begin(), list.end(), [](const Process &a, const Process &b) { return a.pid < b.pid; });
    return list;
}

} // namespace

AppIdResolver::Roots AppIdResolver::SystemRoots()
{
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    Roots roots;
    QString home = env.value(QStringLiteral("XDG_DATA_HOME"));
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    QString dirs = env.value(QStringLiteral("XDG_DATA_DIRS"));
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dir : (QStringList{home} + dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)))
        roots.applicationDirs << dir + QStringLiteral("/applications");
    roots.proc = QStringLiteral("/proc");
    roots.path = env.value(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"))
                     .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return roots;
}

AppIdResolver::AppIdResolver(Roots roots) : m_roots(std::move(roots)) { }

QString AppIdResolver::EntryFile(const QString &appId) const
{
    // The desktop file id: "a-b.desktop" may also be "a/b.desktop" under a folder.
    for (const QString &dir : m_roots.applicationDirs) {
        for (const QString &name : {appId, appId.toLower()}) {
            const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".desktop");
            if (QFileInfo(file).isFile())
                return file;
        }
    }
    for (const QString &dir : m_roots.applicationDirs) {
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString id = file.mid(dir.size() + 1).chopped(8).replace(QLatin1Char('/'), QLatin1Char('-'));
            if (id.compare(appId, Qt::CaseInsensitive) == 0)
                return file;
            QFile f(file);
            if (f.size() > kMaxEntryBytes || !f.open(QIODevice::ReadOnly))
                continue;
            if (EntryValue(f.readAll(), "StartupWMClass").compare(appId, Qt::CaseInsensitive) == 0)
                return file;
        }
    }
    return QString();
}

QString AppIdResolver::ExecProgram(const QString &entryFile) const
{
    QFile f(entryFile);
    if (f.size() > kMaxEntryBytes || !f.open(QIODevice::ReadOnly))
        return QString();
    QStringList args = ExecArguments(EntryValue(f.readAll(), "Exec"));
    // "env NAME=value program ...": the program is after the assignments.
    if (!args.isEmpty() && QFileInfo(args.first()).fileName() == QLatin1String("env")) {
        args.removeFirst();
        while (!args.isEmpty()
               && (args.first().contains(QLatin1Char('=')) || args.first().startsWith(QLatin1Char('-'))))
            args.removeFirst();
    }
    if (args.isEmpty())
        return QString();
    const QString program = args.first();
    if (program.startsWith(QLatin1Char('/')))
        return program;
    if (program.contains(QLatin1Char('/')))
        return QString();
    for (const QString &dir : m_roots.path) {
        const QFileInfo candidate(dir + QLatin1Char('/') + program);
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return QString();
}

QString AppIdResolver::ProgramOfEntry(const QString &appId)
{
    const auto cached = m_programs.constFind(appId);
    if (cached != m_programs.constEnd())
        return *cached;
    const QString entry = EntryFile(appId);
    const QString program = entry.isEmpty() ? QString() : ExecProgram(entry);
    if (!program.isEmpty())
        m_programs.insert(appId, program);
    return program;
}

ForegroundWindow AppIdResolver::Resolve(const QString &appId)
{
    ForegroundWindow window;
    window.windowClass = appId;
    if (!PlainName(appId)) {
        qWarning().noquote() << QStringLiteral("Foreground (wlroots): the active window's app id \"%1\" is not a name; "
                                               "the common profile applies")
                                    .arg(appId.left(64));
        return window;
    }
    const QString program = ProgramOfEntry(appId);
    const QString programFile = QFileInfo(program).canonicalFilePath(); // through symlinks
    const QString programName = QFileInfo(program).fileName();

    // The running process: the program file itself, else one named like it (a launcher
    // script's real binary) or like the app id (no desktop entry).
    const QList<Process> processes = RunningProcesses(m_roots.proc);
    const Process *match = nullptr;
    for (const Process &p : processes) {
        if (!programFile.isEmpty() && p.exe == programFile) {
            match = &p;
            break;
        }
    }
    for (int i = 0; !match && i < processes.size(); ++i) {
        const Process &p = processes.at(i);
        const QString exeName = QFileInfo(p.exe).fileName();
        if ((!programName.isEmpty() && (p.name == programName || exeName == programName))
            || p.name.compare(appId, Qt::CaseInsensitive) == 0 || exeName.compare(appId, Qt::CaseInsensitive) == 0)
            match = &p;
    }
    if (match) {
        window.pid = match->pid;
        window.path = match->exe;
    } else {
        window.path = programFile; // not running (or not ours): the entry's program
    }
    if (window.path.isEmpty())
        qWarning().noquote()
            << QStringLiteral("Foreground (wlroots): no program found for app id \"%1\"; the common profile applies")
                   .arg(appId);
    else
        qInfo() << "appPath" << window.path;
    return window;
}
