// The KWin script and the GNOME Shell extension we ship, run in a JavaScript engine with
// fakes of their host's API, reporting over a private bus to the real foreground sources:
// script -> D-Bus -> source -> foreground record. KWin runs its scripts in this same
// engine (QJSEngine); GNOME Shell's GJS is not here, so the extension's gi:// and
// resource:/// imports are pointed at fake modules.
//
// Each host (its bus connection, engine and fakes) lives on a thread of its own: the
// sources make blocking calls from the test's thread, and the host must answer them.
#include "platform/foreground/linux/gnomeshellforegroundbackend.h"
#include "platform/foreground/linux/kwinforegroundbackend.h"

#include "ownprocess.h"
#include "privatebus.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QJSEngine>
#include <QMutex>
#include <QProcess>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>

namespace {

QString SourceFile(const QString &relative)
{
    QFile file(qEnvironmentVariable("INKORA_SOURCE_DIR") + QLatin1Char('/') + relative);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A thread for a host; run() executes on it and waits.
class HostThread {
public:
    HostThread()
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }
    ~HostThread()
    {
        m_thread.quit();
        m_thread.wait();
    }
    void run(const std::function<void()> &f) { QMetaObject::invokeMethod(&m_context, f, Qt::BlockingQueuedConnection); }

private:
    QThread m_thread;
    QObject m_context;
};

// An engine whose garbage collector leaves our host objects alone.
QJSValue Wrap(QJSEngine &engine, QObject *object)
{
    QQmlEngine::setObjectOwnership(object, QQmlEngine::CppOwnership);
    return engine.newQObject(object);
}

// ---- KWin: the windows and workspace of KWin 5 (activeClient, clientActivated, the
// class as bytes) and of KWin 6 (activeWindow, windowActivated, the class as text).

class Window5 : public QObject {
    Q_OBJECT
    Q_PROPERTY(int pid MEMBER pid CONSTANT)
    Q_PROPERTY(QByteArray resourceClass MEMBER resourceClass CONSTANT)
public:
    int pid = 0;
    QByteArray resourceClass;
};

class Window6 : public QObject {
    Q_OBJECT
    Q_PROPERTY(int pid MEMBER pid CONSTANT)
    Q_PROPERTY(QString resourceClass MEMBER resourceClass CONSTANT)
public:
    int pid = 0;
    QString resourceClass;
};

// Makes a window of pid and class active (no window for a negative pid) and tells the script.
class Workspace : public QObject {
    Q_OBJECT
public:
    void activate(int pid, const QString &windowClass)
    {
        active = pid < 0 ? nullptr : Make(pid, windowClass);
        if (active)
            active->setParent(this);
        Emit(active);
    }
    QObject *active = nullptr;

protected:
    virtual QObject *Make(int pid, const QString &windowClass) = 0;
    virtual void Emit(QObject *window) = 0;
};

class Workspace5 : public Workspace {
    Q_OBJECT
    Q_PROPERTY(QObject *activeClient MEMBER active)
signals:
    void clientActivated(QObject *client);

protected:
    QObject *Make(int pid, const QString &windowClass) override
    {
        auto *w = new Window5;
        w->pid = pid;
        w->resourceClass = windowClass.toUtf8();
        return w;
    }
    void Emit(QObject *window) override { emit clientActivated(window); }
};

class Workspace6 : public Workspace {
    Q_OBJECT
    Q_PROPERTY(QObject *activeWindow MEMBER active)
signals:
    void windowActivated(QObject *window);

protected:
    QObject *Make(int pid, const QString &windowClass) override
    {
        auto *w = new Window6;
        w->pid = pid;
        w->resourceClass = windowClass;
        return w;
    }
    void Emit(QObject *window) override { emit windowActivated(window); }
};

// KWin on the bus: org.kde.KWin /Scripting loadScript and unloadScript, run on the
// script's object, and the script's global callDBus, which converts its arguments and
// calls from KWin's own connection as KWin does.
class FakeKWin : public QObject {
    Q_OBJECT
public:
    FakeKWin(const QString &address, int version)
        : m_connection(QDBusConnection::connectToBus(address, QStringLiteral("fake-kwin"))), m_scripting(this)
    {
        if (version == 5)
            workspace = std::make_unique<Workspace5>();
        else
            workspace = std::make_unique<Workspace6>();
        m_connection.registerVirtualObject(QStringLiteral("/Scripting"), &m_scripting, QDBusConnection::SubPath);
        m_connection.registerService(QStringLiteral("org.kde.KWin"));
    }
    ~FakeKWin() override
    {
        m_engine.reset();
        m_connection.unregisterObject(QStringLiteral("/Scripting"), QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-kwin"));
    }

    QStringList loaded()
    {
        QMutexLocker lock(&m_mutex);
        QStringList names;
        for (const auto &entry : m_scripts)
            names << entry.first;
        return names;
    }

    Q_INVOKABLE void callDBus(const QString &service, const QString &path, const QString &interface,
                              const QString &method, const QJSValue &a1 = QJSValue(), const QJSValue &a2 = QJSValue(),
                              const QJSValue &a3 = QJSValue(), const QJSValue &a4 = QJSValue(),
                              const QJSValue &a5 = QJSValue())
    {
        QJSValueList args;
        for (const QJSValue &a : {a1, a2, a3, a4, a5})
            if (!a.isUndefined())
                args << a;
        if (!args.isEmpty() && args.last().isCallable())
            args.removeLast(); // the reply's callback
        QVariantList converted;
        for (const QJSValue &a : args)
            converted << a.toVariant();
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(converted);
        m_connection.asyncCall(message);
        ++calls;
    }

    std::unique_ptr<Workspace> workspace;
    QString error; // what the engine threw
    int calls = 0;

private:
    class Scripting : public QDBusVirtualObject {
    public:
        explicit Scripting(FakeKWin *kwin) : m_kwin(kwin) { }
        QString introspect(const QString &) const override { return QString(); }
        bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
        {
            // Maybe on Qt's bus thread: the scripts map is locked, the engine's work queued.
            const QVariantList args = message.arguments();
            QVariant answer;
            if (message.path() == QLatin1String("/Scripting") && message.member() == QLatin1String("loadScript")
                && args.size() == 2) {
                QFile file(args.at(0).toString());
                QMutexLocker lock(&m_kwin->m_mutex);
                const bool taken = m_kwin->m_scripts.count(args.at(1).toString()) > 0;
                if (!taken && file.open(QIODevice::ReadOnly))
                    m_kwin->m_scripts[args.at(1).toString()] = {m_kwin->m_nextId, QString::fromUtf8(file.readAll())};
                answer = taken || !file.isOpen() ? -1 : m_kwin->m_nextId++;
            } else if (message.path() == QLatin1String("/Scripting")
                       && message.member() == QLatin1String("unloadScript") && args.size() == 1) {
                QMutexLocker lock(&m_kwin->m_mutex);
                answer = m_kwin->m_scripts.erase(args.at(0).toString()) > 0;
                QMetaObject::invokeMethod(
                    m_kwin, [k = m_kwin] { k->m_engine.reset(); }, Qt::QueuedConnection);
            } else if (message.path().startsWith(QLatin1String("/Scripting/Script"))
                       && message.member() == QLatin1String("run")) {
                const int id = message.path().mid(int(qstrlen("/Scripting/Script"))).toInt();
                QMetaObject::invokeMethod(
                    m_kwin, [k = m_kwin, id] { k->Run(id); }, Qt::QueuedConnection);
            } else {
                return false;
            }
            connection.send(answer.isValid() ? message.createReply(answer) : message.createReply());
            return true;
        }

    private:
        FakeKWin *const m_kwin;
    };

    void Run(int id)
    {
        QString text;
        {
            QMutexLocker lock(&m_mutex);
            for (const auto &entry : m_scripts)
                if (entry.second.first == id)
                    text = entry.second.second;
        }
        m_engine = std::make_unique<QJSEngine>();
        m_engine->globalObject().setProperty(QStringLiteral("workspace"), Wrap(*m_engine, workspace.get()));
        m_engine->globalObject().setProperty(QStringLiteral("callDBus"),
                                             Wrap(*m_engine, this).property(QStringLiteral("callDBus")));
        const QJSValue result = m_engine->evaluate(text, QStringLiteral("kwin-foreground.js"));
        if (result.isError())
            error = result.toString();
    }

    QDBusConnection m_connection;
    Scripting m_scripting;
    QMutex m_mutex;                                       // m_scripts, m_nextId
    std::map<QString, std::pair<int, QString>> m_scripts; // name -> id, text
    int m_nextId = 0;
    std::unique_ptr<QJSEngine> m_engine; // the running script; the host thread's
};

// ---- GNOME Shell as the extension sees it: global.display (focus_window and its
// notify::focus-window signal), Gio's exported objects and bus names, GLib.Variant. The
// exported object and the name are real, on the host's own connection to the bus; the
// exported object's properties are read from the extension's object as GJS does.

const char kShellPrelude[] = R"(
var fakeGio = {
    BusType: {SESSION: 2},
    BusNameOwnerFlags: {NONE: 0},
    DBus: {session: {}},
    DBusExportedObject: {
        wrapJSObject(xml, object) {
            return {
                export(bus, path) {
                    if (bus !== fakeGio.DBus.session)
                        throw new Error('exported on a bus other than the session bus');
                    shell.exportObject(xml, path, object);
                },
                unexport() { shell.unexportObject(); },
                emit_property_changed(name, variant) { }, // PropertiesChanged: the source follows the signal
                emit_signal(name, variant) { shell.emitSignal(name, variant.signature, variant.value); },
            };
        },
    },
    bus_own_name(type, name, flags, onBusAcquired, onNameAcquired, onNameLost) {
        if (type !== fakeGio.BusType.SESSION)
            throw new Error('a name on a bus other than the session bus');
        return shell.ownName(name);
    },
    bus_unown_name(id) { shell.unownName(id); },
};
var fakeGLib = {Variant: class { constructor(signature, value) { this.signature = signature; this.value = value; } }};
var imports = {gi: {Gio: fakeGio, GLib: fakeGLib}};
var global = {display: {
    focus_window: null,
    handlers: new Map(),
    nextId: 1,
    connect(signal, callback) {
        if (signal !== 'notify::focus-window')
            throw new Error('the fake display has no signal ' + signal);
        const id = this.nextId++;
        this.handlers.set(id, callback);
        return id;
    },
    disconnect(id) {
        if (!this.handlers.delete(id))
            throw new Error('disconnect of an unknown handler ' + id);
    },
    focus(window) {
        this.focus_window = window;
        for (const callback of Array.from(this.handlers.values()))
            callback(this, null);
    },
}};
function fakeWindow(pid, wmClass) { return {get_pid() { return pid; }, get_wm_class() { return wmClass; }}; }
)";

// A GLib.Variant's value as D-Bus carries it; false when it is not of that type.
bool Unpack(const QString &type, const QJSValue &value, QVariant *out)
{
    if (type == QLatin1String("i")) {
        const double d = value.toNumber();
        if (!value.isNumber() || d != std::floor(d) || std::fabs(d) > 2147483647.0)
            return false;
        *out = int(d);
        return true;
    }
    if (type == QLatin1String("s")) {
        *out = value.toString();
        return value.isString();
    }
    if (type.size() < 2 || !type.startsWith(QLatin1Char('(')) || !type.endsWith(QLatin1Char(')')) || !value.isArray()
        || value.property(QStringLiteral("length")).toInt() != type.size() - 2)
        return false;
    QVariantList items;
    for (int i = 0; i < type.size() - 2; ++i) {
        QVariant item;
        if (!Unpack(type.mid(i + 1, 1), value.property(quint32(i)), &item))
            return false;
        items << item;
    }
    *out = items;
    return true;
}

class FakeShell : public QObject {
    Q_OBJECT
public:
    explicit FakeShell(const QString &address)
        : m_connection(QDBusConnection::connectToBus(address, QStringLiteral("fake-shell"))), m_object(this)
    { }
    ~FakeShell() override
    {
        unexportObject();
        m_engine.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-shell"));
    }

