#include "platform/display/linux/xdgoutputdisplaybackend.h"

#include "platform/display/linux/xrandrdisplaybackend.h"
#include "platform/session/linux/waylandregistry.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {
const uint32_t kOutputVersion = 4;  // name and description
const uint32_t kManagerVersion = 3; // done on wl_output
} // namespace

// One output: its objects and what their events said. Owned by its Connection.
struct OutputRecord {
    XdgOutputDisplayBackend::Connection *connection = nullptr;
    uint32_t global = 0;
    wl_output *output = nullptr;
    zxdg_output_v1 *xdgOutput = nullptr;
    QString name, xdgName, make, model;
    int32_t transform = WL_OUTPUT_TRANSFORM_NORMAL;
    int32_t scale = 1;
    QSize mode; // the current mode, in the output's own pixels
    QPoint logicalPosition;
    QSize logicalSize; // empty until the compositor told it

    ~OutputRecord()
    {
        if (xdgOutput)
            zxdg_output_v1_destroy(xdgOutput);
        if (output) {
            if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
                wl_output_release(output);
            else
                wl_output_destroy(output);
        }
    }
};

// One connection's objects; the GUI thread's alone.
struct XdgOutputDisplayBackend::Connection {
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    zxdg_output_manager_v1 *manager = nullptr;
    std::vector<std::unique_ptr<OutputRecord>> outputs; // in the order the compositor announced them
    bool changed = false; // an output came, went or finished a change during this dispatch

    ~Connection()
    {
        outputs.clear();
        if (manager)
            zxdg_output_manager_v1_destroy(manager);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }
};

namespace {

using Connection = XdgOutputDisplayBackend::Connection;

OutputRecord *Record(void *data)
{
    return static_cast<OutputRecord *>(data);
}

void OnGeometry(void *data, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t, const char *make,
                const char *model, int32_t transform)
{
    OutputRecord *r = Record(data);
    r->make = QString::fromUtf8(make);
    r->model = QString::fromUtf8(model);
    r->transform = transform;
}

void OnMode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    if (flags & WL_OUTPUT_MODE_CURRENT)
        Record(data)->mode = QSize(width, height);
}

void OnOutputDone(void *data, wl_output *)
{
    Record(data)->connection->changed = true;
}

void OnScale(void *data, wl_output *, int32_t factor)
{
    Record(data)->scale = factor;
}

void OnName(void *data, wl_output *, const char *name)
{
    Record(data)->name = QString::fromUtf8(name);
}

void OnDescription(void *, wl_output *, const char *) { }

const wl_output_listener kOutputListener = {OnGeometry, OnMode, OnOutputDone, OnScale, OnName, OnDescription};

void OnLogicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y)
{
    Record(data)->logicalPosition = QPoint(x, y);
}

void OnLogicalSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height)
{
    Record(data)->logicalSize = QSize(width, height);
}

// Sent by managers before version 3 only; from 3 on wl_output's done ends a change.
void OnXdgDone(void *data, zxdg_output_v1 *)
{
    Record(data)->connection->changed = true;
}

void OnXdgName(void *data, zxdg_output_v1 *, const char *name)
{
    Record(data)->xdgName = QString::fromUtf8(name);
}

void OnXdgDescription(void *, zxdg_output_v1 *, const char *) { }

const zxdg_output_v1_listener kXdgOutputListener = {OnLogicalPosition, OnLogicalSize, OnXdgDone, OnXdgName,
                                                    OnXdgDescription};

void WatchLogical(Connection *c, OutputRecord *r)
{
    if (!c->manager || r->xdgOutput)
        return;
    r->xdgOutput = zxdg_output_manager_v1_get_xdg_output(c->manager, r->output);
    zxdg_output_v1_add_listener(r->xdgOutput, &kXdgOutputListener, r);
}

void OnGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    auto *c = static_cast<Connection *>(data);
    if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto r = std::make_unique<OutputRecord>();
        r->connection = c;
        r->global = name;
        r->output = static_cast<wl_output *>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min(version, kOutputVersion)));
        wl_output_add_listener(r->output, &kOutputListener, r.get());
        WatchLogical(c, r.get());
        c->outputs.push_back(std::move(r));
    } else if (!c->manager && std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        c->manager = static_cast<zxdg_output_manager_v1 *>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, std::min(version, kManagerVersion)));
        for (const std::unique_ptr<OutputRecord> &r : c->outputs)
            WatchLogical(c, r.get());
    }
}

void OnGlobalRemove(void *data, wl_registry *, uint32_t name)
{
    auto *c = static_cast<Connection *>(data);
    const auto gone = std::remove_if(c->outputs.begin(), c->outputs.end(),
                                     [name](const std::unique_ptr<OutputRecord> &r) { return r->global == name; });
    if (gone != c->outputs.end()) {
        c->outputs.erase(gone, c->outputs.end());
        c->changed = true;
    }
}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

