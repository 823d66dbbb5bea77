#include "app/startupoptions.h"

namespace {
StartupOptions g_options; // written once at start-up, see the header
}

StartupOptions parseStartupArguments(const QStringList &arguments)
{
    StartupOptions options;
    const QString simulate = QStringLiteral("--simulate");
    const QString vhidRecord = QStringLiteral("--vhid-record=");
    QStringList rest;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == simulate) {
            options.simulate = true;
        } else if (argument.startsWith(simulate + QLatin1Char('='))) {
            options.simulate = true;
            options.simulateModel = argument.mid(simulate.size() + 1);
        } else if (argument.startsWith(vhidRecord)) {
            options.vhidRecordFile = argument.mid(vhidRecord.size());
        } else {
            rest.append(argument);
        }
    }
    options.minimised = !rest.isEmpty() && rest.first() == QStringLiteral("/mini");
    return options;
}

const StartupOptions &startupOptions()
{
    return g_options;
}

void setStartupOptions(const StartupOptions &options)
{
    g_options = options;
}