    // The extension in one of its forms (extension-legacy.js or extension.js), made.
    bool load(const QString &file, const QString &folder)
    {
        m_engine = std::make_unique<QJSEngine>();
        m_engine->installExtensions(QJSEngine::ConsoleExtension);
        m_engine->globalObject().setProperty(QStringLiteral("shell"), Wrap(*m_engine, this));
        Check(m_engine->evaluate(QString::fromUtf8(kShellPrelude)));
        QString text = SourceFile(QStringLiteral("resources/wayland/gnome-shell/") + file);
        if (text.isEmpty())
            return Fail(QStringLiteral("no ") + file);
        if (!text.contains(QLatin1String("import "))) {
            Check(m_engine->evaluate(text, file));
            extension = Check(m_engine->globalObject().property(QStringLiteral("init")).call());
        } else {
            // GJS's module specifiers, pointed at fake modules next to the extension.
            text.replace(QRegularExpression(QStringLiteral("'gi://(\\w+)'")), QStringLiteral("'./gi-\\1.mjs'"));
            text.replace(QStringLiteral("'resource:///org/gnome/shell/extensions/extension.js'"),
                         QStringLiteral("'./shell-extension.mjs'"));
            if (text.contains(QLatin1String("gi://")) || text.contains(QLatin1String("resource:///")))
                return Fail(QStringLiteral("an import the fakes do not offer"));
            const std::pair<const char *, QByteArray> files[] = {
                {"gi-Gio.mjs", "export default fakeGio;\n"},
                {"gi-GLib.mjs", "export default fakeGLib;\n"},
                {"shell-extension.mjs",
                 "export class Extension { constructor(metadata) { this.metadata = metadata; } }\n"},
                {"extension.mjs", text.toUtf8()}};
            for (const auto &f : files) {
                QFile out(folder + QLatin1Char('/') + QLatin1String(f.first));
                if (!out.open(QIODevice::WriteOnly) || out.write(f.second) != f.second.size())
                    return Fail(QStringLiteral("cannot write ") + out.fileName());
            }
            const QJSValue module = Check(m_engine->importModule(folder + QStringLiteral("/extension.mjs")));
            QJSValue metadata = m_engine->newObject();
            metadata.setProperty(QStringLiteral("uuid"), QStringLiteral("inkora-foreground@inkora"));
            extension = Check(module.property(QStringLiteral("default")).callAsConstructor({metadata}));
        }
        if (!extension.isObject())
            return Fail(QStringLiteral("the extension did not make its object"));
        return error.isEmpty();
    }
    // A call of the extension's enable or disable.
    void call(const QString &method)
    {
        Check(extension.property(method).callWithInstance(extension));
        Snapshot();
    }
    // The focus moving to a window of pid and class (a negative pid: no window).
    void focus(int pid, const QJSValue &wmClass)
    {
        const QJSValue display =
            m_engine->globalObject().property(QStringLiteral("global")).property(QStringLiteral("display"));
        const QJSValue window = pid < 0
            ? QJSValue(QJSValue::NullValue)
            : m_engine->globalObject().property(QStringLiteral("fakeWindow")).call({QJSValue(pid), wmClass});
        Check(display.property(QStringLiteral("focus")).callWithInstance(display, {window}));
        Snapshot();
    }
    int handlers() const
    {
        return m_engine->globalObject()
            .property(QStringLiteral("global"))
            .property(QStringLiteral("display"))
            .property(QStringLiteral("handlers"))
            .property(QStringLiteral("size"))
            .toInt();
    }

