#include "config/profiletext.h"

#include <QByteArray>

#include <cstring>

bool SetProfileText(char *field, size_t size, const QString &text)
{
    if (size == 0)
        return text.isEmpty();
    std::memset(field, 0, size);
    const QByteArray utf8 = text.toUtf8();
    size_t n = static_cast<size_t>(utf8.size());
    const bool fits = n < size;
    if (!fits) {
        n = size - 1;
        // Back off over continuation bytes (10xxxxxx) and the lead byte they belong to,
        // so the cut never leaves half a character.
        while (n > 0 && (static_cast<unsigned char>(utf8[int(n)]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(field, utf8.constData(), n);
    return fits;
}

QString ProfileText(const char *field, size_t size)
{
    const void *nul = std::memchr(field, 0, size);
    const size_t n = nul ? static_cast<size_t>(static_cast<const char *>(nul) - field) : size;
    return QString::fromUtf8(field, static_cast<int>(n));
}
