#pragma once
// Usage records. Every record of the program — the settings window's controls, the
// action engine's records (message 99), the main window's events — goes through
// UsageRecord(), which hands it to the sink set at start-up (the usage upload). Without
// a sink records are dropped.
//
// A record is one or more JSON members: "name":"value" or "name":{"key":"value",...}.
// The upload doubles every backslash of a record before sending (Windows paths arrive
// as written), so the texts built here leave backslashes alone and write a double quote
// or a control character as \u00XX: the body stays valid JSON whatever a value holds.

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