    Q_INVOKABLE void exportObject(const QString &xml, const QString &path, const QJSValue &object)
    {
        const QRegularExpressionMatch iface =
            QRegularExpression(QStringLiteral("<interface name=\"([^\"]+)\"")).match(xml);
        QMutexLocker lock(&m_mutex);
        if (m_exported || !iface.hasMatch()) {
            Fail(QStringLiteral("exported twice, or no interface"));
            return;
        }
        m_xml = xml;
        m_interface = iface.captured(1);
        m_path = path;
        m_js = object;
        m_exported = m_connection.registerVirtualObject(path, &m_object);
    }
    Q_INVOKABLE void unexportObject()
    {
        QMutexLocker lock(&m_mutex);
        if (m_exported)
            m_connection.unregisterObject(m_path);
        m_exported = false;
        m_js = QJSValue();
        m_properties.clear();
    }
    Q_INVOKABLE int ownName(const QString &name)
    {
        if (!m_connection.registerService(name))
            Fail(QStringLiteral("cannot own ") + name);
        m_names[++m_lastNameId] = name;
        return m_lastNameId;
    }
    Q_INVOKABLE void unownName(int id)
    {
        if (!m_names.count(id)) {
            Fail(QStringLiteral("unown of an unknown name id"));
            return;
        }
        m_connection.unregisterService(m_names[id]);
        m_names.erase(id);
    }
    Q_INVOKABLE void emitSignal(const QString &name, const QString &signature, const QJSValue &value)
    {
        // The signal's arguments as the interface declares them, in one tuple.
        const QRegularExpressionMatch declared =
            QRegularExpression(QStringLiteral("<signal name=\"%1\">(.*?)</signal>").arg(name)).match(m_xml);
        QString types;
        auto args = QRegularExpression(QStringLiteral("type=\"([^\"]+)\"")).globalMatch(declared.captured(1));
        while (args.hasNext())
            types += args.next().captured(1);
        QVariant unpacked;
        if (!m_exported || !declared.hasMatch() || signature != QLatin1Char('(') + types + QLatin1Char(')')
            || !Unpack(signature, value, &unpacked)) {
            Fail(QStringLiteral("signal %1 emitted as %2, which the interface does not say").arg(name, signature));
            return;
        }
        QDBusMessage message = QDBusMessage::createSignal(m_path, m_interface, name);
        message.setArguments(unpacked.toList());
        m_connection.send(message);
        ++signalsSent;
    }

