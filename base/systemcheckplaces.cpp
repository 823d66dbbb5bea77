#include "base/systemcheckplaces.h"

#include "base/paths.h"

SystemCheckPlaces UserSystemCheckPlaces()
{
    SystemCheckPlaces p;
    p.expectedRules = InstalledRulesTemplate();
    p.instanceEndpoint = Paths::instanceEndpoint(QString::fromLatin1(Paths::kProgramInstanceId));
    // The log handler's default name in the data folder.
    p.logPath = Paths::dataFolder() + QStringLiteral("/log.txt");
    return p;
}
