#pragma once
// Helpers of the profile tests: log capture, files, record comparison.

#include "config/appprofiles.h"
#include "config/profilerecords.h"
#include "tools/profiledump.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QStringList>

#include <cstring>
#include <memory>

// Collects what the code under test logs, restoring the previous handler afterwards.
class ProfileLog {
public:
    ProfileLog()
    {
        lines().clear();
        m_previous = qInstallMessageHandler(&ProfileLog::handler);
    }
    ~ProfileLog() { qInstallMessageHandler(m_previous); }
    QString all() const
    {
        QMutexLocker lock(&mutex());
        return lines().join(QLatin1Char('\n'));
    }
    bool has(const QString &text) const { return all().contains(text); }

private:
    static QStringList &lines()
    {
        static QStringList s;
        return s;
    }
    static QMutex &mutex()
    {
        static QMutex m;
        return m;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        QMutexLocker lock(&mutex());
        lines() << message;
    }
    QtMessageHandler m_previous;
};

inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The committed default profile file.
inline QString DefaultConfigPath()
{
    return qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/resources/config/config.xml");
}

// A profile document: the XML declaration, a root with a version and the given models.
inline QByteArray ProfileDocument(const QByteArray &models)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<InkoraConfig version=\"1.2.0\">\n") + models
           + "\n</InkoraConfig>\n";
}

// The first place where two JSON values differ, as a path ("CommonAPP.keys[3].Actid").
inline QString FirstDifference(const QJsonValue &a, const QJsonValue &b, const QString &at = QString())
{
    if (a.isObject() && b.isObject()) {
        const QJsonObject oa = a.toObject();
        const QJsonObject ob = b.toObject();
        for (auto it = oa.begin(); it != oa.end(); ++it) {
            const QString d = FirstDifference(it.value(), ob.value(it.key()), at + QLatin1Char('.') + it.key());
            if (!d.isEmpty())
                return d;
        }
        return oa.size() == ob.size() ? QString() : at + QStringLiteral(" (keys)");
    }
    if (a.isArray() && b.isArray()) {
        const QJsonArray aa = a.toArray();
        const QJsonArray ab = b.toArray();
        if (aa.size() != ab.size())
            return at + QStringLiteral(" (size %1 vs %2)").arg(aa.size()).arg(ab.size());
        for (int i = 0; i < aa.size(); ++i) {
            const QString d = FirstDifference(aa.at(i), ab.at(i), at + QStringLiteral("[%1]").arg(i));
            if (!d.isEmpty())
                return d;
        }
        return QString();
    }
    if (a == b)
        return QString();
    return at + QStringLiteral(": ") + QString::fromUtf8(QJsonDocument(QJsonArray{a}).toJson(QJsonDocument::Compact))
           + QStringLiteral(" vs ") + QString::fromUtf8(QJsonDocument(QJsonArray{b}).toJson(QJsonDocument::Compact));
}

// Byte-equal records (list pointers aside), reported by the first differing field.
inline ::testing::AssertionResult SameProfile(const DeviceProfile &a, const DeviceProfile &b)
{
    // Copies on the heap: the records are a quarter megabyte each.
    auto x = std::make_unique<TabletXMLData>();
    auto y = std::make_unique<TabletXMLData>();
    std::memcpy(x.get(), &a.data(), sizeof *x);
    std::memcpy(y.get(), &b.data(), sizeof *y);
    x->Apps = y->Apps = nullptr;
    bool same = std::memcmp(x.get(), y.get(), sizeof *x) == 0 && a.apps().size() == b.apps().size();
    auto ia = a.apps().begin();
    auto ib = b.apps().begin();
    for (; same && ia != a.apps().end(); ++ia, ++ib) {
        auto p = std::make_unique<AppConfigNode>();
        auto q = std::make_unique<AppConfigNode>();
        std::memcpy(p.get(), ia->second, sizeof *p);
        std::memcpy(q.get(), ib->second, sizeof *q);
        p->next = q->next = nullptr;
        same = ia->first == ib->first && std::memcmp(p.get(), q.get(), sizeof *p) == 0;
    }
    if (same)
        return ::testing::AssertionSuccess();
    const QString where = FirstDifference(ProfileToJson(a.data(), a.apps()), ProfileToJson(b.data(), b.apps()));
    return ::testing::AssertionFailure() << "profiles differ at "
                                         << qPrintable(where.isEmpty() ? QStringLiteral("(bytes outside the fields)") : where);
}
