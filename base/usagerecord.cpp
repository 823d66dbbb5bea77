#include "base/usagerecord.h"

#include <mutex>

namespace {

std::mutex g_sinkMutex;
UsageRecordSink *g_pSink = nullptr; // guarded by g_sinkMutex

// A JSON string: the quote and the backslash escaped, control characters as \u00XX.
QString quoted(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar ch : text) {
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\\'))
            out += QLatin1Char('\\') + ch;
        else if (ch.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    out += QLatin1Char('"');
    return out;
}

} // namespace

void SetUsageRecordSink(UsageRecordSink *sink)
{
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    g_pSink = sink;
}

void ClearUsageRecordSink(UsageRecordSink *sink)
{
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    if (g_pSink == sink)
        g_pSink = nullptr;
}

QString UsageRecordText(const QString &name, const QString &value)
{
    return quoted(name) + QLatin1Char(':') + quoted(value);
}

QString UsageRecordText(const QString &name, const UsagePairs &pairs)
{
    QString text = quoted(name) + QStringLiteral(":{");
    for (int i = 0; i < pairs.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        text += quoted(pairs.at(i).first) + QLatin1Char(':') + quoted(pairs.at(i).second);
    }
    text += QLatin1Char('}');
    return text;
}

QString UsageRecordWithTablet(const QString &productName, const QString &record)
{
    return UsageRecordText(QStringLiteral("tablet"), productName) + QLatin1Char(',') + record;
}

void UsageRecord(const QString &record)
{
    // The sink is called under the lock so it cannot be destroyed meanwhile; AddRecord
    // only appends to a queue.
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    if (g_pSink)
        g_pSink->AddRecord(record);
}

void UsageRecord(const QString &name, const QString &value)
{
    UsageRecord(UsageRecordText(name, value));
}

void UsageRecord(const QString &name, const UsagePairs &pairs)
{
    UsageRecord(UsageRecordText(name, pairs));
}
