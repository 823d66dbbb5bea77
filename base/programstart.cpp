#include "base/programstart.h"

#include "platform/display/linux/x11session.h"
#include "platform/session/desktopsession.h"

#include <QString>

#include <cstdio>
#include <cstring>

const char *ProgramVersion()
{
    return INKORA_VERSION_TEXT;
}

int CheckProgramStart(int argc, char **argv, const ProgramHelp &help)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s", help.text);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", help.program, ProgramVersion());
            return 0;
        }
    }
    // Our windows stay on the X platform through XWayland in a Wayland session.
    const DesktopSession session = DetectDesktopSession();
    PinToolkitToX11(session);
    QString why;
    if (!X11Session::DisplayUsable(&why)) {
        if (session.isWayland() && !session.hasX11())
            why = QStringLiteral("no display: this Wayland session has no XWayland (DISPLAY is not set), which our "
                                 "windows need; start XWayland or set QT_QPA_PLATFORM=wayland (windows then cannot "
                                 "place themselves)");
        std::fprintf(stderr, "%s: %s\n", help.program, why.toLocal8Bit().constData());
        return 1;
    }
    return -1;
}
