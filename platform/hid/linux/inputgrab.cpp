#include "platform/hid/linux/inputgrab.h"

#include <QDebug>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

int EvdevGrabber::grab(const QString &devnode)
{
    const int fd = ::open(devnode.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        qWarning().noquote() << "input grab: cannot open" << devnode << ":" << std::strerror(errno);
        return -1;
    }
    if (::ioctl(fd, EVIOCGRAB, 1) != 0) {
        // EBUSY: another program holds it already.
        qWarning().noquote() << "input grab: EVIOCGRAB failed on" << devnode << ":" << std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

void EvdevGrabber::release(int fd)
{
    if (fd < 0)
        return;
    // Fails with ENODEV when the node is already gone; closing is what matters.
    ::ioctl(fd, EVIOCGRAB, 0);
    ::close(fd);
}

bool EvdevGrabber::alive(int fd)
{
    int version = 0;
    // A removed evdev device answers every ioctl with ENODEV.
    return ::ioctl(fd, EVIOCGVERSION, &version) == 0;
}

InputGrab::InputGrab(std::shared_ptr<InputGrabber> grabber) : m_grabber(std::move(grabber)) {}

InputGrab::~InputGrab()
{
    releaseAll();
}

int InputGrab::hold(const QStringList &devnodes)
{
    for (int i = m_held.size() - 1; i >= 0; --i) {
        if (!devnodes.contains(m_held[i].devnode) || !m_grabber->alive(m_held[i].fd)) {
            m_grabber->release(m_held[i].fd);
            m_held.remove(i);
        }
    }
    for (const QString &node : devnodes) {
        bool held = false;
        for (const Held &h : qAsConst(m_held))
            held = held || h.devnode == node;
        if (held)
            continue;
        const int fd = m_grabber->grab(node);
        if (fd >= 0)
            m_held.append(Held{node, fd});
    }
    return m_held.size();
}

void InputGrab::releaseAll()
{
    for (const Held &h : qAsConst(m_held))
        m_grabber->release(h.fd);
    m_held.clear();
}

