#pragma once
// The control channel of `Inkora --simulate`: a local socket that takes one command per
// line and answers each with one line, "ok" (with a value for the queries) or
// "error: WHY". People (`inkora-hidtool simulate ...`) and the end-to-end tests drive
// the simulated tablets of a running program through it.
//
//   list                                      ok N:MODEL ... bN:MODEL (Bluetooth ones)
//   plug MODEL                                ok N        (model key or product id)
//   unplug T                                  ok
//   keys T BITS [RING]                        ok          (bit 0 is key 1; 0 lets go; the
//                                                          ring byte of the report)
//   battery T PERCENT [CHARGING]              ok          (a battery report)
//   pen T X Y PRESSURE [BUTTONS [INRANGE]]    ok          (one pen report)
//   stroke T X0 Y0 X1 Y1 STEPS PRESSURE [MS]  ok          (hover, STEPS tip-down samples,
//                                                          lift, leave; MS between reports)
//   mode T                                    ok MODE     (the report mode last set)
//   pending T                                 ok COUNT    (reports not read yet)
//
// T is a tablet's number (the "simN" of its interface path, and what plug answers), "bN"
// for a Bluetooth tablet, or a model key (the first tablet of that model). Numbers may be decimal or 0x-hex.
//
// Lives on the GUI thread; the simulated tablets take the scripted reports under their
// own lock, and the reading threads read them from there.

#include "sim/controlsocket.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <QVector>

#include <memory>
#include <utility>

class QLocalSocket;
class SimBleHidBackend;
class SimHidBackend;
class SimTablet;

class SimControl : public QObject {
    Q_OBJECT

public:
    // backend: the program's simulated tablets; not owned, outlives this object.
    explicit SimControl(SimHidBackend *backend, QObject *parent = nullptr);
    // The Bluetooth tablets driven too (not owned, outlives this object; may be null).
    void SetBluetooth(SimBleHidBackend *bluetooth) { m_pBluetooth = bluetooth; }
    ~SimControl() override;

    // "inkora-simulate" in the user's runtime folder ($XDG_RUNTIME_DIR).
    static QString DefaultSocketPath();

    // Listens on path (a stale socket file of an earlier run is removed first). False
    // with a log line when the socket cannot be made.
    bool Listen(const QString &path) { return m_socket.Listen(path); }
    QString socketPath() const { return m_socket.socketPath(); }

    // One command line, without its line end; the answer, without one.
    QString Execute(const QString &line);

    // Longest command line taken; a longer one ends the connection.
    static constexpr int kMaxLine = ControlSocket::kMaxLine;

private:
    std::shared_ptr<SimTablet> FindTablet(const QString &id, QString *why) const;
    QVector<std::pair<QString, std::shared_ptr<SimTablet>>> AllTablets() const;

    SimHidBackend *m_pBackend;
    SimBleHidBackend *m_pBluetooth = nullptr;
    ControlSocket m_socket{[this](const QString &line) { return Execute(line); }};
};
