#pragma once
// The control channel of `FwFlasher --simulate`: the same line protocol as Inkora's
// simulated tablets (`inkora-hidtool simulate --socket PATH ...`), for the updatable
// tablet and its loader:
//
//   list        ok N:InkoraPadM | ok loader | ok   (what is plugged in)
//   plug MODEL  ok N | ok loader    (MODEL: InkoraPadM, 0x0935 or "loader")
//   unplug T    ok                  (T: the tablet's number or model key, or "loader")
//
// Lives on the GUI thread; the backend takes each call under its own lock.

#include "sim/controlsocket.h"

#include <QObject>
#include <QString>

class SimLoaderBackend;

class SimLoaderControl : public QObject {
    Q_OBJECT

public:
    // backend: not owned, outlives this object.
    explicit SimLoaderControl(SimLoaderBackend *backend, QObject *parent = nullptr);
    ~SimLoaderControl() override;

    // "inkora-fwflasher-simulate" in the user's runtime folder ($XDG_RUNTIME_DIR).
    static QString DefaultSocketPath();
    bool Listen(const QString &path) { return m_socket.Listen(path); }

    // One command line, without its line end; the answer, without one.
    QString Execute(const QString &line);

private:
    SimLoaderBackend *m_pBackend;
    ControlSocket m_socket{[this](const QString &line) { return Execute(line); }};
};
