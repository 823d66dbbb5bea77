#pragma once
// A headless sway of the test's own (no GPU, no input devices), with XWayland. sway
// refuses to run as root: as root it is started as the user "nobody" with a runtime
// folder of its own (0700, owned by nobody). Stopped when the object goes.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class SwayServer {
public:
    SwayServer() = default;
    ~SwayServer();
    SwayServer(const SwayServer &) = delete;
    SwayServer &operator=(const SwayServer &) = delete;

    // Starts sway with `outputs` headless outputs (HEADLESS-1...) and the config lines.
    // False with *why: *skip tells a missing sway or no way to run unprivileged (the
    // caller skips) from sway not coming up (the caller fails).
    bool Start(int outputs, const QStringList &config, QString *why, bool *skip);
    // Ends sway (its clients go with it). Start again for a restart on the same socket.
    void Stop();

    const QByteArray &socketPath() const { return m_socket; }
    const QByteArray &waylandDisplay() const { return m_wayland; }
    const QByteArray &x11Display() const { return m_x11; }
    const QString &folder() const { return m_folder; }

    // One sway IPC message (swaymsg's types: 0 command, 3 outputs, 4 tree); the reply.
    QByteArray Message(uint32_t type, const QByteArray &payload = QByteArray());
    // Starts a program inside the session (sway's exec, as sway's user).
    bool Exec(const QString &command);

private:
    QProcess m_sway;
    QString m_folder;
    QByteArray m_socket;
    QByteArray m_wayland;
    QByteArray m_x11;
    QStringList m_config;
    int m_outputs = 0;
};