// A connection with the outputs and their logical rectangles known; null, with the
// reason, when there is no compositor or no xdg-output.
std::unique_ptr<Connection> Open(const QByteArray &displayName, QString *why)
{
    auto c = std::make_unique<Connection>();
    if (!OpenWaylandRegistry(displayName, &kRegistryListener, c.get(), &c->display, &c->registry, why))
        return nullptr;
    // The globals, then what the outputs and their xdg outputs tell on binding.
    if (!AwaitWaylandGlobal(
            c->display, [&c] { return c->manager != nullptr; }, "zxdg_output_manager_v1", why))
        return nullptr;
    c->changed = false;
    return c;
}

QString TransformName(int32_t transform)
{
    static const char *const kNames[] = {"normal",  "90",         "180",         "270",
                                         "flipped", "flipped-90", "flipped-180", "flipped-270"};
    return transform >= 0 && transform < 8 ? QString::fromLatin1(kNames[transform]) : QString::number(transform);
}

// The screens of the outputs whose logical rectangle is known, and a line describing them.
std::vector<DisplayScreen> Layout(const Connection &c, QString *described)
{
    std::vector<DisplayScreen> screens;
    described->clear();
    for (const std::unique_ptr<OutputRecord> &r : c.outputs) {
        if (r->logicalSize.isEmpty())
            continue;
        DisplayScreen screen;
        screen.geometry = QRect(r->logicalPosition, r->logicalSize);
        screen.name = r->name.isEmpty() ? r->xdgName : r->name;
        // Wayland has no primary output; the screen table's primary is the one at (0, 0).
        screen.primary = screen.geometry.topLeft() == QPoint(0, 0);
        screen.edid = DrmConnectorEdid(screen.name);
        screens.push_back(screen);
        // wl_output's scale is a whole number; the fractional one is the mode over the
        // logical size (turned a quarter, the mode's sides swap).
        const bool turned = r->transform % 2 == 1;
        const int modeWidth = turned ? r->mode.height() : r->mode.width();
        const double scale = modeWidth > 0 ? double(modeWidth) / r->logicalSize.width() : double(r->scale);
        *described += QStringLiteral(" %1 %2,%3 %4x%5 scale %6 %7 (%8 %9)")
                          .arg(screen.name)
                          .arg(screen.geometry.x())
                          .arg(screen.geometry.y())
                          .arg(screen.geometry.width())
                          .arg(screen.geometry.height())
                          .arg(scale, 0, 'g', 4)
                          .arg(TransformName(r->transform), r->make, r->model);
    }
    return screens;
}

} // namespace

std::unique_ptr<XdgOutputDisplayBackend> XdgOutputDisplayBackend::open(const QByteArray &displayName, QObject *parent)
{
    std::unique_ptr<XdgOutputDisplayBackend> backend(new XdgOutputDisplayBackend(displayName, parent));
    QString why;
    if (!backend->Connect(&why)) {
        qWarning().noquote() << "Display layout (xdg-output):" << why;
        return nullptr;
    }
    QString described;
    const std::vector<DisplayScreen> screens = Layout(*backend->m_connection, &described);
    backend->Keep(screens, described, "xdg-output");
    return backend;
}

XdgOutputDisplayBackend::XdgOutputDisplayBackend(const QByteArray &displayName, QObject *parent)
    : CompositorDisplayBackend("Display layout: connected to the compositor again", parent), m_displayName(displayName)
{
}

XdgOutputDisplayBackend::~XdgOutputDisplayBackend()
{
    delete m_notifier; // before the connection's fd closes
    m_notifier = nullptr;
}

bool XdgOutputDisplayBackend::Connect()
{
    QString why;
    return Connect(&why);
}

bool XdgOutputDisplayBackend::Connect(QString *why)
{
    m_connection = Open(m_displayName, why);
    if (!m_connection)
        return false;
    m_notifier = new QSocketNotifier(wl_display_get_fd(m_connection->display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XdgOutputDisplayBackend::ReadEvents);
    return true;
}

void XdgOutputDisplayBackend::ReadEvents()
{
    Connection &c = *m_connection;
    // The queue may hold events already (read during a request of ours): then no read.
    if (wl_display_prepare_read(c.display) == 0 && wl_display_read_events(c.display) < 0) {
        Lost();
        return;
    }
    // Binding a new output's objects are requests of ours: flushed here.
    if (wl_display_dispatch_pending(c.display) < 0 || (wl_display_flush(c.display) < 0 && errno != EAGAIN)) {
        Lost();
        return;
    }
    if (c.changed) {
        c.changed = false;
        Noticed();
    }
}

void XdgOutputDisplayBackend::Lost()
{
    const int error = wl_display_get_error(m_connection->display);
    // Called from the notifier's own signal: it goes once the signal returns.
    m_notifier->setEnabled(false);
    m_notifier->deleteLater();
    m_notifier = nullptr;
    m_connection.reset();
    qInfo().noquote() << QStringLiteral("Display layout: the compositor %1; the last layout stays until it is back")
                             .arg(error == EPROTO ? QStringLiteral("broke the protocol")
                                                  : QStringLiteral("closed the connection"));
    ReconnectLater();
}

void XdgOutputDisplayBackend::Recheck()
{
    if (!m_connection)
        return;
    QString described;
    const std::vector<DisplayScreen> screens = Layout(*m_connection, &described);
    if (Keep(screens, described, "xdg-output"))
        emit displayChanged();
}
