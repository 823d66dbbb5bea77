// The start-up floor: a Qt Widgets program that only shows a tray icon, built and
// started as Inkora is (same Qt, same platform plug-in), so bench/startup_idle.sh can
// set Inkora's time to the tray beside what Qt itself takes in the same run.
#include <QApplication>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::darkCyan);
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.show();
    return app.exec();
}