    QJSValue extension;
    QString error; // the first fault the engine or the fakes saw
    int signalsSent = 0;

private:
    // The exported object on the bus: org.freedesktop.DBus.Properties Get and GetAll.
    class Exported : public QDBusVirtualObject {
    public:
        explicit Exported(FakeShell *shell) : m_shell(shell) { }
        QString introspect(const QString &) const override { return QString(); }
        bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
        {
            if (message.interface() != QLatin1String("org.freedesktop.DBus.Properties"))
                return false;
            const QVariantList args = message.arguments();
            QMutexLocker lock(&m_shell->m_mutex);
            if (args.isEmpty() || args.at(0).toString() != m_shell->m_interface) {
                connection.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("no such interface")));
            } else if (message.member() == QLatin1String("GetAll")) {
                connection.send(message.createReply(QVariant::fromValue(m_shell->m_properties)));
            } else if (message.member() == QLatin1String("Get") && args.size() == 2
                       && m_shell->m_properties.contains(args.at(1).toString())) {
                connection.send(message.createReply(
                    QVariant::fromValue(QDBusVariant(m_shell->m_properties.value(args.at(1).toString())))));
            } else {
                connection.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("no such property")));
            }
            return true;
        }

    private:
        FakeShell *const m_shell;
    };

    // The exported properties as they stand after the extension's last step: what a
    // Get answers (Qt may ask from its bus thread, away from the engine).
    void Snapshot()
    {
        QMutexLocker lock(&m_mutex);
        m_properties.clear();
        if (!m_exported)
            return;
        auto declared =
            QRegularExpression(QStringLiteral("<property name=\"([^\"]+)\" type=\"([^\"]+)\"")).globalMatch(m_xml);
        while (declared.hasNext()) {
            const QRegularExpressionMatch p = declared.next();
            QVariant value;
            if (Unpack(p.captured(2), m_js.property(p.captured(1)), &value))
                m_properties.insert(p.captured(1), value);
            else
                Fail(QStringLiteral("property %1 is not of type %2").arg(p.captured(1), p.captured(2)));
        }
    }
    QJSValue Check(const QJSValue &value)
    {
        if (value.isError())
            Fail(value.toString() + QStringLiteral(" at line ")
                 + value.property(QStringLiteral("lineNumber")).toString());
        return value;
    }
    bool Fail(const QString &why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }

    QDBusConnection m_connection;
    Exported m_object;
    std::unique_ptr<QJSEngine> m_engine;
    std::map<int, QString> m_names; // bus_own_name ids
    int m_lastNameId = 0;
    QMutex m_mutex; // what the exported object answers with
    bool m_exported = false;
    QString m_xml, m_interface, m_path;
    QJSValue m_js;            // the extension's exported object; the host thread's
    QVariantMap m_properties; // its properties, typed as the interface says
};

} // namespace

