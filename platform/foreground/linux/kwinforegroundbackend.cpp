#include "platform/foreground/linux/kwinforegroundbackend.h"

#include "platform/foreground/linux/foregroundsource.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDebug>
#include <QFile>
#include <QStandardPaths>

#include <cmath>
#include <limits>

// The script is compiled into inkora_platform (resources/wayland/wayland.qrc); a static
// library's resources are registered by hand, outside any namespace.
static void InitWaylandResources()
{
    Q_INIT_RESOURCE(wayland);
}

namespace {

const char kSource[] = "KWin";
const char kKWinService[] = "org.kde.KWin";
const char kScriptingPath[] = "/Scripting";
const char kScriptingInterface[] = "org.kde.kwin.Scripting";
const char kScriptInterface[] = "org.kde.kwin.Script";
const char kPluginName[] = "inkora-foreground";
const char kObjectPath[] = "/org/inkora/Foreground";
const char kInterface[] = "org.inkora.Foreground1";
const int kCallTimeoutMs = 3000;

// A pid as the script sends it: KWin 5's script engine hands numbers over as doubles,
// KWin 6's as integers. False for anything that is not a whole number in pid range.
bool PidOf(const QVariant &value, qint64 *pid)
{
    QVariant v = value;
    if (v.userType() == qMetaTypeId<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    switch (v.userType()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        if (v.userType() == QMetaType::ULongLong && v.toULongLong() > quint64(std::numeric_limits<qint32>::max()))
            return false;
        *pid = v.toLongLong();
        break;
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > double(std::numeric_limits<qint32>::max()))
            return false;
        *pid = qint64(d);
        break;
    }
    default: return false;
    }
    return *pid >= 0 && *pid <= std::numeric_limits<qint32>::max();
}

QString ScriptObjectPath(int id)
{
    // KWin 5.22 and later; earlier versions are not on any supported desktop.
    return QStringLiteral("/Scripting/Script") + QString::number(id);
}

} // namespace

// Receives the script's calls on the bus's side: answers them at once and hands what
// they said to the backend's thread, which alone touches the backend's state.
class KWinReportObject : public QDBusVirtualObject {
public:
    explicit KWinReportObject(KWinForegroundBackend *backend) : m_backend(backend) { }

    QString introspect(const QString &) const override
    {
        return QStringLiteral("<interface name=\"org.inkora.Foreground1\">"
                              "<method name=\"WindowActivated\"><arg name=\"pid\" type=\"v\" direction=\"in\"/>"
                              "<arg name=\"windowClass\" type=\"s\" direction=\"in\"/></method></interface>");
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.type() != QDBusMessage::MethodCallMessage || message.member() != QLatin1String("WindowActivated")
            || (!message.interface().isEmpty() && message.interface() != QLatin1String(kInterface)))
            return false; // Qt answers with the usual error
        const QVariantList args = message.arguments();
        qint64 pid = 0;
        bool valid = !args.isEmpty() && args.size() <= 2 && PidOf(args.at(0), &pid);
        QString windowClass;
        if (valid && args.size() == 2) {
            valid = args.at(1).userType() == QMetaType::QString;
            windowClass = args.at(1).toString();
        }
        if (message.isReplyRequired())
            connection.send(message.createReply());
        const QString sender = message.service();
        KWinForegroundBackend *backend = m_backend;
        QMetaObject::invokeMethod(
            backend, [backend, sender, valid, pid, windowClass] { backend->OnReport(sender, valid, pid, windowClass); },
            Qt::QueuedConnection);
        return true;
    }

private:
    KWinForegroundBackend *const m_backend;
};

std::unique_ptr<KWinForegroundBackend> KWinForegroundBackend::open(const QDBusConnection &connection)
{
    if (!connection.isConnected() || !connection.interface()) {
        qWarning() << "Foreground (KWin): no session bus";
        return nullptr;
    }
    const QString owner = connection.interface()->serviceOwner(QLatin1String(kKWinService)).value();
    if (owner.isEmpty()) {
        qWarning() << "Foreground (KWin): KWin is not on the session bus";
        return nullptr;
    }
    std::unique_ptr<KWinForegroundBackend> backend(new KWinForegroundBackend(connection));
    if (!backend->m_connection.registerVirtualObject(QLatin1String(kObjectPath), backend->m_object.get())) {
        qWarning() << "Foreground (KWin): cannot export" << kObjectPath;
        return nullptr;
    }
    backend->m_kwinOwner = owner;
    if (!backend->LoadScript())
        return nullptr;
    return backend;
}

