// Custom function texts come from profile files users edit and exchange, and from the
// keypad's on-board store: outside input. Any text, pressed and released, as a key's or
// as a ring's function, runs without a crash, and every key it presses it also lets go.
#include "action/actionsystem.h"
#include "action/caction.h"
#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/input/recordinginputinjector.h"

#include <cstdlib>
#include <map>

namespace {

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool silenced = [] {
        qInstallMessageHandler(Silence);
        return true;
    }();
    (void)silenced;

    // Fresh recording services per input: they keep what they record.
    RecordingInputInjector input;
    FixedForegroundBackend foreground;
    RecordingActionSystem system; // records programs, files and waits; runs none
    CAction action(0);
    action.SetServices(&input, &foreground, &system);

    std::map<uint32_t, int> held; // scan code and extended flag -> presses not yet let go
    input.setKeyHandler([&held](const KeyInput &k) {
        const uint32_t key = uint32_t(k.scan) << 1 | ((k.flags & KeyExtended) ? 1u : 0u);
        held[key] += (k.flags & KeyUp) ? -1 : 1;
    });

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    action.ParseCustomFunction(text, true);
    action.ParseCustomFunction(text, false);
    for (int direction : {-1, 1}) {
        action.RingCustomFunction(text, direction, true);
        action.RingCustomFunction(text, direction, false);
    }
    for (const auto &entry : held) {
        if (entry.second > 0)
            std::abort(); // a key stays down after its function ended
    }
    return 0;
}
