#pragma once
// Linux backend of the process facility: /proc. The image path of a process is the
// target of /proc/PID/exe; the kernel lets us read it only for our own processes (or
// with ptrace rights), so other users' processes come back without a path.

#include "platform/process/processbackend.h"

class ProcfsProcessBackend : public ProcessBackend {
public:
    // procRoot is "/proc" except in tests, which lay out a tree of their own.
    explicit ProcfsProcessBackend(QString procRoot = QStringLiteral("/proc"));
    QVector<ProcessInfo> snapshot() const override;

private:
    QString m_procRoot;
};
