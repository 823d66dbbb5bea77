#pragma once
// `inkora-hidtool list` and `inkora-hidtool info PATH`.

#include "platform/hid/hidbackend.h"

#include <QString>
#include <QStringList>

#include <functional>

using HidToolOut = std::function<void(const QString &line)>;

// Every interface of the maker present, the model entry it matches or why it matches
// none (verbose: with the table entries of its product). Returns 0 when at least one
// interface matches a model entry, 1 when none does.
int RunHidList(HidBackend &backend, const HidToolOut &out, bool verbose = false);

// Why an interface text matches no model entry (empty when it matches one).
QString WhyNoModelMatch(const QString &path);

// Identity, geometry and capability block of one interface. Returns 0, or 1 when the
// interface is not present or cannot be opened (*error says why).
int RunHidInfo(HidBackend &backend, const QString &path, const HidToolOut &out, QString *error);

// The command lines: arguments after the command word. Print to stdout and stderr.
int HidListCommand(QStringList args);
int HidInfoCommand(QStringList args);

extern const char kHidListHelp[];
extern const char kHidInfoHelp[];