// The script under KWin 5 and KWin 6: the active window at start, a window per kind
// (own process, ended process, focus lost to no window) through the activation signal,
// and nothing more once Inkora has unloaded it.
TEST(HostScripts, KWinScriptReportsActivationsUnderKWin5And6)
{
    for (const int version : {5, 6}) {
        SCOPED_TRACE(version);
        PrivateBus bus;
        if (!bus.isRunning())
            GTEST_SKIP() << bus.reason().toStdString();
        HostThread host;
        FakeKWin *kwin = nullptr;
        host.run([&] { kwin = new FakeKWin(bus.address(), version); });
        const int self = int(QCoreApplication::applicationPid());
        const auto activate = [&](int pid, const QString &windowClass) {
            host.run([&] { kwin->workspace->activate(pid, windowClass); });
        };
        activate(self, QStringLiteral("org.kde.kate"));

        std::unique_ptr<KWinForegroundBackend> backend = KWinForegroundBackend::open(bus.connection());
        ASSERT_TRUE(backend);
        QSignalSpy changed(backend.get(), &KWinForegroundBackend::changed);
        const auto shows = [&](const QString &path, const QString &windowClass) {
            while ((backend->current()->path != path || backend->current()->windowClass != windowClass)
                   && changed.wait(5000)) { }
            return backend->current()->path == path && backend->current()->windowClass == windowClass;
        };
        EXPECT_TRUE(shows(OwnExecutable(), QStringLiteral("org.kde.kate"))) << "the window active at start";
        host.run([&] { EXPECT_TRUE(kwin->error.isEmpty()) << kwin->error.toStdString(); });

        activate(int(EndedPid()), QStringLiteral("gone"));
        EXPECT_TRUE(shows(QString(), QStringLiteral("gone")));
        activate(self, QStringLiteral("firefox"));
        EXPECT_TRUE(shows(OwnExecutable(), QStringLiteral("firefox")));
        activate(-1, QString()); // the focus went to no window
        EXPECT_TRUE(shows(QString(), QString()));
        activate(self, QStringLiteral("krita"));
        EXPECT_TRUE(shows(OwnExecutable(), QStringLiteral("krita")));

        backend.reset();
        int calls = 0;
        host.run([&] {
            EXPECT_TRUE(kwin->loaded().isEmpty());
            calls = kwin->calls;
        });
        activate(self, QStringLiteral("after"));
        host.run([&] {
            EXPECT_EQ(kwin->calls, calls) << "the script still runs after it was unloaded";
            delete kwin;
        });
    }
}

