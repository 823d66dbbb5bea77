#pragma once
// The foreground facility: which program owns the window the user works in. The action
// engine asks for every packet, so the answer is a snapshot that backends keep ready
// and replace when the active window changes; reading it costs no window query.

#include <QString>

#include <atomic>
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

    // Grows whenever current() may answer differently, so a reader that saw the same
    // stamp of the same backend may keep the record it holds instead of copying the
    // shared pointer (whose count every reading thread would otherwise write to, for
    // every packet). 0: not stamped; read current() every time. Any thread.
    virtual uint64_t changeStamp() const { return 0; }

    // Tells this backend from every other one made in the process, even one made later
    // at the same address.
    uint64_t identity() const { return m_identity; }

protected:
    // The next number of one process-wide sequence (never 0): stamps and identities.
    static uint64_t NextChangeStamp();

    // The record a backend has in force, with its change stamp. set() stores the record
    // first and then a new stamp, so a reader that sees the new stamp finds the new
    // record. Any thread.
    class RecordInForce {
    public:
        RecordInForce() : RecordInForce(std::make_shared<const ForegroundWindow>()) { }
        explicit RecordInForce(std::shared_ptr<const ForegroundWindow> window)
            : m_window(std::move(window)), m_stamp(NextChangeStamp())
        { }
        std::shared_ptr<const ForegroundWindow> get() const { return std::atomic_load(&m_window); }
        uint64_t stamp() const { return m_stamp.load(std::memory_order_acquire); }
        void set(std::shared_ptr<const ForegroundWindow> window)
        {
            std::atomic_store(&m_window, std::move(window));
            m_stamp.store(NextChangeStamp(), std::memory_order_release);
        }

    private:
        std::shared_ptr<const ForegroundWindow> m_window; // std::atomic_load / atomic_store only
        std::atomic<uint64_t> m_stamp;
    };

private:
    const uint64_t m_identity = NextChangeStamp();
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
        if (!m_window || stamp == 0 || stamp != m_stamp || backend->identity() != m_backend) {
            m_window = backend->current();
            m_backend = backend->identity();
            m_stamp = stamp;
        }
        return m_window.get();
    }
    void reset()
    {
        m_window.reset();
        m_backend = 0;
        m_stamp = 0;
    }

private:
    std::shared_ptr<const ForegroundWindow> m_window;
    uint64_t m_backend = 0; // the identity of the backend m_window came from
    uint64_t m_stamp = 0;
};
