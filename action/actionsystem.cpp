#include "action/actionsystem.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStringList>
#include <QThread>

bool DesktopActionSystem::StartProgram(const QString &program)
{
    return QProcess::startDetached(program, QStringList());
}

bool DesktopActionSystem::OpenUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

void DesktopActionSystem::Wait(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

bool RecordingActionSystem::StartProgram(const QString &program)
{
    Add({Request::Run, program, 0});
    return true;
}

bool RecordingActionSystem::OpenUrl(const QUrl &url)
{
    Add({Request::Open, url.toString(), 0});
    return true;
}

void RecordingActionSystem::Wait(int ms)
{
    Add({Request::Wait, QString(), ms});
}

void RecordingActionSystem::SetHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

void RecordingActionSystem::Add(const Request &request)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.append(request);
    if (m_handler)
        m_handler(request);
}
