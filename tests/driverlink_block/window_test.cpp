// Window messages over local sockets: the frame, per-user endpoints, synchronous sends
// that return after the handler ran, posts that do not wait, and streams of garbage.
#include "platform/window/linux/localsocketwindowbackend.h"
#include "platform/window/linux/windowframe.h"
#include "tests/device/logcapture.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kClass = QStringLiteral("Qt5QWindowIcon");
constexpr quint32 kClose = 0x0010;

// Counts events across threads on a standard mutex, so thread sanitizer builds see the
// ordering (Qt's own locks are invisible to them).
class Tally {
public:
    void add()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_count;
        m_changed.notify_all();
    }
    bool waitFor(int count, int timeoutMs = 5000)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_count >= count; });
    }
    int count()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

// A window of another program: made, used and ended on a thread of its own, with a
// backend of its own. The test reaches it only through messages and what the handler
// records under its own locks.
class WindowThread : public QThread {
public:
    using Handler = std::function<qint64(WindowBackend &backend, quint32 message, qint64 wParam, qint64 lParam)>;

    WindowThread(const QString &folder, const QString &title, Handler handler)
        : m_folder(folder), m_title(title), m_handler(std::move(handler))
    {
        start();
        m_ready.waitFor(1);
    }
    // The window is closed by a message, so its thread ends its own event loop (a quit
    // from here would wake that loop from outside while it is closing).
    ~WindowThread() override
    {
        if (m_hasWindow) {
            LocalSocketWindowBackend closer(m_folder);
            closer.postMessage(closer.findWindow(kClass, m_title), kClose, 0, 0);
        }
        wait();
    }
    bool hasWindow() const { return m_hasWindow; }
    QThread *handlerThread() const { return m_handlerThread; }

protected:
    void run() override
    {
        LocalSocketWindowBackend backend(m_folder);
        std::unique_ptr<WindowEndpoint> endpoint = backend.createEndpoint(kClass, m_title);
        if (endpoint) {
            WindowEndpoint *window = endpoint.get();
            QObject::connect(window, &WindowEndpoint::messageReceived, window,
                             [&, window](quint32 message, qint64 wParam, qint64 lParam) {
                                 if (message == kClose) {
                                     quit();
                                     return;
                                 }
                                 m_handlerThread = QThread::currentThread();
                                 window->setResult(m_handler(backend, message, wParam, lParam));
                             });
        }
        m_hasWindow = endpoint != nullptr;
        m_ready.add();
        if (endpoint)
            exec();
    }

private:
    QString m_folder;
    QString m_title;
    Handler m_handler;
    Tally m_ready;
    std::atomic<bool> m_hasWindow{false};
    std::atomic<QThread *> m_handlerThread{nullptr};
};

class Window : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QTemporaryDir dir;
    LocalSocketWindowBackend backend{dir.path()};
};

} // namespace

TEST(WindowFrame, LaysOutFortyLittleEndianBytesAndRefusesAnythingElse)
{
    WindowFrame::Frame frame;
    frame.kind = WindowFrame::Kind::Send;
    frame.sequence = 7;
    frame.message = 1524;
    frame.wParam = -2;
    frame.lParam = 0x0102030405060708;
    const uchar expected[WindowFrame::Size] = {
        0x49, 0x4B, 0x57, 0x4D,                         // magic "IKWM"
        40, 0, 0, 0,                                    // frame size
        1, 0, 0, 0,                                     // send
        7, 0, 0, 0,                                     // sequence
        0xF4, 0x05, 0, 0,                               // message 1524
        0, 0, 0, 0,                                     // reserved
        0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, // wParam -2
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, // lParam
    };
    const QByteArray bytes = WindowFrame::encode(frame);
    ASSERT_EQ(bytes, QByteArray(reinterpret_cast<const char *>(expected), WindowFrame::Size));

    WindowFrame::Frame back;
    int consumed = 0;
    const char *why = "";
    EXPECT_EQ(WindowFrame::decode(bytes + "trailing", &back, &consumed, &why), WindowFrame::Parse::Complete);
    EXPECT_EQ(consumed, WindowFrame::Size);
    EXPECT_EQ(back.message, 1524u);
    EXPECT_EQ(back.wParam, -2);
    EXPECT_EQ(back.lParam, frame.lParam);
    EXPECT_EQ(WindowFrame::decode(bytes.left(39), &back, &consumed, &why), WindowFrame::Parse::NeedMore);

    // Garbage is refused as soon as its first bytes are in, not after 40 of them.
    EXPECT_EQ(WindowFrame::decode("GET ", &back, &consumed, &why), WindowFrame::Parse::Malformed);
    QByteArray wrong = bytes;
    wrong[4] = 41;
    EXPECT_EQ(WindowFrame::decode(wrong.left(8), &back, &consumed, &why), WindowFrame::Parse::Malformed);
    wrong = bytes;
    wrong[8] = 4;
    EXPECT_EQ(WindowFrame::decode(wrong, &back, &consumed, &why), WindowFrame::Parse::Malformed);
    wrong = bytes;
    wrong[20] = 1;
    EXPECT_EQ(WindowFrame::decode(wrong, &back, &consumed, &why), WindowFrame::Parse::Malformed);
}

