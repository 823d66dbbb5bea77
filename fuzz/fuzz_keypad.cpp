// The keypad profile document comes from the device's on-board store: outside input.
// Any byte string either reads into a profile or leaves it untouched, and a document
// that was read writes back into one that reads again to the same settings.
// The reader's sources are compiled into this target (fuzz/CMakeLists.txt).
#include "config/profilestore.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

std::unique_ptr<AppConfigNode> Blank()
{
    auto app = std::make_unique<AppConfigNode>();
    std::memset(app.get(), 0x5A, sizeof(AppConfigNode)); // anything but a parse result
    app->path[sizeof app->path - 1] = 0;
    return app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool silenced = [] {
        qInstallMessageHandler(Silence);
        return true;
    }();
    (void)silenced;

    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    auto app = Blank();
    const auto before = Blank();
    if (!ReadKeypadDocument(bytes, app.get())) {
        if (std::memcmp(app.get(), before.get(), sizeof(AppConfigNode)) != 0)
            std::abort(); // a refused document changes nothing
        return 0;
    }
    if (std::memchr(app->path, 0, sizeof app->path) == nullptr)
        std::abort();
    for (const KeyGroupConfig &g : app->groups) {
        for (const KeyConfig &k : g.keys) {
            if (std::memchr(k.custom, 0, sizeof k.custom) == nullptr)
                std::abort();
        }
    }
    auto again = Blank();
    if (!ReadKeypadDocument(WriteKeypadDocument(*app), again.get()))
        std::abort();
    if (again->SelectID != app->SelectID || again->ring.id != app->ring.id
        || std::strcmp(again->path, app->path) != 0)
        std::abort();
    return 0;
}
