#pragma once
// The real program as one user of its own: a private home, per-user, runtime and
// installation folder (the build's programs linked or copied beside their default
// files, so a test may give the installation its own switches), and an environment of
// its own into which nothing of the machine's session leaks (no session or system bus,
// no proxy). Every program started here is killed when the object goes, whatever the
// test did.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

class InkoraRun {
public:
    InkoraRun();
    ~InkoraRun();
    InkoraRun(const InkoraRun &) = delete;
    InkoraRun &operator=(const InkoraRun &) = delete;

    // Lays out the folders and the installation. False with *why when a file of the
    // build is missing.
    bool Prepare(QString *why);

    QString root() const { return m_root.path(); }
    QString installFolder() const { return m_root.filePath(QStringLiteral("install")); }
    QString dataFolder() const { return m_root.filePath(QStringLiteral("xdg/Inkora V3")); }
    QString logPath() const { return dataFolder() + QStringLiteral("/log.txt"); }
    QString socketPath() const { return m_root.filePath(QStringLiteral("run/inkora-simulate")); }

    void SetDisplay(const QByteArray &display);
    void SetEnvironment(const QString &name, const QString &value);

    // Starts the program of the installation with arguments; null when it did not start.
    // Owned here.
    QProcess *Start(const QStringList &arguments, const QString &program = QStringLiteral("Inkora"));

    // What the programs started here printed (Qt's own warnings), one after the other.
    QByteArray Output() const;
    QByteArray Log() const;
    // The log's lines without their CR LF.
    QList<QByteArray> LogLines() const;
    bool WaitForLog(const QByteArray &text, int timeoutMs = kTimeoutMs) const;

    // One command through the control socket of the simulated tablets; its answer line,
    // or "no answer: WHY".
    QString Command(const QString &line) const;

    // Polls condition (running this thread's events in between) until it holds or
    // timeoutMs passed; its last value.
    static bool WaitFor(const std::function<bool()> &condition, int timeoutMs = kTimeoutMs);
    static constexpr int kTimeoutMs = 20000;

private:
    QTemporaryDir m_root;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