TEST_F(Window, EndpointsArePrivateToTheUserAndFoundOnlyWhileAlive)
{
    EXPECT_FALSE(backend.findWindow(kClass, QStringLiteral("InkoraUIService")).isValid());
    auto endpoint = backend.createEndpoint(kClass, QStringLiteral("InkoraUIService"));
    ASSERT_TRUE(endpoint);
    const QString path = backend.endpointPath(kClass, QStringLiteral("InkoraUIService"));
    EXPECT_EQ(path, dir.path() + QStringLiteral("/inkora-%1-window-Qt5QWindowIcon-InkoraUIService").arg(::geteuid()));
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u);

    EXPECT_TRUE(backend.findWindow(kClass, QStringLiteral("InkoraUIService")).isValid());
    EXPECT_FALSE(backend.findWindow(kClass, QStringLiteral("Inkora")).isValid());
    // One live window per name; the texts cannot run into each other.
    EXPECT_FALSE(backend.createEndpoint(kClass, QStringLiteral("InkoraUIService")));
    EXPECT_NE(backend.endpointPath(QStringLiteral("a-b"), QStringLiteral("c")),
              backend.endpointPath(QStringLiteral("a"), QStringLiteral("b-c")));
    EXPECT_FALSE(backend.endpointPath(kClass, QStringLiteral("x/../y")).contains(QStringLiteral("/../")));

    endpoint.reset();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(backend.findWindow(kClass, QStringLiteral("InkoraUIService")).isValid());
}

TEST_F(Window, SocketLeftByACrashedProgramIsNotAWindowAndIsReplaced)
{
    const QString path = backend.endpointPath(kClass, QStringLiteral("InkoraUIService"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd); // bound, never listened: what a crash leaves behind

    EXPECT_FALSE(backend.findWindow(kClass, QStringLiteral("InkoraUIService")).isValid());
    auto endpoint = backend.createEndpoint(kClass, QStringLiteral("InkoraUIService"));
    ASSERT_TRUE(endpoint);
    EXPECT_TRUE(backend.findWindow(kClass, QStringLiteral("InkoraUIService")).isValid());
}

TEST_F(Window, FolderOthersMayEnterIsRefused)
{
    const QString open = dir.path() + QStringLiteral("/open");
    ASSERT_TRUE(QDir().mkdir(open));
    ::chmod(QFile::encodeName(open).constData(), 0777);
    LogCapture log;
    LocalSocketWindowBackend refused(open);
    EXPECT_TRUE(refused.folder().isEmpty());
    EXPECT_FALSE(refused.createEndpoint(kClass, QStringLiteral("Inkora")));
    EXPECT_TRUE(log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("not private")));
}

TEST_F(Window, SendReturnsAfterTheReceiverHandledItWithItsResult)
{
    std::atomic<int> handled{0};
    WindowThread service(dir.path(), QStringLiteral("InkoraUIService"),
                         [&](WindowBackend &, quint32 message, qint64 wParam, qint64 lParam) {
                             ++handled;
                             return message + wParam + lParam;
                         });
    ASSERT_TRUE(service.hasWindow());

    const WindowHandle window = backend.findWindow(kClass, QStringLiteral("InkoraUIService"));
    ASSERT_TRUE(window.isValid());
    for (int i = 1; i <= 3; ++i) {
        qint64 result = -1;
        ASSERT_TRUE(backend.sendMessage(window, 1524, i, 100, 5000, &result));
        EXPECT_EQ(handled.load(), i);
        EXPECT_EQ(result, 1524 + i + 100);
    }
    EXPECT_EQ(service.handlerThread(), &service);
}

TEST_F(Window, PostReturnsWhileTheReceiverIsBusyAndKeepsTheOrder)
{
    Tally busy;
    Tally done;
    std::mutex lock;
    QVector<quint32> seen; // guarded by lock
    WindowThread service(dir.path(), QStringLiteral("InkoraUIService"),
                         [&](WindowBackend &, quint32 message, qint64, qint64) {
                             if (message == 1)
                                 busy.waitFor(1);
                             {
                                 std::lock_guard<std::mutex> locked(lock);
                                 seen.append(message);
                             }
                             done.add();
                             return 0;
                         });

    const WindowHandle window = backend.findWindow(kClass, QStringLiteral("InkoraUIService"));
    ASSERT_TRUE(backend.postMessage(window, 1, 0, 0));
    ASSERT_TRUE(backend.postMessage(window, 1525, 0, 0));
    ASSERT_TRUE(backend.postMessage(window, 1527, 0, 0));
    EXPECT_EQ(done.count(), 0); // the receiver is still in its first handler
    busy.add();
    ASSERT_TRUE(done.waitFor(3));
    std::lock_guard<std::mutex> locked(lock);
    EXPECT_EQ(seen, (QVector<quint32>{1, 1525, 1527}));
}

