// First: the screen table names a member "slots", which Qt's headers define as a macro.
#include "mapping/screentable.h"

#include "monitor/monitorcontrol.h"

#include "monitor/monitorids.h"
#include "platform/ddc/ddcbackend.h"
#include "platform/display/displaybackend.h"

#include <QDebug>

namespace ColorPreset {

int TemperatureOfVcp(int vcpValue)
{
    switch (vcpValue) {
    case 0x03: return 4000;
    case 0x04: return 5000;
    case 0x05: return 6500;
    case 0x06: return 7500;
    case 0x07: return 8200;
    case 0x08: return 9300;
    case 0x09: return 10000;
    case 0x0A: return 11500;
    default: return 0;
    }
}

int IdOfTemperature(int kelvin)
{
    switch (kelvin) {
    case 5000: return Preset5000K;
    case 6500: return Preset6500K;
    case 7500: return Preset7500K;
    case 9300: return Preset9300K;
    case 0: return PresetUser;
    default: return -1;
    }
}

int VcpOfId(int id)
{
    static const int values[] = {0x04, 0x05, 0x06, 0x08, 0x0B};
    return (id >= 0 && id <= 4) ? values[id] : -1;
}

} // namespace ColorPreset

namespace {

QRect toQRect(const ScreenRect &r)
{
    return QRect(r.left, r.top, r.width, r.height);
}

qint64 overlapArea(const QRect &a, const QRect &b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

} // namespace

MonitorControl::OutputProvider MonitorControl::OutputsOf(DisplayBackend &displays)
{
    return [&displays] {
        QVector<MonitorOutput> outputs;
        for (const DisplayScreen &screen : displays.physicalScreens())
            outputs.append({screen.name, screen.geometry, screen.edid});
        return outputs;
    };
}

MonitorControl::MonitorControl(DdcBackend &ddc, OutputProvider outputs)
    : m_Ddc(ddc), m_Outputs(std::move(outputs))
{
}

bool MonitorControl::LookupMonitor(const QRect &rect)
{
    m_nDisplay = -1;
    const QVector<MonitorOutput> outputs = m_Outputs ? m_Outputs() : QVector<MonitorOutput>();
    const MonitorOutput *best = nullptr;
    qint64 bestArea = 0;
    for (const MonitorOutput &output : outputs) {
        const qint64 area = overlapArea(output.rect, rect);
        if (area > bestArea) {
            bestArea = area;
            best = &output;
        }
    }
    if (!best) {
        qWarning() << "MonitorLookup: no screen at" << rect;
        return false;
    }
    // RandR may give the extension blocks too; DDC/CI monitors report the base block.
    const QByteArray base = best->edid.left(128);
    if (base.size() < 128) {
        qWarning() << "MonitorLookup: output" << best->name << "has no EDID";
        return false;
    }
    for (const DdcDisplay &display : m_Ddc.displays()) {
        if (display.edid.left(128) == base) {
            m_nDisplay = display.id;
            return true;
        }
    }
    qWarning() << "MonitorLookup: the monitor on" << best->name << "does not answer on DDC/CI";
    return false;
}

bool MonitorControl::SupportsDdcCi(const QRect &rect)
{
    if (!LookupMonitor(rect))
        return false;
    QByteArray caps;
    return m_Ddc.capabilities(m_nDisplay, &caps);
}

bool MonitorControl::ReadAll(const QRect &rect, MonitorSettings *settings)
{
    MonitorSettings read;
    if (!LookupMonitor(rect)) {
        if (settings)
            *settings = read;
        return false;
    }
    read.supported = true;
    int value = 0;
    int maximum = 0;
    if (m_Ddc.getVcp(m_nDisplay, Vcp::ColorPreset, &value, &maximum)) {
        read.presetId = ColorPreset::IdOfTemperature(ColorPreset::TemperatureOfVcp(value));
        if (read.presetId == PresetUser) {
            if (m_Ddc.getVcp(m_nDisplay, Vcp::RedGain, &value, &maximum))
                read.red = value;
            if (m_Ddc.getVcp(m_nDisplay, Vcp::GreenGain, &value, &maximum))
                read.green = value;
            if (m_Ddc.getVcp(m_nDisplay, Vcp::BlueGain, &value, &maximum))
                read.blue = value;
        }
    }
    if (m_Ddc.getVcp(m_nDisplay, Vcp::Brightness, &value, &maximum))
        read.brightness = value;
    if (m_Ddc.getVcp(m_nDisplay, Vcp::Contrast, &value, &maximum))
        read.contrast = value;
    if (settings)
        *settings = read;
    return true;
}

bool MonitorControl::SetPreset(int id)
{
    const int value = ColorPreset::VcpOfId(id);
    if (value < 0 || m_nDisplay < 0)
        return false;
    return m_Ddc.setVcp(m_nDisplay, Vcp::ColorPreset, value);
}

bool MonitorControl::SetGains(int red, int green, int blue)
{
    if (m_nDisplay < 0)
        return false;
    bool ok = true;
    if (red > 0)
        ok = m_Ddc.setVcp(m_nDisplay, Vcp::RedGain, red) && ok;
    if (green > 0)
        ok = m_Ddc.setVcp(m_nDisplay, Vcp::GreenGain, green) && ok;
    if (blue > 0)
        ok = m_Ddc.setVcp(m_nDisplay, Vcp::BlueGain, blue) && ok;
    return ok;
}

bool MonitorControl::SetBrightnessContrast(int brightness, int contrast)
{
    if (m_nDisplay < 0)
        return false;
    bool ok = true;
    if (brightness > 0)
        ok = m_Ddc.setVcp(m_nDisplay, Vcp::Brightness, brightness) && ok;
    if (contrast > 0)
        ok = m_Ddc.setVcp(m_nDisplay, Vcp::Contrast, contrast) && ok;
    return ok;
}

bool MonitorControl::RestoreFactoryDefaults()
{
    if (m_nDisplay < 0)
        return false;
    return m_Ddc.setVcp(m_nDisplay, Vcp::RestoreFactoryDefaults, 16);
}

bool MonitorControl::FindTheVTDisplay(DisplaySearchResult *result, const ScreenTableData &table)
{
    if (!result)
        return false;
    const QVector<MonitorOutput> outputs = m_Outputs ? m_Outputs() : QVector<MonitorOutput>();
    for (const MonitorOutput &output : outputs) {
        const QString id = MonitorIds::DeviceId(output.edid);
        qInfo() << "FindTheVTDisplay " << id << "rtMonitorScreen" << output.rect;
        const int fragment = MonitorIds::MatchFragment(id);
        if (fragment < 0)
            continue;

        result->found = 1;
        if (fragment == 1)
            result->secondModel = 1;
        for (int slot = 1; slot <= table.count; ++slot) {
            if (toQRect(table.Slot(slot)) == output.rect) {
                result->screenSlot = slot;
                break;
            }
        }
        result->currentMode = output.rect;
        result->deviceName = output.name;
        result->ddcSupported = 1;
        if (fragment == 0) {
            // This model is offered the settings only when it really answers on DDC/CI.
            const QPoint corner = toQRect(table.Slot(result->screenSlot)).topLeft();
            bool supported = false;
            for (const MonitorOutput &screen : outputs) {
                if (screen.rect.topLeft() == corner) {
                    supported = SupportsDdcCi(screen.rect);
                    break;
                }
            }
            qInfo() << "bSupportDDCCI" << supported;
            result->ddcSupported = supported ? 1 : 0;
        }
        return true;
    }
    return false;
}
