#pragma once
// An Xvfb of the test's own: the server picks a free display number itself
// (-displayfd) and says it once it accepts clients, so nothing is guessed or waited for
// blindly. Stopped when the object goes.

#include <QByteArray>
#include <QProcess>
#include <QString>

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    // False with *why set when Xvfb is not installed (the caller skips) or did not come
    // up (the caller fails; *why says so). size: "WIDTHxHEIGHT" of screen 0, or empty
    // for the server's default.
    bool Start(const QString &size, QString *why);
    bool installed() const;
    // ":N", valid after a successful Start.
    const QByteArray &display() const { return m_display; }

private:
    QProcess m_server;
    QByteArray m_display;
};
