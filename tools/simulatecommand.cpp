#include "tools/simulatecommand.h"

#include "sim/simcontrol.h"

#include <QElapsedTimer>
#include <QLocalSocket>

#include <cstdio>

namespace {

const char kSimulateHelp[] = R"(usage: inkora-hidtool simulate [--socket PATH] COMMAND [ARGUMENTS...]

Sends one command to the simulated tablets of a running `Inkora --simulate` and prints
its answer ("ok ..." or "error: ..."). T is a tablet's number, bN for a Bluetooth
tablet, or a model key.

  list                                      the simulated tablets, as N:MODEL (Bluetooth
                                            ones as bN:MODEL)
  plug MODEL                                plug a tablet in (model key or 0x product id)
  unplug T                                  pull it out
  keys T BITS [RING]                        express keys down (bit 0 is key 1; 0 lets go)
                                            with the report's ring byte (default 0)
  battery T PERCENT [CHARGING]              a battery report (0..100, CHARGING 0 or 1)
  pen T X Y PRESSURE [BUTTONS [INRANGE]]    one pen report: X Y in device units, PRESSURE
                                            0..8191, BUTTONS bits 0x1 tip, 0x2 lower and
                                            0x4 upper barrel button, 0x8 eraser end (default
                                            0: hovering), INRANGE 0 takes the pen away
  stroke T X0 Y0 X1 Y1 STEPS PRESSURE [MS]  a straight stroke, MS between reports
  mode T                                    the report mode the program last set
  pending T                                 reports queued and not read yet

The socket is "inkora-simulate" in $XDG_RUNTIME_DIR unless --socket names another.

Exit codes: 0 "ok", 1 "error: ...", 2 bad command line or no Inkora --simulate running.
)";

constexpr int kAnswerWaitMs = 10000;

} // namespace

int SimulateCommand(const QStringList &args)
{
    QString path = SimControl::DefaultSocketPath();
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (words.isEmpty() && (a == QLatin1String("--help") || a == QLatin1String("-h"))) {
            std::fputs(kSimulateHelp, stdout);
            return 0;
        }
        if (words.isEmpty() && a == QLatin1String("--socket") && i + 1 < args.size()) {
            path = args.at(++i);
            continue;
        }
        words << a;
    }
    if (words.isEmpty()) {
        std::fputs(kSimulateHelp, stderr);
        return 2;
    }

    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(5000)) {
        const bool absent = socket.error() == QLocalSocket::ServerNotFoundError
                            || socket.error() == QLocalSocket::ConnectionRefusedError;
        if (absent)
            std::fprintf(stderr, "Inkora --simulate is not running (no control socket %s)\n", qPrintable(path));
        else
            std::fprintf(stderr, "cannot reach Inkora --simulate at %s: %s\n", qPrintable(path),
                         qPrintable(socket.errorString()));
        return 2;
    }
    socket.write(words.join(QLatin1Char(' ')).toUtf8() + '\n');
    QElapsedTimer timer;
    timer.start();
    while (!socket.canReadLine() && timer.elapsed() < kAnswerWaitMs) {
        if (!socket.waitForReadyRead(100) && socket.state() != QLocalSocket::ConnectedState)
            break;
    }
    if (!socket.canReadLine()) {
        std::fprintf(stderr, "no answer from %s\n", qPrintable(path));
        return 2;
    }
    const QByteArray answer = socket.readLine().trimmed();
    std::printf("%s\n", answer.constData());
    return answer == "ok" || answer.startsWith("ok ") ? 0 : 1;
}
