#pragma once
// From a Wayland app id to the program behind it, for compositors that tell the app id
// of the active window but not its process (zwlr_foreign_toplevel_manager_v1).
//
// The app id names the program's desktop entry for most programs ("org.gnome.Nautilus"
// -> org.gnome.Nautilus.desktop); others match an entry's StartupWMClass, or only the
// process name ("foot"). The entry's Exec= gives the program file; /proc then finds the
// running process, whose executable is what profiles are stored under (the X11 path
// reports /proc/PID/exe too), so launcher scripts and symlinks end at the real binary.
//
// Not thread-safe: one owner (the foreground watcher thread).

#include "platform/foreground/foregroundbackend.h"

#include <QHash>
#include <QString>
#include <QStringList>

class AppIdResolver {
public:
    struct Roots {
        QStringList applicationDirs; // folders of desktop entries, most important first
        QString proc;                // the proc file system
        QStringList path;            // $PATH's folders
    };
    // $XDG_DATA_HOME and $XDG_DATA_DIRS (with their defaults), /proc and $PATH.
    static Roots SystemRoots();

    explicit AppIdResolver(Roots roots = SystemRoots());

    // The program of appId: its executable path and, when it runs, its pid. A record
    // without a path (with a log line) when nothing matches or the id is not a plain name.
    ForegroundWindow Resolve(const QString &appId);

private:
    QString ProgramOfEntry(const QString &appId); // the Exec= program file, or empty
    QString EntryFile(const QString &appId) const;
    QString ExecProgram(const QString &entryFile) const;

    Roots m_roots;
    QHash<QString, QString> m_programs; // app id -> Exec= program, found ones only
};
