#pragma once
// Collects the Qt log lines written while it lives.
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

class LogCapture
{
public:
    LogCapture() { m_Previous = qInstallMessageHandler(&LogCapture::Handler); }
    ~LogCapture()
    {
        qInstallMessageHandler(m_Previous);
        QMutexLocker lock(&Mutex());
        Lines().clear();
    }

    QStringList lines() const
    {
        QMutexLocker lock(&Mutex());
        return Lines();
    }

private:
    static void Handler(QtMsgType, const QMessageLogContext &, const QString &text)
    {
        QMutexLocker lock(&Mutex());
        Lines().append(text);
    }
    static QStringList &Lines()
    {
        static QStringList lines;
        return lines;
    }
    static QMutex &Mutex()
    {
        static QMutex mutex;
        return mutex;
    }
    QtMessageHandler m_Previous;
};
