#include "driverlink/sharedblock.h"

#include "platform/ipc/ipcbackend.h"
#include "platform/window/windowbackend.h"

#include <QDebug>
#include <QThread>
#include <QtEndian>

#include <cmath>
#include <cstring>

const char SharedBlock::BlockName[] = "Local\\VT_QT_SHAREDMEMERYDATA";
const char SharedBlock::WindowClass[] = "Qt5QWindowIcon";
const char SharedBlock::ServiceTitle[] = "InkoraUIService";
const char SharedBlock::MainTitle[] = "Inkora";
const char SharedBlock::ServiceProgram[] = "/InkoraUIService";

namespace {

// The service shows a window on the start message and returns; a service that has not
// answered in this time is taken as hung and the request is dropped.
constexpr int kSendTimeoutMs = 5000;
// After its start the service needs a moment to register its window.
constexpr int kServiceStartMs = 500;
constexpr int kWindowPolls = 60;
constexpr int kWindowPollPauseMs = 10;

float floatAt(const uint8_t *p)
{
    const quint32 bits = qFromLittleEndian<quint32>(p);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

void putFloat(float value, uint8_t *p)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof(bits));
    qToLittleEndian<quint32>(bits, p);
}

} // namespace

SharedBlockData SharedBlockData::Read(const uint8_t *block)
{
    SharedBlockData data;
    data.SX = qFromLittleEndian<qint32>(block + 0);
    data.SY = qFromLittleEndian<qint32>(block + 4);
    data.SW = qFromLittleEndian<qint32>(block + 8);
    data.SH = qFromLittleEndian<qint32>(block + 12);
    data.fKX = floatAt(block + 16);
    data.fKY = floatAt(block + 20);
    data.fXLC = floatAt(block + 24);
    data.fYLC = floatAt(block + 28);
    return data;
}

void SharedBlockData::Write(uint8_t *block) const
{
    qToLittleEndian<qint32>(SX, block + 0);
    qToLittleEndian<qint32>(SY, block + 4);
    qToLittleEndian<qint32>(SW, block + 8);
    qToLittleEndian<qint32>(SH, block + 12);
    putFloat(fKX, block + 16);
    putFloat(fKY, block + 20);
    putFloat(fXLC, block + 24);
    putFloat(fYLC, block + 28);
}

SharedBlock::SharedBlock(IpcBackend *ipc, WindowBackend *window, const QString &installFolder, QObject *parent)
    : QObject(parent), m_ipc(ipc), m_window(window), m_installFolder(installFolder)
{
}

SharedBlock::~SharedBlock()
{
    ReleaseBlock();
}

bool SharedBlock::CreateBlock()
{
    if (m_block)
        return true;
    // The design opens the block to every process with a null access list. Here the ipc
    // backend's per-user namespace stands for "Local\\": the block is a 0600 file of this
    // user, so only programs of the same user (the UI service among them) can open it.
    IpcError error = IpcError::None;
    std::unique_ptr<SharedMemory> block = m_ipc->createSharedMemory(QString::fromLatin1(BlockName),
                                                                    SharedBlockData::Size, &error);
    if (!block || !block->data() || block->size() < SharedBlockData::Size) {
        if (error == IpcError::MapFailed || error == IpcError::TooSmall || block)
            qDebug("CSharedMemoryManager Init CreateFileMapping Failed.\n");
        else
            qDebug() << "Shared block not created:" << ipcErrorText(error);
        return false;
    }
    // A block left by an earlier run that ended without removing it is taken over, and
    // zeroed like a new one.
    std::memset(block->data(), 0, SharedBlockData::Size);
    m_block = std::move(block);
    return true;
}

void SharedBlock::ReleaseBlock()
{
    StopService();
    if (!m_block)
        return;
    m_block.reset();
    // On the design's platform the block vanishes with the last handle; removing the
    // name now leaves a running service its view but lets no one open a stale block.
    m_ipc->removeSharedMemory(QString::fromLatin1(BlockName));
}

SharedBlockData SharedBlock::Contents() const
{
    if (!m_block)
        return SharedBlockData();
    return SharedBlockData::Read(m_block->constData());
}

bool SharedBlock::StartAreaSelection(const QRect &screen)
{
    return StartRequest(screen, WM_SCRENNAREA_SELECT_START);
}

bool SharedBlock::StartCalibration(const QRect &screen)
{
    return StartRequest(screen, WM_SCREEN_CALIBRATION_START);
}

bool SharedBlock::StartRequest(const QRect &screen, quint32 message)
{
    if (!m_block) {
        qWarning() << "No shared block: screen request" << message << "dropped";
        return false;
    }
    // Only the rectangle is the request; the calibration values stay as they are.
    SharedBlockData data = SharedBlockData::Read(m_block->constData());
    data.SX = screen.x();
    data.SY = screen.y();
    data.SW = screen.width();
    data.SH = screen.height();
    data.Write(m_block->data());

    const QString windowClass = QString::fromLatin1(WindowClass);
    const QString serviceTitle = QString::fromLatin1(ServiceTitle);
    WindowHandle service = m_window->findWindow(windowClass, serviceTitle);
    if (!service.isValid()) {
        if (!StartService())
            return false;
        service = m_window->findWindow(windowClass, serviceTitle);
        if (!service.isValid())
            return false;
    }
    if (!m_window->sendMessage(service, message, 0, 0, kSendTimeoutMs)) {
        qWarning() << "InkoraUIService did not take message" << message;
        return false;
    }
    return true;
}

