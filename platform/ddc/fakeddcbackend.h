#pragma once
// Test backend of the DDC/CI facility: monitors described by hand. Every write asked for
// is recorded in order and done at once (no queue), and a later read sees it.

#include "platform/ddc/ddcbackend.h"

#include <QMap>
#include <QVector>

#include <mutex>

struct FakeMonitor {
    QByteArray edid;
    bool answers = true;          // false: capabilities and reads fail, as without DDC/CI
    QByteArray caps = "(prot(monitor)type(lcd)vcp(04 10 12 14 16 18 1A))";
    QMap<quint8, int> values;     // feature code -> current value
    QMap<quint8, int> maximums;   // feature code -> maximum (100 when absent)
};

struct FakeVcpWrite {
    int display = -1;
    quint8 code = 0;
    int value = 0;
    bool operator==(const FakeVcpWrite &o) const
    {
        return display == o.display && code == o.code && value == o.value;
    }
};

class FakeDdcBackend : public DdcBackend {
public:
    explicit FakeDdcBackend(QVector<FakeMonitor> monitors = {}) : m_monitors(std::move(monitors)) {}

    QVector<DdcDisplay> displays() override;
    bool capabilities(int display, QByteArray *caps) override;
    bool getVcp(int display, quint8 code, int *current, int *maximum) override;
    bool setVcp(int display, quint8 code, int value) override;

    FakeMonitor &monitor(int display) { return m_monitors[display]; }
    const QVector<FakeVcpWrite> &writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }

private:
    // The four calls above may come from two threads (the pen display search runs on a
    // worker of its own); the test accessors are the test thread's, between calls.
    std::mutex m_mutex;
    QVector<FakeMonitor> m_monitors;
    QVector<FakeVcpWrite> m_writes;
};
