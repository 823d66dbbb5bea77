#pragma once
// Text fields of the profile records: UTF-8 in fixed arrays, always NUL-terminated.

#include <QString>

#include <cstddef>

// Stores text in field (size bytes, NUL included). A text that does not fit is cut at
// the last whole UTF-8 character that leaves room for the NUL; the rest of the field is
// zeroed so equal texts give equal bytes. Returns false when the text was cut.
bool SetProfileText(char *field, size_t size, const QString &text);

template <size_t N>
bool SetProfileText(char (&field)[N], const QString &text)
{
    return SetProfileText(field, N, text);
}

// The text of a field, up to its first NUL (or the end of the field, should a damaged
// record lack one).
QString ProfileText(const char *field, size_t size);

template <size_t N>
QString ProfileText(const char (&field)[N])
{
    return ProfileText(field, N);
}
