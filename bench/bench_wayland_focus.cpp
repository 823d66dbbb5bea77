// Foreground switch latency on sway: from a focus command sent over sway's IPC to the
// moment the action engine's per-packet lookup (ForegroundBackend::current) returns the
// new window's record, i.e. the profile the next packet resolves. Starts its own
// headless sway (as "nobody" when run as root) with two terminals side by side and
// moves the focus between them. A plain program that prints a table; not a test.
//
//   build/bench/bench_wayland_focus [ROUNDS]

#include "platform/foreground/linux/foregroundfactory.h"
#include "platform/session/desktopsession.h"
#include "tests/support/swayserver.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <thread>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(10, atoi(argv[1])) : 200;
    SwayServer sway;
    QString why;
    bool skip = false;
    if (!sway.Start(1, {QStringLiteral("xwayland disable")}, &why, &skip)) {
        std::fprintf(stderr, "bench_wayland_focus: %s\n", why.toLocal8Bit().constData());
        return skip ? 0 : 1;
    }
    const DesktopSession session = DetectDesktopSession([&](const char *name) -> QByteArray {
        if (qstrcmp(name, "WAYLAND_DISPLAY") == 0)
            return sway.waylandDisplay();
        if (qstrcmp(name, "SWAYSOCK") == 0)
            return sway.socketPath();
        return QByteArray();
    });
    ForegroundChoice choice = CreateForegroundBackend(session);
    ForegroundBackend &foreground = *choice.backend;
    sway.Exec(QStringLiteral("foot sleep 600"));
    sway.Exec(QStringLiteral("foot sleep 600"));
    // Both up: two windows in the tree.
    for (int i = 0; i < 500 && sway.Message(4).count("\"pid\"") < 2; ++i)
        QThread::msleep(10);

    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    for (int i = 0; i < rounds; ++i) {
        const auto before = foreground.current();
        const auto start = Clock::now();
        sway.Message(0, (i % 2) ? "focus left" : "focus right");
        // Spin as a reading thread would poll at packet rate, but without the 5 ms gap.
        while (foreground.current() == before) {
            if (Clock::now() - start > std::chrono::seconds(2))
                break;
            std::this_thread::yield();
        }
        const auto end = Clock::now();
        if (foreground.current() != before)
            micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    if (micros.empty()) {
        std::fprintf(stderr, "bench_wayland_focus: no focus change was seen\n");
        return 1;
    }
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[std::min(micros.size() - 1, size_t(q * double(micros.size())))]; };
    std::printf("focus command -> new record in force (sway IPC, %zu of %d rounds)\n", micros.size(), rounds);
    std::printf("  median %.0f us   p95 %.0f us   max %.0f us\n", at(0.5), at(0.95), micros.back());
    std::printf("  (includes sway's handling of the command; a packet every 5 ms adds up to 5 ms)\n");
    return 0;
}
