#pragma once
// The UI service's message window: never shown, registered as the window "InkoraUIService"
// that Inkora sends its start messages to. 1524 opens the area selection, 1526 the
// calibration, each on the screen Inkora left in the shared block; a repeated start
// restarts the open window on the rectangle now in the block. Other messages are left
// alone.
//
// GUI thread only.

#include "uiservice/tipslanguage.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class IpcBackend;
class ScreenCalibrate;
class SelectScreenArea;
class WindowBackend;
class WindowEndpoint;

namespace UiService {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // window and ipc outlive this window.
    MainWindow(WindowBackend *window, IpcBackend *ipc, const CaptionFile &captions, QWidget *parent = nullptr);
    ~MainWindow() override;

    // False when the window name could not be had (another service of this user runs).
    bool IsRegistered() const { return m_pEndpoint != nullptr; }

    // The open windows; null before the first start and after they closed.
    SelectScreenArea *selectScreenArea() const;
    ScreenCalibrate *screenCalibrate() const;

private slots:
    void OnWindowMessage(quint32 message, qint64 wParam, qint64 lParam);

private:
    void StartAreaSelection();
    void StartCalibration();

    WindowBackend *m_window;
    IpcBackend *m_ipc;
    CaptionFile m_captions;
    std::unique_ptr<WindowEndpoint> m_pEndpoint;
    QPointer<SelectScreenArea> m_pSelect;  // top-level, deletes itself on close
    QPointer<ScreenCalibrate> m_pCalibrate; // top-level, deletes itself on close
};

} // namespace UiService
