#pragma once
// Grabs of the kernel's input nodes of one HID device. While a node is grabbed, its
// events reach only us (and we do not read them): the kernel's own pointer motion from
// the tablet stops, hidraw still gets every report. A grab ends when its descriptor
// closes, so a crash releases it too.

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

// The system side, faked in tests.
class InputGrabber {
public:
    virtual ~InputGrabber() = default;
    // Opens an event node and grabs it: the descriptor, or -1.
    virtual int grab(const QString &devnode) = 0;
    // Ungrabs and closes a descriptor grab() gave.
    virtual void release(int fd) = 0;
    // False once the node behind a descriptor is gone (its name may come back for a new
    // node, which then needs a grab of its own).
    virtual bool alive(int fd) = 0;
};

// EVIOCGRAB on /dev/input/event* nodes.
class EvdevGrabber : public InputGrabber {
public:
    int grab(const QString &devnode) override;
    void release(int fd) override;
    bool alive(int fd) override;
};

// The grabs held for one open device. Not thread-safe: one owner thread (the device
// serialises calls).
class InputGrab {
public:
    explicit InputGrab(std::shared_ptr<InputGrabber> grabber);
    ~InputGrab();
    InputGrab(const InputGrab &) = delete;
    InputGrab &operator=(const InputGrab &) = delete;

    // Holds exactly the given nodes: grabs those not held yet, releases held ones that
    // are no longer listed or whose node died (a node that went away and came back under
    // the same name gets a fresh grab).
    // Returns the number of nodes held.
    int hold(const QStringList &devnodes);
    void releaseAll();

private:
    struct Held {
        QString devnode;
        int fd;
    };
    std::shared_ptr<InputGrabber> m_grabber;
    QVector<Held> m_held;
};