TEST_F(Window, LateReplyOfATimedOutSendIsNotTakenForTheNextOne)
{
    Tally busy;
    WindowThread service(dir.path(), QStringLiteral("InkoraUIService"),
                         [&](WindowBackend &, quint32 message, qint64, qint64) {
                             if (message == 1)
                                 busy.waitFor(1);
                             return message * 100;
                         });
    const WindowHandle window = backend.findWindow(kClass, QStringLiteral("InkoraUIService"));
    LogCapture log;
    EXPECT_FALSE(backend.sendMessage(window, 1, 0, 0, 50));
    busy.add();
    qint64 result = 0;
    ASSERT_TRUE(backend.sendMessage(window, 2, 0, 0, 5000, &result));
    EXPECT_EQ(result, 200);
    EXPECT_TRUE(log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("did not handle message 1")));
}

TEST_F(Window, TwoWindowsSendingToEachOtherBothGetTheirAnswers)
{
    // This thread's window.
    auto inkora = backend.createEndpoint(kClass, QStringLiteral("Inkora"));
    ASSERT_TRUE(inkora);
    QObject::connect(inkora.get(), &WindowEndpoint::messageReceived, inkora.get(),
                     [&](quint32, qint64 wParam, qint64) { inkora->setResult(wParam + 1); });

    // The other window answers a send by first sending to ours, while we wait for it.
    WindowThread service(dir.path(), QStringLiteral("InkoraUIService"),
                         [&](WindowBackend &own, quint32, qint64 wParam, qint64) {
                             qint64 inner = 0;
                             const WindowHandle back = own.findWindow(kClass, QStringLiteral("Inkora"));
                             own.sendMessage(back, 1525, wParam * 10, 0, 5000, &inner);
                             return inner;
                         });

    qint64 result = 0;
    ASSERT_TRUE(backend.sendMessage(backend.findWindow(kClass, QStringLiteral("InkoraUIService")), 1524, 4, 0,
                                    5000, &result));
    EXPECT_EQ(result, 41);
}

TEST_F(Window, SendToAWindowOfThisThreadIsHandledAtOnce)
{
    auto inkora = backend.createEndpoint(kClass, QStringLiteral("Inkora"));
    QObject::connect(inkora.get(), &WindowEndpoint::messageReceived, inkora.get(),
                     [&](quint32 message, qint64, qint64) { inkora->setResult(message); });
    qint64 result = 0;
    ASSERT_TRUE(backend.sendMessage(backend.findWindow(kClass, QStringLiteral("Inkora")), 1527, 0, 0, 5000, &result));
    EXPECT_EQ(result, 1527);
}

TEST_F(Window, MalformedStreamsAreDroppedAndLoggedAndTheWindowGoesOn)
{
    auto inkora = backend.createEndpoint(kClass, QStringLiteral("Inkora"));
    ASSERT_TRUE(inkora);
    QSignalSpy received(inkora.get(), &WindowEndpoint::messageReceived);
    const QString path = backend.endpointPath(kClass, QStringLiteral("Inkora"));
    LogCapture log;

    WindowFrame::Frame reply;
    reply.kind = WindowFrame::Kind::Reply;
    const QByteArray wrongKind = WindowFrame::encode(reply);
    const QByteArray badSize = QByteArray::fromHex("494B574DFFFFFF7F");
    for (const QByteArray &garbage : {QByteArray("GET / HTTP/1.0\r\n\r\n"), badSize, wrongKind}) {
        QLocalSocket peer;
        peer.connectToServer(path);
        ASSERT_TRUE(peer.waitForConnected(1000));
        peer.write(garbage);
        peer.flush();
        QSignalSpy closed(&peer, &QLocalSocket::disconnected);
        ASSERT_TRUE(closed.wait(5000)) << garbage.toHex().constData();
    }

    // Half a frame and gone.
    {
        QLocalSocket peer;
        peer.connectToServer(path);
        ASSERT_TRUE(peer.waitForConnected(1000));
        WindowFrame::Frame post;
        post.message = 1525;
        peer.write(WindowFrame::encode(post).left(20));
        peer.flush();
        peer.disconnectFromServer();
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("incomplete")); }, 5000));
    EXPECT_EQ(received.count(), 0);
    const QString text = log.lines().join(QLatin1Char('\n'));
    EXPECT_TRUE(text.contains(QStringLiteral("bad magic")));
    EXPECT_TRUE(text.contains(QStringLiteral("bad frame size")));
    EXPECT_TRUE(text.contains(QStringLiteral("reply frame sent to a window")));

    // A well-formed peer still gets through.
    LocalSocketWindowBackend sender(dir.path());
    ASSERT_TRUE(sender.postMessage(sender.findWindow(kClass, QStringLiteral("Inkora")), 1525, 0, 0));
    ASSERT_TRUE(received.wait(5000));
    EXPECT_EQ(received.at(0).at(0).value<quint32>(), 1525u);
}
