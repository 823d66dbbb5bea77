#include "base/languagetexts.h"

#include "base/language.h"

#include <QFile>
#include <QStringList>

// The reader follows the INI rules the settings objects of Qt read the file with, so a
// text is the same whichever reads it: a line ends at a newline or at a ';' outside
// quotes (the rest is a comment), keys and values lose the blanks around them, an
// unquoted comma makes a list, double quotes keep commas, semicolons and blanks, and a
// backslash starts an escape. Keys are Latin-1 with "%XX" escapes, values UTF-8.

namespace {

constexpr int kMaxTextLength = 4096;

bool isSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f' || ch == '\v';
}

// The next line from pos: its start, its length and its first '=' outside quotes (-1
// when none). Quotes and a backslash carry a line over its newline; comment lines are
// skipped. False at the end of the data.
bool readLine(const QByteArray &data, int &pos, int &start, int &length, int &equals)
{
    const int size = data.size();
    bool quoted = false;
    equals = -1;
    start = pos;
    while (start < size && isSpace(data.at(start)))
        ++start;
    int i = start;
    while (i < size) {
        const char ch = data.at(i++);
        if (ch == '=') {
            if (!quoted && equals == -1)
                equals = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == start + 1) {
                ++start;
            } else if (!quoted) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < size) {
                const char escaped = data.at(i++);
                if (i < size) {
                    const char next = data.at(i);
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            quoted = !quoted;
        } else if (ch == ';') {
            if (i == start + 1) {
                while (i < size && data.at(i) != '\n' && data.at(i) != '\r')
                    ++i;
                while (i < size && isSpace(data.at(i)))
                    ++i;
                start = i;
            } else if (!quoted) {
                --i;
                break;
            }
        }
    }
    pos = i;
    length = i - start;
    return length > 0;
}

