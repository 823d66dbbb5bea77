#include "base/programstart.h"

#include "platform/display/linux/x11session.h"

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
    QString why;
    if (!X11Session::DisplayUsable(&why)) {
        std::fprintf(stderr, "%s: %s\n", help.program, why.toLocal8Bit().constData());
        return 1;
    }
    return -1;
}
