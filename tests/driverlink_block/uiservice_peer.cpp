// Test stand-in for the UI service: registers its window, answers the start messages
// from the shared block the way the service does, and posts the finish messages to
// Inkora's window. It writes the block with its own byte code, not Inkora's, so the
// tests check Inkora's reading against an independent writer.
//
// Answers to a start message, from the rectangle in the block when it finishes:
//   selection:   area (SX + 10, SY + 20, SW / 2, SH / 2), then 1525 posted
//   calibration: fKX 1.25, fKY 0.75, fXLC SX + 0.5, fYLC SY - 0.25, then 1527 posted
// With INKORA_PEER_HOLD=1 in the environment it finishes only on PeerFinish, so a test
// can send a second start while the first is open.
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtEndian>

#include <cstring>

namespace {

constexpr quint32 WM_CLOSE = 0x0010;
constexpr quint32 SelectStart = 1524;
constexpr quint32 SelectFinish = 1525;
constexpr quint32 CalibrationStart = 1526;
constexpr quint32 CalibrationFinish = 1527;
// Test controls (WM_APP range): finish the open request; how many starts were seen.
constexpr quint32 PeerFinish = 0x8001;
constexpr quint32 PeerStartCount = 0x8002;

// Nobody waits for a forgotten peer longer than this.
constexpr int kIdleLimitMs = 120000;

class Peer {
public:
    Peer() : m_hold(qEnvironmentVariable("INKORA_PEER_HOLD") == QLatin1String("1")) {}

    bool start()
    {
        m_endpoint = m_window.createEndpoint(QStringLiteral("Qt5QWindowIcon"), QStringLiteral("InkoraUIService"));
        if (!m_endpoint)
            return false;
        QObject::connect(m_endpoint.get(), &WindowEndpoint::messageReceived,
                         [this](quint32 message, qint64, qint64) { handle(message); });
        return true;
    }

private:
    void handle(quint32 message)
    {
        switch (message) {
        case SelectStart:
        case CalibrationStart:
            ++m_starts;
            qInfo("peer: start %u", message);
            // Each start opens the block again, as the service's windows do.
            m_block = m_ipc.openSharedMemory(QStringLiteral("Local\\VT_QT_SHAREDMEMERYDATA"), 32, false, nullptr);
            if (!m_block) {
                qWarning("peer: no shared block");
                return;
            }
            m_open = message;
            if (!m_hold)
                finish();
            break;
        case PeerFinish:
            finish();
            break;
        case PeerStartCount:
            m_endpoint->setResult(m_starts);
            break;
        case WM_CLOSE:
            QCoreApplication::quit();
            break;
        default:
            break;
        }
    }

    void finish()
    {
        if (!m_block || m_open == 0)
            return;
        uint8_t *b = m_block->data();
        const qint32 x = qFromLittleEndian<qint32>(b + 0);
        const qint32 y = qFromLittleEndian<qint32>(b + 4);
        const qint32 w = qFromLittleEndian<qint32>(b + 8);
        const qint32 h = qFromLittleEndian<qint32>(b + 12);
        quint32 reply = 0;
        if (m_open == SelectStart) {
            qToLittleEndian<qint32>(x + 10, b + 0);
            qToLittleEndian<qint32>(y + 20, b + 4);
            qToLittleEndian<qint32>(w / 2, b + 8);
            qToLittleEndian<qint32>(h / 2, b + 12);
            reply = SelectFinish;
        } else {
            const float values[4] = {1.25f, 0.75f, x + 0.5f, y - 0.25f};
            for (int i = 0; i < 4; ++i) {
                quint32 bits;
                std::memcpy(&bits, &values[i], sizeof(bits));
                qToLittleEndian<quint32>(bits, b + 16 + 4 * i);
            }
            reply = CalibrationFinish;
        }
        m_open = 0;
        const WindowHandle inkora = m_window.findWindow(QStringLiteral("Qt5QWindowIcon"), QStringLiteral("Inkora"));
        if (!m_window.postMessage(inkora, reply, 0, 0))
            qWarning("peer: Inkora's window not found, result left in the block");
    }

    bool m_hold;
    LocalSocketWindowBackend m_window;
    PosixIpcBackend m_ipc;
    std::unique_ptr<WindowEndpoint> m_endpoint;
    std::unique_ptr<SharedMemory> m_block;
    quint32 m_open = 0;
    int m_starts = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Peer peer;
    if (!peer.start())
        return 1;
    QTimer::singleShot(kIdleLimitMs, &app, &QCoreApplication::quit);
    return app.exec();
}
