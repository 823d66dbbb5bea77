#include "sim/simloadercontrol.h"

#include "sim/simcontrol.h"
#include "sim/simloaderbackend.h"
#include "sim/simmodel.h"
#include "sim/simtablet.h"

#include <QDebug>
#include <QStandardPaths>
#include <QStringList>

namespace {

QString Error(const QString &why)
{
    return QStringLiteral("error: ") + why;
}

bool IsLoader(const QString &word)
{
    return word.compare(QLatin1String("loader"), Qt::CaseInsensitive) == 0;
}

} // namespace

SimLoaderControl::SimLoaderControl(SimLoaderBackend *backend, QObject *parent) : QObject(parent), m_pBackend(backend) {}

SimLoaderControl::~SimLoaderControl() = default;

QString SimLoaderControl::DefaultSocketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
           + QStringLiteral("/inkora-fwflasher-simulate");
}

QString SimLoaderControl::Execute(const QString &line)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return Error(QStringLiteral("empty command"));
    const QString command = words.first().toLower();
    const std::shared_ptr<SimTablet> tablet = m_pBackend->tablet();
    const QString tabletKey = QString::fromLatin1(SimModels::find(0x0935)->modelKey);

    if (command == QLatin1String("list")) {
        if (words.size() != 1)
            return Error(QStringLiteral("list"));
        QString answer = QStringLiteral("ok");
        if (tablet)
            answer += QStringLiteral(" %1:%2").arg(tablet->instance()).arg(tabletKey);
        if (m_pBackend->loaderPresent())
            answer += QStringLiteral(" loader");
        return answer;
    }
    if (command != QLatin1String("plug") && command != QLatin1String("unplug"))
        return Error(QStringLiteral("unknown command ") + command + QStringLiteral(" (list, plug, unplug)"));
    if (words.size() != 2)
        return Error(command + (command == QLatin1String("plug") ? QStringLiteral(" MODEL") : QStringLiteral(" T")));
    const QString &target = words.at(1);

    if (command == QLatin1String("plug")) {
        if (IsLoader(target)) {
            m_pBackend->plugLoader();
            qInfo() << "simulate: loader plugged in";
            return QStringLiteral("ok loader");
        }
        if (target.compare(tabletKey, Qt::CaseInsensitive) != 0 && target.compare(QLatin1String("0x0935"), Qt::CaseInsensitive) != 0)
            return Error(QStringLiteral("no simulated model ") + target + QStringLiteral(" (") + tabletKey
                         + QStringLiteral(" or loader)"));
        const std::shared_ptr<SimTablet> plugged = m_pBackend->plugTablet();
        qInfo() << "simulate: tablet" << plugged->instance() << "plugged in";
        return QStringLiteral("ok %1").arg(plugged->instance());
    }

    // unplug
    if (IsLoader(target)) {
        if (!m_pBackend->loaderPresent())
            return Error(QStringLiteral("no simulated loader"));
        m_pBackend->unplugLoader();
        qInfo() << "simulate: loader unplugged";
        return QStringLiteral("ok");
    }
    const bool match = tablet
                       && (target == QString::number(tablet->instance())
                           || target.compare(tabletKey, Qt::CaseInsensitive) == 0);
    if (!match)
        return Error(QStringLiteral("no simulated tablet ") + target);
    m_pBackend->unplugTablet();
    qInfo() << "simulate: tablet unplugged";
    return QStringLiteral("ok");
}
