#include "tools/hidtoolbackend.h"

#include "device/modelmatch.h"
#include "platform/hid/linux/hidrawbackend.h"
#include "sim/simhidbackend.h"
#include "sim/simmodel.h"

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

    QVector<const SimModel *> models;
    if (list.isEmpty()) {
        for (const SimModel &m : SimModels::all())
            models.append(&m);
    }
    for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString digits = item.trimmed();
        if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            digits = digits.mid(2);
        bool ok = false;
        const uint pid = digits.toUInt(&ok, 16);
        const SimModel *model = ok && pid <= 0xFFFF ? SimModels::find(uint16_t(pid)) : nullptr;
        if (!model) {
            QStringList known;
            for (const SimModel &m : SimModels::all())
                known << QStringLiteral("%1").arg(m.productId, 4, 16, QLatin1Char('0'));
            *error = QStringLiteral("--simulate: no simulated model with product id \"%1\" (simulated: %2)")
                         .arg(item, known.join(QStringLiteral(", ")));
            return false;
        }
        models.append(model);
    }
    auto sim = std::make_unique<SimHidBackend>();
    m_sim = sim.get();
    for (const SimModel *m : models)
        m_tablets.append(m_sim->plug(*m));
    m_backend = std::move(sim);
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
