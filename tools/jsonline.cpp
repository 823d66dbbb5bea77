#include "tools/jsonline.h"

#include <cmath>

QByteArray JsonQuote(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out.append('"');
    for (char c : utf8) {
        const uchar u = uchar(c);
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (u < 0x20)
                out.append(QByteArray("\\u00") + QByteArray::number(u, 16).rightJustified(2, '0'));
            else
                out.append(c);
        }
    }
    out.append('"');
    return out;
}

JsonLine::JsonLine(const char *event)
{
    m_text = "{\"event\":" + JsonQuote(QString::fromLatin1(event));
}

void JsonLine::key(const char *name)
{
    m_text += ",\"";
    m_text += name;
    m_text += "\":";
}

JsonLine &JsonLine::add(const char *name, qint64 value)
{
    key(name);
    m_text += QByteArray::number(value);
    return *this;
}

JsonLine &JsonLine::add(const char *name, double value)
{
    key(name);
    // JSON has no NaN or infinity.
    m_text += std::isfinite(value) ? QByteArray::number(value, 'g', 10) : QByteArray("null");
    return *this;
}

JsonLine &JsonLine::add(const char *name, const QString &value)
{
    key(name);
    m_text += JsonQuote(value);
    return *this;
}

JsonLine &JsonLine::addArray(const char *name, const uint8_t *values, int count)
{
    key(name);
    m_text += '[';
    for (int i = 0; i < count; ++i) {
        if (i)
            m_text += ',';
        m_text += QByteArray::number(values[i]);
    }
    m_text += ']';
    return *this;
}