// Both forms of the extension (GNOME Shell 43/44 and 45+): the focused window's pid and
// class read from the window, the properties read when the extension appears, a focus on
// an ended process, a window without a class, the focus lost to no window; disable lets
// go of the name, the object and the display's signal, and enable again is read afresh.
TEST(HostScripts, ShellExtensionReportsTheFocusInBothForms)
{
    for (const QString &file : {QStringLiteral("extension-legacy.js"), QStringLiteral("extension.js")}) {
        SCOPED_TRACE(file.toStdString());
        PrivateBus bus;
        if (!bus.isRunning())
            GTEST_SKIP() << bus.reason().toStdString();
        QTemporaryDir folder;
        HostThread host;
        FakeShell *shell = nullptr;
        bool loaded = false;
        host.run([&] {
            shell = new FakeShell(bus.address());
            loaded = shell->load(file, folder.path());
        });
        const auto healthy = [&] {
            QString error;
            host.run([&] { error = shell->error; });
            return error.toStdString();
        };
        ASSERT_TRUE(loaded) << healthy();
        const int self = int(QCoreApplication::applicationPid());

        std::unique_ptr<GnomeShellForegroundBackend> backend = GnomeShellForegroundBackend::open(bus.connection());
        ASSERT_TRUE(backend);
        QSignalSpy changed(backend.get(), &GnomeShellForegroundBackend::changed);
        const auto shows = [&](const QString &path, const QString &windowClass) {
            while ((backend->current()->path != path || backend->current()->windowClass != windowClass)
                   && changed.wait(5000)) { }
            return backend->current()->path == path && backend->current()->windowClass == windowClass;
        };
        const auto focus = [&](int pid, const QJSValue &wmClass) { host.run([&] { shell->focus(pid, wmClass); }); };

        focus(self, QStringLiteral("org.gnome.Console"));
        host.run([&] { shell->call(QStringLiteral("enable")); });
        EXPECT_TRUE(shows(OwnExecutable(), QStringLiteral("org.gnome.Console"))) << "the properties at start";
        EXPECT_TRUE(backend->extensionPresent());
        focus(int(EndedPid()), QStringLiteral("gone"));
        EXPECT_TRUE(shows(QString(), QStringLiteral("gone")));
        focus(self, QJSValue(QJSValue::NullValue)); // get_wm_class() gives null
        EXPECT_TRUE(shows(OwnExecutable(), QString()));
        focus(-1, QJSValue()); // the focus went to no window
        EXPECT_TRUE(shows(QString(), QString()));
        focus(self, QStringLiteral("gimp"));
        EXPECT_TRUE(shows(OwnExecutable(), QStringLiteral("gimp")));
        EXPECT_EQ(healthy(), "");

        int sent = 0;
        host.run([&] {
            shell->call(QStringLiteral("disable"));
            EXPECT_EQ(shell->handlers(), 0) << "the display's signal is still connected";
            sent = shell->signalsSent;
        });
        EXPECT_TRUE(shows(QString(), QString()));
        while (backend->extensionPresent() && changed.wait(5000)) { }
        EXPECT_FALSE(backend->extensionPresent());
        focus(self, QStringLiteral("krita"));
        host.run([&] {
            EXPECT_EQ(shell->signalsSent, sent) << "a signal after disable";
            shell->call(QStringLiteral("enable"));
        });
        EXPECT_TRUE(shows(OwnExecutable(), QStringLiteral("krita"))) << "the properties after enable again";
        host.run([&] { shell->call(QStringLiteral("disable")); });
        EXPECT_EQ(healthy(), "");
        host.run([&] { delete shell; });
    }
}

#include "hostscripts_test.moc"
