#pragma once
// The process facility: a snapshot of the running processes with the path of each
// one's executable image, for the application chooser of the settings window.

#include <QString>
#include <QVector>

struct ProcessInfo {
    qint64 pid = 0;
    QString name;      // process name (the image's file name where the system gives none)
    QString imagePath; // full path of the executable image; empty when it cannot be read
};

class ProcessBackend {
public:
    virtual ~ProcessBackend() = default;
    // Every process the system shows this user, in the system's order.
    virtual QVector<ProcessInfo> snapshot() const = 0;
};

// Test backend: answers the list it was given.
class FixedProcessBackend : public ProcessBackend {
public:
    explicit FixedProcessBackend(QVector<ProcessInfo> processes) : m_processes(std::move(processes)) {}
    QVector<ProcessInfo> snapshot() const override { return m_processes; }

private:
    QVector<ProcessInfo> m_processes;
};