KWinForegroundBackend::KWinForegroundBackend(const QDBusConnection &connection)
    : m_connection(connection)
    , m_object(std::make_unique<KWinReportObject>(this))
    , m_script(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
               + QStringLiteral("/inkora-kwin-XXXXXX.js"))
{
    m_watcher = new QDBusServiceWatcher(QLatin1String(kKWinService), m_connection,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { OnOwnerChanged(newOwner); });
}

KWinForegroundBackend::~KWinForegroundBackend()
{
    m_connection.unregisterObject(QLatin1String(kObjectPath));
    UnloadScript();
}

bool KWinForegroundBackend::LoadScript()
{
    InitWaylandResources();
    QFile source(QStringLiteral(":/wayland/kwin-foreground.js"));
    if (!source.open(QIODevice::ReadOnly)) {
        qWarning() << "Foreground (KWin): the script is missing from the program";
        return false;
    }
    const QByteArray text = source.readAll().replace("@INKORA_SERVICE@", m_connection.baseService().toUtf8());
    if (!m_script.isOpen() && !m_script.open()) {
        qWarning() << "Foreground (KWin): cannot write the script to" << m_script.fileTemplate();
        return false;
    }
    if (!m_script.resize(0) || m_script.write(text) != text.size() || !m_script.flush()) {
        qWarning() << "Foreground (KWin): cannot write the script to" << m_script.fileName();
        return false;
    }
    // A script of ours left behind by an earlier run (a crash) blocks the name.
    UnloadScript();
    QDBusMessage load =
        QDBusMessage::createMethodCall(QLatin1String(kKWinService), QLatin1String(kScriptingPath),
                                       QLatin1String(kScriptingInterface), QStringLiteral("loadScript"));
    load << m_script.fileName() << QLatin1String(kPluginName);
    const QDBusMessage loaded = m_connection.call(load, QDBus::Block, kCallTimeoutMs);
    const QVariantList answer = loaded.arguments();
    if (loaded.type() != QDBusMessage::ReplyMessage || answer.size() != 1 || answer.at(0).toInt() < 0) {
        qWarning().noquote() << "Foreground (KWin): KWin did not load the script:"
                             << (loaded.type() == QDBusMessage::ErrorMessage ? loaded.errorMessage()
                                                                             : QStringLiteral("refused"));
        return false;
    }
    QDBusMessage run =
        QDBusMessage::createMethodCall(QLatin1String(kKWinService), ScriptObjectPath(answer.at(0).toInt()),
                                       QLatin1String(kScriptInterface), QStringLiteral("run"));
    const QDBusMessage ran = m_connection.call(run, QDBus::Block, kCallTimeoutMs);
    if (ran.type() != QDBusMessage::ReplyMessage) {
        qWarning().noquote() << "Foreground (KWin): KWin did not run the script:" << ran.errorMessage();
        UnloadScript();
        return false;
    }
    qInfo() << "Foreground (KWin): script loaded";
    return true;
}

void KWinForegroundBackend::UnloadScript()
{
    if (m_kwinOwner.isEmpty())
        return;
    QDBusMessage unload =
        QDBusMessage::createMethodCall(QLatin1String(kKWinService), QLatin1String(kScriptingPath),
                                       QLatin1String(kScriptingInterface), QStringLiteral("unloadScript"));
    unload << QLatin1String(kPluginName);
    m_connection.call(unload, QDBus::Block, kCallTimeoutMs);
}

void KWinForegroundBackend::OnReport(const QString &sender, bool valid, qint64 pid, const QString &windowClass)
{
    if (m_kwinOwner.isEmpty() || sender != m_kwinOwner) {
        qWarning().noquote() << "Foreground (KWin): a report from" << sender << "which is not KWin, ignored";
        return;
    }
    if (!valid) {
        qWarning() << "Foreground (KWin): the script sent something that is not a pid; the common profile applies";
        Publish(ForegroundWindow{});
        return;
    }
    Publish(ForegroundOfProcess(pid, windowClass, kSource));
}

void KWinForegroundBackend::OnOwnerChanged(const QString &newOwner)
{
    // The windows and our script went with the old KWin.
    m_kwinOwner = newOwner;
    Publish(ForegroundWindow{});
    if (newOwner.isEmpty()) {
        qWarning() << "Foreground (KWin): KWin left the session bus; the common profile applies until it is back";
        return;
    }
    if (!LoadScript())
        qWarning() << "Foreground (KWin): KWin came back but took no script; the common profile applies";
}

void KWinForegroundBackend::Publish(const ForegroundWindow &window)
{
    publish(window);
    emit changed();
}
