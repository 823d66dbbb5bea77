#pragma once
// Usage records. Every record of the program — the settings window's controls, the
// action engine's records (message 99), the main window's events — goes through
// UsageRecord(), which hands it to the sink set at start-up (the usage upload). Without
// a sink records are dropped.
//
// A record is one or more JSON members: "name":"value" or "name":{"key":"value",...},
// its strings escaped as JSON wants them (a backslash of a path is sent doubled), so the
// upload body reads back as exactly the values given, whatever they hold. Every record
// is built here: a hand-made one would not be escaped.

#include <QPair>
#include <QString>
#include <QVector>

class UsageRecordSink {
public:
    virtual ~UsageRecordSink() = default;
    // Called on any thread.
    virtual void AddRecord(const QString &record) = 0;
};

using UsagePairs = QVector<QPair<QString, QString>>;

// Process-wide sink, guarded by a mutex; null: records are dropped.
void SetUsageRecordSink(UsageRecordSink *sink);
// Clears the sink only when it is this one (for the sink's destructor).
void ClearUsageRecordSink(UsageRecordSink *sink);

// "name":"value"
QString UsageRecordText(const QString &name, const QString &value);
// "name":{"k1":"v1","k2":"v2"}
QString UsageRecordText(const QString &name, const UsagePairs &pairs);
// "tablet":"productName",record — the main window's prefix for the action engine's
// records.
QString UsageRecordWithTablet(const QString &productName, const QString &record);

// Routes a built record.
void UsageRecord(const QString &record);
void UsageRecord(const QString &name, const QString &value);
void UsageRecord(const QString &name, const UsagePairs &pairs);