// A key or group name: Latin-1, "%XX" and "%UXXXX" escapes, a backslash for '/'.
QString unescapeKey(const QByteArray &data, int from, int to)
{
    QString result;
    int i = from;
    while (i < to) {
        const char ch = data.at(i);
        if (ch == '\\') {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (ch != '%' || i == to - 1) {
            result += QLatin1Char(ch);
            ++i;
            continue;
        }
        int digits = 2;
        int first = i + 1;
        if (data.at(first) == 'U') {
            ++first;
            digits = 4;
        }
        bool ok = false;
        const ushort code = first + digits > to ? 0 : data.mid(first, digits).toUShort(&ok, 16);
        if (!ok) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        result += QChar(code);
        i = first + digits;
    }
    return result;
}

void chopBlanks(QString &text, int limit)
{
    int n = text.size();
    while (n > limit && (text.at(n - 1) == QLatin1Char(' ') || text.at(n - 1) == QLatin1Char('\t')))
        --n;
    text.truncate(n);
}

int hexValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// A value: its text, or its parts when an unquoted comma made a list of it (true).
bool unescapeValue(const QByteArray &data, int from, int to, QString &text, QStringList &parts)
{
    static const char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'},
                                       {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false; // the current part had quotes: its blanks stay
    bool skipBlanks = true;
    int chopLimit = 0;
    int i = from;
    while (true) {
        if (skipBlanks) {
            while (i < to && (data.at(i) == ' ' || data.at(i) == '\t'))
                ++i;
            skipBlanks = false;
        }
        chopLimit = text.size();
        bool run = true;
        while (run && i < to) {
            const char ch = data.at(i);
            if (ch == '\\') {
                if (++i >= to) {
                    // A backslash at the end: the text as it stands.
                    if (isList)
                        parts.append(text);
                    return isList;
                }
                const char code = data.at(i++);
                bool simple = false;
                for (const auto &escape : kEscapes) {
                    if (code == escape[0]) {
                        text += QLatin1Char(escape[1]);
                        simple = true;
                        break;
                    }
                }
                if (simple) {
                    run = false;
                } else if (code == 'x' && i >= to) {
                    if (isList)
                        parts.append(text);
                    return isList;
                } else if ((code == 'x' && i < to && hexValue(data.at(i)) >= 0) || (code >= '0' && code <= '7')) {
                    const bool hex = code == 'x';
                    uint value = hex ? 0 : uint(code - '0');
                    while (i < to && (hex ? hexValue(data.at(i)) >= 0 : data.at(i) >= '0' && data.at(i) <= '7')) {
                        value = hex ? (value << 4) + uint(hexValue(data.at(i))) : (value << 3) + uint(data.at(i) - '0');
                        ++i;
                    }
                    text += QChar(ushort(value));
                    if (i >= to) {
                        if (isList)
                            parts.append(text);
                        return isList;
                    }
                    run = false;
                } else {
                    if ((code == '\n' || code == '\r') && i < to) {
                        const char next = data.at(i);
                        if ((next == '\n' || next == '\r') && next != code)
                            ++i;
                    }
                    // Any other escaped character is dropped.
                    chopLimit = text.size();
                }
            } else if (ch == '"') {
                ++i;
                quoted = true;
                inQuotes = !inQuotes;
                if (!inQuotes) {
                    skipBlanks = true;
                    run = false;
                }
            } else if (ch == ',' && !inQuotes) {
                if (!quoted)
                    chopBlanks(text, chopLimit);
                if (!isList) {
                    isList = true;
                    parts.clear();
                }
                parts.append(text);
                text.clear();
                quoted = false;
                ++i;
                skipBlanks = true;
                run = false;
            } else {
                int j = i + 1;
                while (j < to && data.at(j) != '\\' && data.at(j) != '"' && data.at(j) != ',')
                    ++j;
                text += QString::fromUtf8(data.constData() + i, j - i);
                i = j;
            }
        }
        // Out of text, or on after an escape or a part: the next run keeps what it follows.
        if (run)
            break;
    }
    if (!quoted)
        chopBlanks(text, chopLimit);
    if (isList)
        parts.append(text);
    return isList;
}

// A value marked with '@' holds another type: "@@" stands for a plain '@', "@String(...)"
// for its text; the others are no text (a lone value of bytes reads as its UTF-8 text,
// a list part with any other '@' makes the list no text).
bool plainText(QString &value, bool inList)
{
    if (!value.startsWith(QLatin1Char('@')))
        return true;
    if (inList && !value.startsWith(QLatin1String("@@")))
        return false;
    if (!inList && value.endsWith(QLatin1Char(')'))) {
        if (value.startsWith(QLatin1String("@String("))) {
            value = value.mid(8, value.size() - 9);
            return true;
        }
        if (value.startsWith(QLatin1String("@ByteArray("))) {
            value = QString::fromUtf8(value.midRef(11, value.size() - 12).toLatin1());
            return true;
        }
        for (const char *marked : {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("})
            if (value.startsWith(QLatin1String(marked)))
                return false;
        if (value == QLatin1String("@Invalid()"))
            return false;
    }
    if (value.startsWith(QLatin1String("@@")))
        value.remove(0, 1);
    return true;
}

// The key's text as the lookup gives it, or empty when it has none to give.
QString usableText(const QByteArray &data, int from, int to)
{
    QString text;
    QStringList parts;
    if (unescapeValue(data, from, to, text, parts)) {
        for (QString &part : parts)
            if (!plainText(part, true))
                return QString();
        text = parts.join(QStringLiteral(", "));
    } else if (!plainText(text, false)) {
        return QString();
    }
    // A file that is not UTF-8 gives replacement characters.
    if (text.size() > kMaxTextLength || text.contains(QChar::ReplacementCharacter))
        return QString();
    return text;
}

// Reads group's texts from data into texts (when given); the number of its key lines.
int readGroup(QByteArray data, const QString &group, QHash<QString, QString> *texts)
{
    if (data.startsWith("\xef\xbb\xbf"))
        data.remove(0, 3);
    const QString prefix = group + QLatin1Char('/');
    QString section; // with a trailing '/' unless the general one
    bool inGroup = false;
    int keys = 0;
    int pos = 0, start = 0, length = 0, equals = -1;
    while (readLine(data, pos, start, length, equals)) {
        if (data.at(start) == '[') {
            const int close = data.indexOf(']', start);
            const QByteArray name = (close == -1 || close >= start + length ? data.mid(start + 1, length - 1)
                                                                            : data.mid(start + 1, close - start - 1))
                                        .trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                section.clear();
            else if (name.compare("%general", Qt::CaseInsensitive) == 0)
                section = QString::fromLatin1(name.mid(1)) + QLatin1Char('/');
            else
                section = unescapeKey(name, 0, name.size()) + QLatin1Char('/');
            inGroup = section == prefix || section.startsWith(prefix) || section.isEmpty();
            continue;
        }
        if (!inGroup || equals == -1)
            continue;
        int keyEnd = equals;
        while (keyEnd > start && (data.at(keyEnd - 1) == ' ' || data.at(keyEnd - 1) == '\t'))
            --keyEnd;
        QString key = section + unescapeKey(data, start, keyEnd);
        if (!key.startsWith(prefix))
            continue;
        key.remove(0, prefix.size());
        ++keys;
        if (key.isEmpty() || !texts) // "=text": no key can ask for it
            continue;
        // A later line of the same key wins, as in the settings objects.
        const QString text = usableText(data, equals + 1, start + length);
        if (text.isEmpty())
            texts->remove(key);
        else
            texts->insert(key, text);
    }
    return keys;
}

} // namespace

LanguageTexts LanguageTexts::load(const QString &path, const QString &group)
{
    LanguageTexts texts;
    texts.m_strPath = path;
    texts.m_strGroup = group;
    QByteArray data;
    bool utf8 = false;
    if (!Language::readFile(path, &data, &utf8))
        return texts;
    if (readGroup(data, group, &texts.m_Texts) == 0 && utf8)
        Language::reportMissingGroup(path, group);
    texts.m_Texts.squeeze();
    return texts;
}

bool LanguageTexts::hasGroup(const QString &path, const QString &group)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && readGroup(file.readAll(), group, nullptr) > 0;
}

QString LanguageTexts::text(const QString &key, const QString &fallback) const
{
    const auto found = m_Texts.constFind(key);
    return found == m_Texts.constEnd() ? fallback : *found;
}
