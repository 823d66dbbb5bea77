#pragma once
// The foreground facility: which program owns the window the user works in. The action
// engine asks for every packet, so the answer is a snapshot that backends keep ready
// and replace when the active window changes; reading it costs no window query.

#include <QString>

#include <memory>

struct ForegroundWindow {
    QString windowClass; // class of the active window (of the hosted window for frames)
    qint64 pid = 0;      // its process; 0 when unknown
    QString path;        // absolute path of the process's executable; empty when unknown
    bool x11 = false;    // a Wayland compositor says the window is an X client (XWayland)
};

class ForegroundBackend {
public:
    virtual ~ForegroundBackend() = default;

    // The active window now. Never null (an empty record when nothing is known). Any
    // thread; the record does not change once returned.
    virtual std::shared_ptr<const ForegroundWindow> current() const = 0;
};
