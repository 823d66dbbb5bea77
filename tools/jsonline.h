#pragma once
// One JSON object per line, keys in the order they are added ("event" first), so the
// output reads well and diffs well. Values: integers, doubles, strings, integer arrays.

#include <QByteArray>
#include <QString>

#include <cstdint>

class JsonLine {
public:
    explicit JsonLine(const char *event);

    JsonLine &add(const char *key, qint64 value);
    JsonLine &add(const char *key, double value);
    JsonLine &add(const char *key, const QString &value);
    JsonLine &addArray(const char *key, const uint8_t *values, int count);

    // The finished object, without the newline.
    QByteArray text() const { return m_text + '}'; }

private:
    void key(const char *name);
    QByteArray m_text;
};

// A JSON string literal with quotes and escapes.
QByteArray JsonQuote(const QString &text);
