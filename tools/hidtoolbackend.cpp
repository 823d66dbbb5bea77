#include "tools/hidtoolbackend.h"

#include "device/modelmatch.h"
#include "platform/hid/linux/hidrawbackend.h"
#include "sim/simhidbackend.h"
#include "sim/simbletablet.h"
#include "sim/simmodel.h"
#include "sim/simselection.h"

HidToolBackend::HidToolBackend() = default;
HidToolBackend::~HidToolBackend() = default;

bool HidToolBackend::setUp(QStringList *args, QString *error)
{
    const QString option = QStringLiteral("--simulate");
    bool simulate = false;
    QString list;
    for (int i = args->size() - 1; i >= 0; --i) {
        const QString &a = args->at(i);
        if (a == option) {
            simulate = true;
            args->removeAt(i);
        } else if (a.startsWith(option + QLatin1Char('='))) {
            simulate = true;
            list = a.mid(option.size() + 1);
            args->removeAt(i);
        }
    }
    if (!simulate) {
        m_backend = std::make_unique<HidrawBackend>();
        if (!m_backend->init()) {
            *error = QStringLiteral("the HID library cannot start");
            return false;
        }
        return true;
    }

    // The grammar of Inkora's --simulate; bare, every simulated model.
    const SimSelection selection = ParseSimulateList(list.isEmpty() ? QStringLiteral("all") : list);
    if (!selection.unknown.isEmpty()) {
        *error = QStringLiteral("--simulate: no simulated model \"%1\" (simulated: %2)")
                     .arg(selection.unknown.first(), SimulatedModelsText());
        return false;
    }
    auto sim = std::make_unique<SimHidBackend>();
    m_sim = sim.get();
    for (const SimModel *m : selection.usb)
        m_tablets.append(m_sim->plug(*m));
    if (selection.bluetooth.isEmpty()) {
        m_backend = std::move(sim);
        return m_backend->init();
    }
    // Bluetooth tablets show their HID nodes; they are reached through BlueZ, not here.
    auto ble = std::make_unique<SimBleHidBackend>(std::move(sim));
    int n = 0;
    for (const SimModel *m : selection.bluetooth)
        ble->plugListedOnly(*m, SimBleName(*m), SimBleAddress(*m, ++n));
    m_backend = std::move(ble);
    return m_backend->init();
}

std::shared_ptr<SimTablet> HidToolBackend::simTablet(const QString &path) const
{
    for (const auto &t : m_tablets) {
        if (SimHidBackend::interfacePath(*t).compare(path, Qt::CaseInsensitive) == 0)
            return t;
    }
    return nullptr;
}

void HidToolBackend::unplug(const std::shared_ptr<SimTablet> &tablet)
{
    if (m_sim && tablet)
        m_sim->unplug(tablet);
}

QString ResolveInterfacePath(HidBackend &backend, const QString &argument)
{
    const QVector<HidDeviceInfo> present = backend.enumerate(0);
    for (const HidDeviceInfo &info : present) {
        if (info.path.compare(argument, Qt::CaseInsensitive) == 0)
            return info.path;
    }
    if (argument.contains(QLatin1Char('#')))
        return QString();
    const QString field = QLatin1Char('#') + argument.section(QLatin1Char('/'), -1) + QLatin1Char('#');
    QString first;
    for (const HidDeviceInfo &info : present) {
        if (!info.path.contains(field, Qt::CaseInsensitive))
            continue;
        if (MatchUsbModel(info.path))
            return info.path;
        if (first.isEmpty())
            first = info.path;
    }
    return first;
}
