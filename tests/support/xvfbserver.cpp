#include "xvfbserver.h"

#include <QStandardPaths>

XvfbServer::~XvfbServer()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        m_server.waitForFinished(10000);
    }
}

bool XvfbServer::installed() const
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
}

bool XvfbServer::Start(const QString &size, QString *why)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        *why = QStringLiteral("Xvfb is not installed (Debian package xvfb)");
        return false;
    }
    QStringList args{QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")};
    if (!size.isEmpty())
        args << QStringLiteral("-screen") << QStringLiteral("0") << size + QStringLiteral("x24");
    m_server.setProgram(xvfb);
    m_server.setArguments(args);
    m_server.start();
    if (!m_server.waitForStarted(10000)) {
        *why = QStringLiteral("Xvfb did not start: ") + m_server.errorString();
        return false;
    }
    QByteArray number;
    while (!number.contains('\n') && m_server.waitForReadyRead(20000))
        number += m_server.readAllStandardOutput();
    if (!number.contains('\n')) {
        *why = QStringLiteral("Xvfb did not say its display");
        return false;
    }
    m_display = ":" + number.trimmed();
    return true;
}
