#include "uiservice/serviceblock.h"

#include "driverlink/sharedblock.h"
#include "platform/ipc/ipcbackend.h"
#include "platform/window/windowbackend.h"

#include <QDebug>

namespace {
// Inkora stores the result and returns; one that takes longer than this is hung.
constexpr int kSendTimeoutMs = 5000;
} // namespace

ServiceBlock::ServiceBlock(IpcBackend *ipc, WindowBackend *window) : m_ipc(ipc), m_window(window)
{
}

ServiceBlock::~ServiceBlock() = default;

bool ServiceBlock::Open()
{
    if (m_block)
        return true;
    // The design's null access list has no counterpart here: the ipc backend's per-user
    // folder already lets every program of this user, and only those, open the block.
    IpcError error = IpcError::None;
    std::unique_ptr<SharedMemory> block = m_ipc->openSharedMemory(QString::fromLatin1(SharedBlock::BlockName),
                                                                  SharedBlockData::Size, false, &error);
    if (!block || !block->data()) {
        qWarning() << "OpenSharedMemery failed:" << ipcErrorText(error);
        return false;
    }
    m_block = std::move(block);
    qInfo("OpenSharedMemery successed.");
    return true;
}

bool ServiceBlock::Reopen()
{
    m_block.reset();
    return Open();
}

QRect ServiceBlock::Screen() const
{
    if (!m_block)
        return QRect();
    return SharedBlockData::Read(m_block->constData()).Rect();
}

bool ServiceBlock::FinishAreaSelection(const QRect &area)
{
    if (!m_block)
        return false;
    // Only SX..SH are the answer; the calibration values stay as they are.
    SharedBlockData data = SharedBlockData::Read(m_block->constData());
    data.SX = area.x();
    data.SY = area.y();
    data.SW = area.width();
    data.SH = area.height();
    data.Write(m_block->data());
    qInfo() << "Screen area selected:" << data.SX << data.SY << data.SW << data.SH;
    return SendToInkora(WM_SCRENNAREA_SELECT_FINISH);
}

bool ServiceBlock::FinishCalibration(float fKX, float fKY, float fXLC, float fYLC)
{
    if (!m_block)
        return false;
    SharedBlockData data = SharedBlockData::Read(m_block->constData());
    data.fKX = fKX;
    data.fKY = fKY;
    data.fXLC = fXLC;
    data.fYLC = fYLC;
    data.Write(m_block->data());
    qInfo() << "Screen calibrated:" << fKX << fKY << fXLC << fYLC;
    return SendToInkora(WM_SCREEN_CALIBRATION_FINISH);
}

bool ServiceBlock::SendToInkora(quint32 message)
{
    const WindowHandle inkora = m_window->findWindow(QString::fromLatin1(SharedBlock::WindowClass),
                                                     QString::fromLatin1(SharedBlock::MainTitle));
    if (!inkora.isValid()) {
        qWarning() << "Inkora window not found: message" << message << "not sent, the result stays in the block";
        return false;
    }
    if (!m_window->sendMessage(inkora, message, 0, 0, kSendTimeoutMs)) {
        qWarning() << "Inkora did not take message" << message;
        return false;
    }
    return true;
}
