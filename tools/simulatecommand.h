#pragma once
// `inkora-hidtool simulate COMMAND...`: one command line to the simulated tablets of a
// running `Inkora --simulate` (its control socket), and the answer printed.

#include <QStringList>

// Exit code: 0 answered "ok", 1 answered with an error, 2 no program to ask (or usage).
int SimulateCommand(const QStringList &args);
