#pragma once
// The foreground facility: which program owns the window the user works in. The action
// engine asks for every packet, so the answer is a snapshot that backends keep ready
// and replace when the active window changes; reading it costs no window query.

#include <QString>

#include <cstdint>
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

    // Changes whenever current() may answer differently, so a reader that saw the same
    // stamp of the same backend may keep the record it holds instead of copying the
    // shared pointer (whose count every reading thread would otherwise write to, for
    // every packet). Drawn from one process-wide sequence, so a backend made later at
    // the same address never repeats a stamp of an earlier one. 0: not stamped; read
    // current() every time. Any thread.
    virtual uint64_t changeStamp() const { return 0; }

protected:
    // The next stamp of the process-wide sequence (never 0).
    static uint64_t NextChangeStamp();
};

// One reader's copy of the foreground record (the action engine keeps one per tablet,
// on its reading thread): copied again only when the backend's stamp moved.
class ForegroundSnapshot {
public:
    // The record in force; valid until the next read() or reset(). Null backend: null.
    const ForegroundWindow *read(const ForegroundBackend *backend)
    {
        if (!backend) {
            reset();
            return nullptr;
        }
        // The stamp first: a record published after it is only fresher, and the next
        // read sees the new stamp.
        const uint64_t stamp = backend->changeStamp();
        if (!m_window || stamp == 0 || stamp != m_stamp || backend != m_backend) {
            m_window = backend->current();
            m_backend = backend;
            m_stamp = stamp;
        }
        return m_window.get();
    }
    void reset()
    {
        m_window.reset();
        m_backend = nullptr;
        m_stamp = 0;
    }

private:
    std::shared_ptr<const ForegroundWindow> m_window;
    const ForegroundBackend *m_backend = nullptr;
    uint64_t m_stamp = 0;
};
