#pragma once
// Hyprland's two sockets, in $XDG_RUNTIME_DIR/hypr/$HYPRLAND_INSTANCE_SIGNATURE
// (/tmp/hypr/... before Hyprland 0.40): requests ("j/activewindow", "j/monitors") on
// .socket.sock, one connection each, answered and closed by Hyprland; events on
// .socket2.sock, one "EVENT>>DATA" line each.

#include <QByteArray>

namespace HyprlandIpc {

// The instance's socket folder.
QByteArray Folder(const QByteArray &runtimeDir, const QByteArray &signature);
// A connected socket to the event stream, or -1.
int ConnectEvents(const QByteArray &folder);
// One request and its whole answer; false when the socket does not answer in time.
bool Request(const QByteArray &folder, const QByteArray &request, QByteArray *reply);

constexpr int kMaxLine = 64 * 1024; // event lines are short; longer is not Hyprland talking

// Appends what the event socket gave to pending and hands each whole line to onLine;
// false when a line is not "EVENT>>DATA" or an unfinished one grows past kMaxLine.
template <typename OnLine> bool TakeEventLines(QByteArray *pending, const char *data, int size, OnLine &&onLine)
{
    pending->append(data, size);
    int end;
    while ((end = pending->indexOf('\n')) >= 0) {
        const QByteArray line = pending->left(end);
        pending->remove(0, end + 1);
        if (!line.isEmpty() && !line.contains(">>"))
            return false;
        onLine(line);
    }
    return pending->size() <= kMaxLine;
}

} // namespace HyprlandIpc
