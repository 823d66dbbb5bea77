#include "tools/hidrecording.h"

#include <QList>

namespace {

bool parseHexByte(const QByteArray &token, uint8_t *value)
{
    if (token.size() != 2)
        return false;
    bool ok = false;
    const uint v = token.toUInt(&ok, 16);
    if (!ok)
        return false;
    *value = uint8_t(v);
    return true;
}

// "<sec>.<usec>" with both parts decimal; usec has 1..6 digits.
bool parseTime(const QByteArray &token, qint64 *us)
{
    const int dot = token.indexOf('.');
    if (dot <= 0 || dot == token.size() - 1)
        return false;
    const QByteArray sec = token.left(dot);
    const QByteArray frac = token.mid(dot + 1);
    if (frac.size() > 6 || sec.size() > 12)
        return false;
    for (char c : token) {
        if (c != '.' && (c < '0' || c > '9'))
            return false;
    }
    qint64 fracUs = frac.toLongLong();
    for (int i = frac.size(); i < 6; ++i)
        fracUs *= 10;
    *us = sec.toLongLong() * 1000000 + fracUs;
    return true;
}

bool fail(QString *error, int line, const QString &what)
{
    *error = QStringLiteral("line %1: %2").arg(line).arg(what);
    return false;
}

} // namespace

bool ParseHidRecording(const QByteArray &text, HidRecording *out, QString *error)
{
    *out = HidRecording();
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const int colon = line.indexOf(':');
        if (colon != 1)
            return fail(error, lineNo, QStringLiteral("expected a tag such as \"E:\""));
        const char tag = line.at(0);
        const QList<QByteArray> fields = line.mid(2).simplified().split(' ');

        switch (tag) {
        case 'E': {
            if (fields.size() < 2 || fields.at(0).isEmpty())
                return fail(error, lineNo, QStringLiteral("event needs a time stamp and a length"));
            RecordedReport report;
            report.line = lineNo;
            if (!parseTime(fields.at(0), &report.timeUs))
                return fail(error, lineNo, QStringLiteral("bad time stamp \"%1\"").arg(QString::fromLatin1(fields.at(0))));
            bool ok = false;
            const int length = fields.at(1).toInt(&ok, 10);
            if (!ok || length < 1)
                return fail(error, lineNo, QStringLiteral("bad length field \"%1\"").arg(QString::fromLatin1(fields.at(1))));
            if (length > kMaxReportLength)
                return fail(error, lineNo, QStringLiteral("report of %1 bytes is longer than %2").arg(length).arg(kMaxReportLength));
            const int count = fields.size() - 2;
            if (count != length)
                return fail(error, lineNo, QStringLiteral("length field says %1 bytes but the line has %2").arg(length).arg(count));
            report.bytes.reserve(length);
            for (int k = 2; k < fields.size(); ++k) {
                uint8_t b = 0;
                if (!parseHexByte(fields.at(k), &b))
                    return fail(error, lineNo, QStringLiteral("\"%1\" is not a hex byte").arg(QString::fromLatin1(fields.at(k))));
                report.bytes.append(char(b));
            }
            out->reports.append(report);
            break;
        }
        case 'I': {
            if (fields.size() != 3)
                return fail(error, lineNo, QStringLiteral("identity needs bus, vendor and product"));
            bool okBus = false, okVid = false, okPid = false;
            const uint bus = fields.at(0).toUInt(&okBus, 16);
            const uint vid = fields.at(1).toUInt(&okVid, 16);
            const uint pid = fields.at(2).toUInt(&okPid, 16);
            if (!okBus || !okVid || !okPid || vid > 0xFFFF || pid > 0xFFFF)
                return fail(error, lineNo, QStringLiteral("identity fields must be hex numbers of at most 4 digits"));
            out->hasIdentity = true;
            out->bus = int(bus);
            out->vendorId = uint16_t(vid);
            out->productId = uint16_t(pid);
            break;
        }
        case 'N': case 'P': case 'R': case 'D':
            break;
        default:
            return fail(error, lineNo, QStringLiteral("unknown line tag \"%1:\"").arg(QLatin1Char(tag)));
        }
    }
    return true;
}
