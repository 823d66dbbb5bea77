// The firmware loader protocol, both ways. Each input is a run of packets (one length
// byte, then that many bytes; the last packet takes what is left).
//  - As the tablet's loader replies they go to the updater window's reply handler:
//    "update finished" (result 1) comes only from the exact finished reply, and an erase
//    reply with no Start of ours never streams an image (result 99).
//  - As packets from the host they go to the simulated loader that the tests flash:
//    it never answers "update finished" unless the bytes it took have the size and the
//    CRC its last accepted Start announced.
#include "firmware/firmwareimage.h"
#include "firmware/firmwareupdate.h"
#include "sim/simloader.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

struct Announced {
    bool valid = false;
    uint32_t size = 0;
    uint16_t crc = 0;
};

// The Start packet as the loader reads it: 02 B2 02, size u32 LE, CRC u16 LE.
void NoteStart(const std::vector<uint8_t> &p, Announced *a)
{
    if (p.size() < 9 || p[0] != 0x02 || p[1] != 0xB2 || p[2] != 0x02)
        return;
    const uint32_t size = uint32_t(p[3]) | uint32_t(p[4]) << 8 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 24;
    if (size == 0 || size > uint32_t(SimLoader::kCapacity))
        return; // refused by the loader: the previous announcement no longer counts either
    a->valid = true;
    a->size = size;
    a->crc = uint16_t(p[7] | p[8] << 8);
}

bool IsFinishedReply(const std::vector<uint8_t> &p)
{
    return p.size() >= 4 && p[0] == 0x02 && p[1] == 0xB2 && p[2] == 0x02
        && p[3] == FirmwareImage::kReplyUpdateFinished;
}

} // namespace

// Fontconfig's configuration, which Qt reads once for widget fonts, lives until exit; the
// leak check at exit must not count it (the target runs without the suppression file too).
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_loader";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(Silence);
        return new QApplication(argc, argv);
    }();
    (void)app;
    static QTemporaryDir folder;
    // Never shown and never given a device: only its reply handler runs.
    static FirmwareUpdate *window = new FirmwareUpdate(folder.path(), folder.path(), 1033, true);
    static int lastResult = 0;
    static const bool connected = [] {
        QObject::connect(window, &FirmwareUpdate::UpdataResult, [](int code) { lastResult = code; });
        return true;
    }();
    (void)connected;

    SimLoader loader;
    Announced announced;
    size_t at = 0;
    while (at < size) {
        const size_t want = data[at++];
        const size_t n = std::min(want, size - at);
        std::vector<uint8_t> packet(data + at, data + at + n);
        at += n;

        lastResult = 0;
        window->ReceivtabletData(packet.empty() ? nullptr : packet.data(), int(n));
        if (lastResult == 1 && !IsFinishedReply(packet))
            std::abort();
        if (IsFinishedReply(packet) && lastResult != 1)
            std::abort();

        if (packet.empty())
            continue;
        NoteStart(packet, &announced);
        loader.write(packet.data(), int(n));
        uint8_t reply[64];
        int got = 0;
        while ((got = loader.read(reply, sizeof reply, 0)) > 0) {
            if (got >= 4 && reply[3] == FirmwareImage::kReplyUpdateFinished) {
                const QByteArray image = loader.image();
                if (!announced.valid || uint32_t(image.size()) != announced.size
                    || FirmwareImage::Crc16(image) != announced.crc)
                    std::abort();
            }
        }
    }
    return 0;
}