bool SharedBlock::StartService()
{
    const QString program = m_installFolder + QString::fromLatin1(ServiceProgram);
    if (m_service && m_service->state() != QProcess::NotRunning) {
        // Started by an earlier request and still registering its window: a second copy
        // would only compete for the same window name.
        qInfo() << "InkoraUIService already started, waiting for its window";
    } else {
        qInfo().noquote() << "Start InkoraUIService:" << program;
        m_service = std::make_unique<QProcess>();
        m_service->setProgram(program);
        m_service->setArguments(QStringList());
        // Its output goes where ours goes instead of piling up unread in a pipe.
        m_service->setProcessChannelMode(QProcess::ForwardedChannels);
        m_service->start();
        if (!m_service->waitForStarted(kServiceStartMs)) {
            qWarning() << "InkoraUIService did not start:" << m_service->errorString();
            m_service.reset();
            return false;
        }
    }

    const QString windowClass = QString::fromLatin1(WindowClass);
    const QString serviceTitle = QString::fromLatin1(ServiceTitle);
    for (int attempt = 1; attempt <= kWindowPolls; ++attempt) {
        if (m_window->findWindow(windowClass, serviceTitle).isValid()) {
            qInfo() << "Found InkoraUIService window after" << attempt << "attempts";
            return true;
        }
        // The design's bounded wait: the GUI thread stays here at most 60 x 10 ms.
        QThread::msleep(kWindowPollPauseMs);
    }
    qWarning() << "InkoraUIService window not found after" << kWindowPolls << "attempts";
    return false;
}

void SharedBlock::StopService()
{
    if (!m_service)
        return;
    if (m_service->state() != QProcess::NotRunning) {
        m_service->terminate();
        if (!m_service->waitForFinished(1000)) {
            m_service->kill();
            m_service->waitForFinished(1000);
        }
    }
    m_service.reset();
}

bool SharedBlock::HandleWindowMessage(quint32 message)
{
    if (message == WM_SCRENNAREA_SELECT_FINISH) {
        OnScreenAreaSelectFinish();
        return true;
    }
    if (message == WM_SCREEN_CALIBRATION_FINISH) {
        OnScreenCalibrationFinish();
        return true;
    }
    return false;
}

void SharedBlock::OnScreenAreaSelectFinish()
{
    if (!m_block) {
        qWarning() << "WM_SCRENNAREA_SELECT_FINISH without a shared block: ignored";
        return;
    }
    const SharedBlockData data = SharedBlockData::Read(m_block->constData());
    qInfo() << "WM_SCRENNAREA_SELECT_FINISH" << data.SX << data.SY << data.SW << data.SH;
    // An empty area would map the whole tablet onto no pixels at all.
    if (data.SW <= 0 || data.SH <= 0) {
        qWarning() << "Selected screen area is empty: not applied";
        return;
    }
    emit ScreenAreaSelected(data.Rect());
    QVariantMap fields;
    fields.insert(QStringLiteral("SX"), data.SX);
    fields.insert(QStringLiteral("SY"), data.SY);
    fields.insert(QStringLiteral("SW"), data.SW);
    fields.insert(QStringLiteral("SH"), data.SH);
    emit UsageRecord(QStringLiteral("SlectScreenFinish"), fields);
}

void SharedBlock::OnScreenCalibrationFinish()
{
    if (!m_block) {
        qWarning() << "WM_SCREEN_CALIBRATION_FINISH without a shared block: ignored";
        return;
    }
    const SharedBlockData data = SharedBlockData::Read(m_block->constData());
    qInfo() << "WM_SCREEN_CALIBRATION_FINISH" << data.fKX << data.fKY << data.fXLC << data.fYLC;
    // A NaN or infinity would be stored in the profile and then spread into every
    // mapped pen position.
    if (!std::isfinite(data.fKX) || !std::isfinite(data.fKY) || !std::isfinite(data.fXLC)
        || !std::isfinite(data.fYLC)) {
        qWarning() << "Calibration result is not a number: not applied";
        return;
    }
    emit ScreenCalibrated(data.fKX, data.fKY, data.fXLC, data.fYLC);
    QVariantMap fields;
    fields.insert(QStringLiteral("fKX"), data.fKX);
    fields.insert(QStringLiteral("fKY"), data.fKY);
    fields.insert(QStringLiteral("fXLC"), data.fXLC);
    fields.insert(QStringLiteral("fYLC"), data.fYLC);
    emit UsageRecord(QStringLiteral("ScreenCalibrateFinish"), fields);
}
