#pragma once
// What actions do outside the injected input: start programs, open files and links, and
// the fixed waits between injected events. The program uses the desktop's; tests and
// the replay tool record the requests instead of carrying them out.

#include <QString>
#include <QUrl>
#include <QVector>

#include <functional>
#include <mutex>

class ActionSystem {
public:
    virtual ~ActionSystem() = default;
    // A program started on its own, with no arguments; false when it could not start.
    virtual bool StartProgram(const QString &program) = 0;
    // A file or link opened with the desktop's handler for it.
    virtual bool OpenUrl(const QUrl &url) = 0;
    // A fixed pause between injected events (applications drop events that come too
    // close together), in ms.
    virtual void Wait(int ms) = 0;
};

// QProcess::startDetached, QDesktopServices::openUrl and a sleep of the calling thread.
class DesktopActionSystem : public ActionSystem {
public:
    bool StartProgram(const QString &program) override;
    bool OpenUrl(const QUrl &url) override;
    void Wait(int ms) override;
};

// Records the requests in order and carries none of them out (no waiting either).
class RecordingActionSystem : public ActionSystem {
public:
    struct Request {
        enum Kind { Run, Open, Wait } kind;
        QString text; // program or URL
        int ms = 0;   // Wait
    };
    using Handler = std::function<void(const Request &)>;

    bool StartProgram(const QString &program) override;
    bool OpenUrl(const QUrl &url) override;
    void Wait(int ms) override;

    // Called for each request, under the recording's lock.
    void SetHandler(Handler handler);

private:
    void Add(const Request &request);

    mutable std::mutex m_mutex; // everything below
    QVector<Request> m_requests;
    Handler m_handler;
};
