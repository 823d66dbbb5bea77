#pragma once
// `inkora-hidtool wintab`: the consumer side of the Wintab map, for tests and support.
// Opens the map read-only and prints what it holds as JSON lines; with --watch it keeps
// printing the packets and context changes that follow.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class IpcBackend;
class JsonLine;
struct WintabPacket;

struct WintabOptions {
    bool watch = false;
    int packets = 16;      // newest packets of the first look (at most the ring's 1000)
    int intervalMs = 50;   // --watch: time between looks
};

// Writes one JSON line per event through out (without the newline). keepWatching is
// asked before each further look of --watch. Returns 0, or 1 with *error set when
// there is no map to read.
int RunWintab(const WintabOptions &options, IpcBackend &ipc, const std::function<void(const QByteArray &)> &out,
              const std::function<bool()> &keepWatching, QString *error);

// The command line: `wintab [--watch] [--packets N]`. Returns the exit code.
int WintabCommand(const QStringList &args);

extern const char kWintabHelp[];

// Adds a Wintab packet's fields, in the map's order, to a JSON line (the wintab command's
// "packet" lines and the replay's "wintab" lines).
JsonLine &AddWintabPacket(JsonLine &line, const WintabPacket &p);
