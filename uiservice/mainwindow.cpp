#include "uiservice/mainwindow.h"

#include "driverlink/sharedblock.h"
#include "platform/window/windowbackend.h"
#include "uiservice/screencalibrate.h"
#include "uiservice/selectscreenarea.h"

#include <QDebug>

namespace UiService {

MainWindow::MainWindow(WindowBackend *window, IpcBackend *ipc, const CaptionFile &captions, QWidget *parent)
    : QMainWindow(parent, Qt::FramelessWindowHint | Qt::SubWindow), m_window(window), m_ipc(ipc),
      m_captions(captions)
{
    setWindowTitle(QString::fromLatin1(SharedBlock::ServiceTitle));
    resize(0, 0);
    m_pEndpoint = m_window->createEndpoint(QString::fromLatin1(SharedBlock::WindowClass),
                                           QString::fromLatin1(SharedBlock::ServiceTitle));
    if (!m_pEndpoint) {
        qWarning() << "InkoraUIService: the message window could not be registered";
        return;
    }
    connect(m_pEndpoint.get(), &WindowEndpoint::messageReceived, this, &MainWindow::OnWindowMessage);
}

MainWindow::~MainWindow()
{
    m_pEndpoint.reset();
    delete m_pSelect.data();
    delete m_pCalibrate.data();
}

SelectScreenArea *MainWindow::selectScreenArea() const
{
    return m_pSelect.data();
}

ScreenCalibrate *MainWindow::screenCalibrate() const
{
    return m_pCalibrate.data();
}

void MainWindow::OnWindowMessage(quint32 message, qint64, qint64)
{
    // The result stays 0 for every message: nothing is consumed, Inkora only needs to
    // know that the message was handled.
    if (message == WM_SCRENNAREA_SELECT_START) {
        qInfo() << "Get WM_SCRENNAREA_SELECT_START" << message;
        StartAreaSelection();
    } else if (message == WM_SCREEN_CALIBRATION_START) {
        qInfo() << "Get WM_SCRENNAREA_SELECT_START" << message;
        StartCalibration();
    }
}

void MainWindow::StartAreaSelection()
{
    if (!m_pSelect)
        m_pSelect = new SelectScreenArea(m_ipc, m_window, m_captions);
    // Every start opens the block anew: a window made while Inkora had no block works
    // once it is there, and one left open across a restart of Inkora reads its new block.
    if (!m_pSelect->Restart())
        return;
    m_pSelect->raise();
    m_pSelect->activateWindow();
    m_pSelect->setFocus();
}

void MainWindow::StartCalibration()
{
    if (!m_pCalibrate)
        m_pCalibrate = new ScreenCalibrate(m_ipc, m_window, m_captions);
    if (!m_pCalibrate->Restart())
        return;
    m_pCalibrate->raise();
    m_pCalibrate->activateWindow();
    m_pCalibrate->setFocus();
}

} // namespace UiService
