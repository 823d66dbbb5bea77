#pragma once
// What a test sees of the X server the program runs on, through a connection of its
// own: the top-level windows (mapped, title, owning process), a window of the test's own
// that takes every key event (it grabs the keyboard), and XTest pointer and key input as
// a user would give it.

#include <QByteArray>
#include <QString>
#include <QVector>

struct TopLevel {
    unsigned long id = 0;
    QString title;           // _NET_WM_NAME, else WM_NAME
    qint64 pid = 0;          // _NET_WM_PID, 0 when not set
    bool viewable = false;
    bool overrideRedirect = false;
    int x = 0, y = 0, width = 0, height = 0;
};

struct KeyEvent {
    bool press;
    QString keysym;          // "Control_L", "z"
};

class XProbe {
public:
    XProbe() = default;
    ~XProbe();
    XProbe(const XProbe &) = delete;
    XProbe &operator=(const XProbe &) = delete;

    bool Open(const QByteArray &display);

    QVector<TopLevel> TopLevels() const;
    // The viewable top-level windows of process pid.
    QVector<TopLevel> ViewableOf(qint64 pid) const;

    // A window of the test's own that grabs the keyboard: from now on every key event
    // of the server comes here, wherever the program puts the input focus, and the
    // server repeats no key. False when the grab was refused for 5 s.
    bool CatchKeys();
    // Key events that arrived since the last call.
    QVector<KeyEvent> TakeKeys();

    // XTest: a click of button at root coordinates; a key tapped by its keysym name.
    void Click(int x, int y, int button);
    void Tap(const char *keysym);

private:
    void *m_display = nullptr; // Display *
    unsigned long m_catcher = 0;
};
