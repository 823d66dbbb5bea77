// An X client for the Wayland tests: one window on XWayland (the toolkit's X platform
// sets _NET_WM_PID, which sway reports as the window's pid). Runs until killed.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QWidget window;
    window.resize(320, 200);
    window.show();
    return app.exec();
}
