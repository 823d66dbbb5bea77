#pragma once
// The HID backend a hidtool command runs on: the real one (hidraw), or simulated tablets
// when the command line has "--simulate" or "--simulate=LIST" (Inkora's grammar:
// product ids or model keys, or "all"; without a list, every simulated model).

#include "platform/hid/hidbackend.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class SimHidBackend;
class SimTablet;

class HidToolBackend {
public:
    HidToolBackend();
    ~HidToolBackend();
    HidToolBackend(const HidToolBackend &) = delete;
    HidToolBackend &operator=(const HidToolBackend &) = delete;

    // Takes "--simulate[=...]" out of *args and starts the chosen backend. False with
    // *error on a bad product id list or a backend that cannot start.
    bool setUp(QStringList *args, QString *error);

    HidBackend &backend() { return *m_backend; }
    bool simulated() const { return m_sim != nullptr; }
    // The simulated tablet behind an interface text; null on the real backend.
    std::shared_ptr<SimTablet> simTablet(const QString &path) const;
    void unplug(const std::shared_ptr<SimTablet> &tablet);

private:
    std::unique_ptr<HidBackend> m_backend;
    SimHidBackend *m_sim = nullptr; // m_backend when simulated
    QVector<std::shared_ptr<SimTablet>> m_tablets;
};

// Finds the interface text a command-line PATH names: the text itself (case ignored), or
// the node field of one ("hidraw3", "/dev/hidraw3", "sim0"); among several interfaces of
// one node the first that matches a model entry wins. Empty when none is present.
QString ResolveInterfacePath(HidBackend &backend, const QString &argument);
