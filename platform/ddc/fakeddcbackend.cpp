#include "platform/ddc/fakeddcbackend.h"

QVector<DdcDisplay> FakeDdcBackend::displays()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QVector<DdcDisplay> list;
    for (int i = 0; i < m_monitors.size(); ++i) {
        if (!m_monitors[i].answers)
            continue;
        DdcDisplay display;
        display.id = i;
        display.edid = m_monitors[i].edid.left(128);
        if (display.edid.size() >= 12) {
            const auto *e = reinterpret_cast<const uchar *>(display.edid.constData());
            const int word = (e[8] << 8) | e[9];
            display.mfgId = QString(QChar('@' + ((word >> 10) & 0x1F))) + QChar('@' + ((word >> 5) & 0x1F))
                            + QChar('@' + (word & 0x1F));
            display.productCode = static_cast<quint16>(e[10] | (e[11] << 8));
        }
        list.append(display);
    }
    return list;
}

bool FakeDdcBackend::capabilities(int display, QByteArray *caps)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (display < 0 || display >= m_monitors.size() || !m_monitors[display].answers)
        return false;
    if (caps)
        *caps = m_monitors[display].caps;
    return true;
}

bool FakeDdcBackend::getVcp(int display, quint8 code, int *current, int *maximum)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (display < 0 || display >= m_monitors.size() || !m_monitors[display].answers)
        return false;
    const FakeMonitor &m = m_monitors[display];
    if (!m.values.contains(code))
        return false;
    if (current)
        *current = m.values.value(code);
    if (maximum)
        *maximum = m.maximums.value(code, 100);
    return true;
}

bool FakeDdcBackend::setVcp(int display, quint8 code, int value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (display < 0 || display >= m_monitors.size())
        return false;
    m_writes.append({display, code, value});
    if (m_monitors[display].answers && code != Vcp::RestoreFactoryDefaults)
        m_monitors[display].values[code] = value;
    return true;
}
