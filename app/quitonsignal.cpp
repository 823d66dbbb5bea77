#include "app/quitonsignal.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler's end of the socket pair; -1 while no object is installed.
volatile sig_atomic_t g_writeFd = -1;

void OnSignal(int number)
{
    // Only async-signal-safe calls here. errno is the interrupted code's.
    const int saved = errno;
    const int fd = g_writeFd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(number);
        // A full socket already holds a signal that will end the loop.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

QuitOnSignal::QuitOnSignal(QObject *parent) : QObject(parent)
{
    if (g_writeFd >= 0) {
        qWarning() << "QuitOnSignal: a handler is installed already";
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0) {
        qWarning() << "QuitOnSignal: no socket pair:" << std::strerror(errno);
        m_fds[0] = m_fds[1] = -1;
        return;
    }
    g_writeFd = m_fds[0];
    m_pNotifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &QuitOnSignal::OnReadable);

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_bInstalled = true;
    for (const int number : kSignals) {
        if (::sigaction(number, &action, nullptr) != 0) {
            qWarning() << "QuitOnSignal: signal" << number << "not handled:" << std::strerror(errno);
            m_bInstalled = false;
        }
    }
}

QuitOnSignal::~QuitOnSignal()
{
    if (m_fds[0] < 0)
        return;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : kSignals)
        ::sigaction(number, &action, nullptr);
    g_writeFd = -1;
    delete m_pNotifier; // before its descriptor closes
    m_pNotifier = nullptr;
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

void QuitOnSignal::OnReadable()
{
    unsigned char byte = 0;
    // One signal per byte; every one that waits is told.
    while (::read(m_fds[1], &byte, 1) == 1)
        emit Signalled(int(byte));
}
