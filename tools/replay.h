#pragma once
// `inkora-hidtool replay`: recorded reports go through a tablet object exactly as the
// reading thread hands them over, and every result is printed as one JSON object a line.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>

struct ReplayOptions {
    QString file;
    int productId = -1;   // -1: take it from the recording's "I:" line
    int maxX = -1;        // -1: the simulated model's geometry
    int maxY = -1;
    int maxPressure = -1;
    int resolution = -1;
    QString profile;      // profile file to load the model's profile from
    QString screens;      // "x,y,w,h;..." screens in desktop pixels; empty: one 1920 x 1080
    int foregroundPid = -1;  // process of the foreground window; -1: none
    int orientation = -1;    // 0..3 overrides the profile's; -1: the profile's
    QString wintabContexts;  // "INDEX[:OPTIONS],...": contexts the Wintab side opened
    QString foreground;      // executable of the foreground window's process; empty: none
    QString foregroundClass; // class of the foreground window
};

// Writes one JSON line per event through `out` (without the newline). Returns 0 on
// success, 2 on bad input (with *error set to a message naming the file and line).
int RunReplay(const ReplayOptions &options, const std::function<void(const QByteArray &)> &out,
              QString *error);

// The --help text of the replay command, including the output schema.
extern const char kReplayHelp[];

struct KeyInput;
struct MouseInput;
class SharedMemory;

// The driver link of a replay: recording backends in place of the system's, so every
// report written to the virtual device (with the events the uinput bridge makes of
// it) and every synthetic mouse event becomes a "vhid" or "mouse" line through sink,
// stamped with the recording line *line. The Wintab map lives in a private folder.
// Opens the process-wide driver link; closes it when destroyed.
class ReplayDriverLink {
public:
    ReplayDriverLink(const std::function<void(const QByteArray &)> &sink, const int *line);
    ~ReplayDriverLink();
    ReplayDriverLink(const ReplayDriverLink &) = delete;
    ReplayDriverLink &operator=(const ReplayDriverLink &) = delete;

    // Plays the Wintab side: opens context index of process pid with these options;
    // its window handle is 0x1000 + index. False without a map.
    bool OpenWintabContext(int index, int32_t pid, uint32_t options);

private:
    QTemporaryDir m_IpcFolder;
    std::unique_ptr<SharedMemory> m_pWintabPeer; // the Wintab side's view of the map
};

// The "vhid", "mouse" and "key" lines.
QByteArray VhidReportEvent(int line, const QByteArray &report, const QString &evdev);
QByteArray MouseInputEvent(int line, const MouseInput &input);
QByteArray KeyInputEvent(int line, const KeyInput &input);
