#include "sim/simselection.h"

#include "sim/simbletablet.h"

namespace {

// "0935" or "0x0935": a product id; anything else is a model key.
bool ProductId(const QString &text, uint16_t *pid)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = false;
    const uint v = digits.toUInt(&ok, 16);
    if (!ok || digits.isEmpty() || v > 0xFFFF)
        return false;
    *pid = uint16_t(v);
    return true;
}

const SimModel *FindIn(const QVector<SimModel> &models, const QString &name)
{
    uint16_t pid = 0;
    const bool isId = ProductId(name, &pid);
    for (const SimModel &m : models) {
        if ((isId && m.productId == pid) || name.compare(QLatin1String(m.modelKey), Qt::CaseInsensitive) == 0)
            return &m;
    }
    return nullptr;
}

} // namespace

const SimModel *FindSimulatedModel(const QString &name, bool *bluetooth)
{
    const QString text = name.trimmed();
    const SimModel *usb = FindIn(SimModels::all(), text);
    const SimModel *ble = usb ? nullptr : FindIn(SimBleModels::all(), text);
    if (bluetooth)
        *bluetooth = ble != nullptr;
    return usb ? usb : ble;
}

SimSelection ParseSimulateList(const QString &list)
{
    SimSelection selection;
    if (list.trimmed().compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        for (const SimModel &m : SimModels::all())
            selection.usb << &m;
        for (const SimModel &m : SimBleModels::all())
            selection.bluetooth << &m;
        return selection;
    }
    for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool bluetooth = false;
        if (const SimModel *m = FindSimulatedModel(item, &bluetooth))
            (bluetooth ? selection.bluetooth : selection.usb) << m;
        else
            selection.unknown << item.trimmed();
    }
    return selection;
}

QString SimulatedModelsText()
{
    QStringList names;
    for (const QVector<SimModel> *models : {&SimModels::all(), &SimBleModels::all()}) {
        for (const SimModel &m : *models)
            names << QStringLiteral("%1 (%2)").arg(QLatin1String(m.modelKey)).arg(m.productId, 4, 16, QLatin1Char('0'));
    }
    return names.join(QStringLiteral(", "));
}
