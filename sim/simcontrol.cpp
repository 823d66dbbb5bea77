#include "sim/simcontrol.h"

#include "sim/simbletablet.h"
#include "sim/simhidbackend.h"
#include "sim/simreports.h"
#include "sim/simtablet.h"

#include <QDebug>
#include <QStandardPaths>
#include <QStringList>

namespace {

// Decimal or 0x-hex, within [low, high].
bool ParseNumber(const QString &text, qint64 low, qint64 high, qint64 *value)
{
    bool ok = false;
    const qint64 v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toLongLong(&ok, 16)
                                                                               : text.toLongLong(&ok, 10);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

QString Error(const QString &why)
{
    return QStringLiteral("error: ") + why;
}

// Pressure is a 13-bit field of the pen report.
constexpr qint64 kMaxPressure = 8191;
// Keys 1..40 of the key report.
constexpr qint64 kMaxKeyBits = (qint64(1) << 40) - 1;
// A stroke is a script, not a flood: at most this many samples and ms between them.
constexpr qint64 kMaxSteps = 10000;
constexpr qint64 kMaxIntervalMs = 1000;

} // namespace

SimControl::SimControl(SimHidBackend *backend, QObject *parent) : QObject(parent), m_pBackend(backend) {}

SimControl::~SimControl() = default;

QString SimControl::DefaultSocketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/inkora-simulate");
}

QVector<std::pair<QString, std::shared_ptr<SimTablet>>> SimControl::AllTablets() const
{
    // USB tablets by their number, Bluetooth ones by "b" and theirs.
    QVector<std::pair<QString, std::shared_ptr<SimTablet>>> all;
    for (const auto &t : m_pBackend->tablets())
        all.append({QString::number(t->instance()), t});
    if (m_pBluetooth) {
        for (const auto &t : m_pBluetooth->tablets())
            all.append({QStringLiteral("b%1").arg(t->tablet().instance()), t->tabletPtr()});
    }
    return all;
}

std::shared_ptr<SimTablet> SimControl::FindTablet(const QString &id, QString *why) const
{
    qint64 number = -1;
    const QString name = ParseNumber(id, 0, INT32_MAX, &number) ? QString::number(number) : id;
    for (const auto &t : AllTablets()) {
        if (name.compare(t.first, Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String(t.second->model().modelKey), Qt::CaseInsensitive) == 0)
            return t.second;
    }
    *why = QStringLiteral("no simulated tablet ") + id;
    return nullptr;
}

