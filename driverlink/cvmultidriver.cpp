#include "driverlink/cvmultidriver.h"

#include "platform/vhid/vhidbackend.h"
#include "platform/vhid/vhidreport.h"

#include <QDebug>
#include <QVector>

#include <algorithm>
#include <cerrno>

namespace {

static_assert(kVhidReportLength == 65, "the virtual device takes 65-byte reports");

const char kVirtualIdA[] = "HID\\Inkora&COL05";
const char kVirtualIdB[] = "HID\\HID&COL05";

void Put16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v & 0xFF);
    p[1] = uint8_t(v >> 8);
}

uint8_t SignedByte(int v)
{
    return uint8_t(int8_t(std::clamp(v, -127, 127)));
}

} // namespace

CVMultiDriver::CVMultiDriver(VhidBackend &backend) : m_Backend(backend)
{
}

CVMultiDriver::~CVMultiDriver() = default;

bool CVMultiDriver::IsVirtualDeviceId(const QString &hardwareId)
{
    return hardwareId.compare(QLatin1String(kVirtualIdA), Qt::CaseInsensitive) == 0
        || hardwareId.compare(QLatin1String(kVirtualIdB), Qt::CaseInsensitive) == 0;
}

bool CVMultiDriver::Init()
{
    {
        std::lock_guard<AdaptiveMutex> lock(m_ReportMutex);
        std::fill(std::begin(m_Report), std::end(m_Report), uint8_t(0));
        m_hDevice.reset();
        m_bFound = 0;
    }
    if (EnmuVisualHidDevice()) {
        qInfo() << "EnmuVisualHidDevice::Init ok \n";
        return true;
    }
    qWarning() << "CVMultiDriver::Init failed \n";
    std::lock_guard<AdaptiveMutex> lock(m_ReportMutex);
    m_hDevice.reset();
    return false;
}

bool CVMultiDriver::EnmuVisualHidDevice()
{
    QVector<VhidDeviceInfo> devices;
    if (!m_Backend.enumerate(&devices)) {
        qWarning() << "Function EnmuVisualHidDevice Error: SetupDiGetClassDevs failed! INVALID_HANDLE_VALUE";
        return false;
    }
    bool found = false;
    for (const VhidDeviceInfo &device : devices) {
        if (!IsVirtualDeviceId(device.hardwareId))
            continue;
        qInfo() << "Function EnmuVisualHidDevice :find the  visual hid device!";
        if (device.path.isEmpty()) {
            qWarning() << "Function EnmuVisualHidDevice Error: SetupDiGetInterfaceDeviceDetail failed!\n";
            return false;
        }
        int error = 0;
        std::unique_ptr<VhidDevice> opened = m_Backend.open(device.path, &error);
        if (!opened) {
            qWarning().noquote()
                << QStringLiteral("CVMultiDriver::EnmuVisualHidDevice CreateFile Hid Driver error GetLastError(): %1")
                       .arg(error);
            return false;
        }
        {
            std::lock_guard<AdaptiveMutex> lock(m_ReportMutex);
            m_hDevice = std::move(opened);
        }
        m_bFound = 1;
        qInfo().noquote() << QStringLiteral("SetupDiEnumDeviceInfo CreateFile OK(): %1").arg(device.path);
        found = true;
        break;
    }
    qInfo() << "SetupDiEnumDeviceInfo CreateFile SetupDiDestroyDeviceInfoList(): ";
    return found;
}

[[gnu::hot]] bool CVMultiDriver::Output(bool useSetOutputReport, VhidDevice *device, const uint8_t *buffer, int length)
{
    int error = EBADF; // no device: the write fails on the missing handle
    bool ok = false;
    if (device) {
        ok = useSetOutputReport ? device->setOutputReport(buffer, length, &error)
                                : device->write(buffer, length, &error);
    }
    if (!ok) {
        // Debug level: without the device every pen sample ends here.
        if (useSetOutputReport)
            qDebug().noquote() << QStringLiteral("CVMultiDriver::HidOutput failed HidD_SetOutputReport :%1").arg(error);
        else
            qDebug().noquote() << QStringLiteral("CVMultiDriver::HidOutput WriteFile failed : %1").arg(error);
    }
    return ok;
}

[[gnu::hot]] bool CVMultiDriver::WriteReport()
{
    return Output(false, m_hDevice.get(), m_Report, kVhidReportLength);
}

[[gnu::hot]] bool CVMultiDriver::PenReport(uint8_t status, uint16_t x, uint16_t y, uint16_t pressure, uint8_t tiltX,
                                           uint8_t tiltY)
{
    std::lock_guard<AdaptiveMutex> lock(m_ReportMutex);
    m_Report[0] = kVhidReportId;
    m_Report[1] = kVhidPenKind[0];
    m_Report[2] = kVhidPenKind[1];
    m_Report[3] = status;
    Put16(m_Report + 4, x);
    Put16(m_Report + 6, y);
    Put16(m_Report + 8, pressure);
    m_Report[10] = tiltX;
    m_Report[11] = tiltY;
    return WriteReport();
}

bool CVMultiDriver::AbsoluteMouseReport(uint8_t buttons, uint16_t x, uint16_t y, uint16_t pressure)
{
    std::lock_guard<AdaptiveMutex> lock(m_ReportMutex);
    m_Report[0] = kVhidReportId;
    m_Report[1] = kVhidAbsoluteKind[0];
    m_Report[2] = kVhidAbsoluteKind[1];
    m_Report[3] = buttons;
    Put16(m_Report + 4, x);
    Put16(m_Report + 6, y);
    Put16(m_Report + 8, pressure);
    return WriteReport();
}

bool CVMultiDriver::RelativeMouseReport(uint8_t buttons, int dx, int dy, int wheel)
{
    std::lock_guard<AdaptiveMutex> lock(m_ReportMutex);
    m_Report[0] = kVhidReportId;
    m_Report[1] = kVhidRelativeKind[0];
    m_Report[2] = kVhidRelativeKind[1];
    m_Report[3] = buttons;
    m_Report[4] = SignedByte(dx);
    m_Report[5] = SignedByte(dy);
    m_Report[6] = SignedByte(wheel);
    return WriteReport();
}

void CVMultiDriver::ReleaseAll()
{
    std::lock_guard<AdaptiveMutex> lock(m_ReportMutex);
    if (m_hDevice)
        m_hDevice->releaseAll();
}

QByteArray CVMultiDriver::ReportBuffer() const
{
    std::lock_guard<AdaptiveMutex> lock(m_ReportMutex);
    return QByteArray(reinterpret_cast<const char *>(m_Report), kVhidReportLength);
}
