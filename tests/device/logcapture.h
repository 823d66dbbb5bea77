#pragma once
// Collects the Qt log lines written while it lives.
#include <mutex>
#include <QStringList>
#include <QtGlobal>

class LogCapture
{
public:
    LogCapture() { m_Previous = qInstallMessageHandler(&LogCapture::Handler); }
    ~LogCapture()
    {
        qInstallMessageHandler(m_Previous);
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().clear();
    }

    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(Mutex());
        return Lines();
    }

private:
    static void Handler(QtMsgType, const QMessageLogContext &, const QString &text)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().append(text);
    }
    static QStringList &Lines()
    {
        static QStringList lines;
        return lines;
    }
    static std::mutex &Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    QtMessageHandler m_Previous;
};