QString SimControl::Execute(const QString &line)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return Error(QStringLiteral("empty command"));
    const QString command = words.first().toLower();
    const int count = words.size() - 1;

    if (command == QLatin1String("list")) {
        QString answer = QStringLiteral("ok");
        for (const auto &t : AllTablets())
            answer += QStringLiteral(" %1:%2").arg(t.first, QLatin1String(t.second->model().modelKey));
        return answer;
    }
    if (command == QLatin1String("plug")) {
        if (count != 1)
            return Error(QStringLiteral("plug MODEL"));
        const QString &name = words.at(1);
        const SimModel *model = nullptr;
        qint64 pid = 0;
        if (name.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) && ParseNumber(name, 0, 0xFFFF, &pid))
            model = SimModels::find(uint16_t(pid));
        for (const SimModel &m : SimModels::all()) {
            if (!model && name.compare(QLatin1String(m.modelKey), Qt::CaseInsensitive) == 0)
                model = &m;
        }
        if (!model)
            return Error(QStringLiteral("no simulated model ") + name);
        const std::shared_ptr<SimTablet> t = m_pBackend->plug(*model);
        qInfo().noquote() << "simulate: tablet" << QLatin1String(model->modelKey) << t->instance() << "plugged in";
        return QStringLiteral("ok %1").arg(t->instance());
    }

    static const struct {
        const char *name;
        int minArgs;
        int maxArgs;
        const char *usage;
    } kTabletCommands[] = {
        {"unplug", 1, 1, "unplug T"},
        {"keys", 2, 3, "keys T BITS [RING]"},
        {"battery", 2, 3, "battery T PERCENT [CHARGING]"},
        {"pen", 4, 6, "pen T X Y PRESSURE [BUTTONS [INRANGE]]"},
        {"stroke", 7, 8, "stroke T X0 Y0 X1 Y1 STEPS PRESSURE [MS]"},
        {"mode", 1, 1, "mode T"},
        {"pending", 1, 1, "pending T"},
    };
    const char *usage = nullptr;
    for (const auto &c : kTabletCommands) {
        if (command == QLatin1String(c.name))
            usage = (count >= c.minArgs && count <= c.maxArgs) ? "" : c.usage;
    }
    if (!usage)
        return Error(QStringLiteral("unknown command ") + command);
    if (*usage)
        return Error(QString::fromLatin1(usage));

    QString why;
    const std::shared_ptr<SimTablet> tablet = FindTablet(words.at(1), &why);
    if (!tablet)
        return Error(why);
    // The numbers after the tablet, each checked against its range.
    qint64 v[7] = {};
    const auto numbers = [&](std::initializer_list<qint64> highs) -> bool {
        int i = 0;
        for (const qint64 high : highs) {
            if (2 + i < words.size() && !ParseNumber(words.at(2 + i), 0, high, &v[i])) {
                why = QStringLiteral("bad number %1 (0..%2)").arg(words.at(2 + i)).arg(high);
                return false;
            }
            ++i;
        }
        return true;
    };

    if (command == QLatin1String("unplug") && !m_pBackend->tablets().contains(tablet))
        return Error(QStringLiteral("a Bluetooth tablet is not plugged in, so not unplugged"));
    if (command == QLatin1String("unplug")) {
        m_pBackend->unplug(tablet);
        qInfo().noquote() << "simulate: tablet" << QLatin1String(tablet->model().modelKey) << tablet->instance()
                          << "unplugged";
        return QStringLiteral("ok");
    }
    if (command == QLatin1String("keys")) {
        if (!numbers({kMaxKeyBits, 0xFF}))
            return Error(why);
        tablet->queueKeys(uint64_t(v[0]), uint8_t(v[1]));
        return QStringLiteral("ok");
    }
    if (command == QLatin1String("battery")) {
        if (!numbers({100, 1}))
            return Error(why);
        tablet->queueBattery(int(v[0]), v[1] != 0);
        return QStringLiteral("ok");
    }
    // Coordinates are 16 bits on the wire, 24 in the 12-byte pen report: a larger one
    // would reach the program cut short, as no tablet sends it.
    const qint64 maxCoordinate = tablet->model().penReportLength >= 12 ? 0xFFFFFF : 0xFFFF;
    if (command == QLatin1String("pen")) {
        v[3] = 0;
        v[4] = 1;
        if (!numbers({maxCoordinate, maxCoordinate, kMaxPressure, 0x0F, 1}))
            return Error(why);
        SimPenSample sample;
        sample.x = int(v[0]);
        sample.y = int(v[1]);
        sample.pressure = int(v[2]);
        sample.buttons = int(v[3]);
        sample.inRange = v[4] != 0;
        tablet->queuePen(sample);
        return QStringLiteral("ok");
    }
    if (command == QLatin1String("stroke")) {
        v[6] = 0;
        if (!numbers({maxCoordinate, maxCoordinate, maxCoordinate, maxCoordinate, kMaxSteps, kMaxPressure,
                      kMaxIntervalMs}))
            return Error(why);
        if (v[4] < 2)
            return Error(QStringLiteral("a stroke has at least 2 steps"));
        tablet->queueStroke(int(v[0]), int(v[1]), int(v[2]), int(v[3]), int(v[4]), int(v[5]), int(v[6]));
        return QStringLiteral("ok");
    }
    if (command == QLatin1String("mode"))
        return QStringLiteral("ok %1").arg(tablet->mode());
    // pending
    return QStringLiteral("ok %1").arg(tablet->pendingReports());
}
