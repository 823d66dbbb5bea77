#include "action/ui/keycapture.h"

#include "platform/input/scancodes.h"

#include <QDebug>
#include <QKeyEvent>
#include <QKeySequence>

#include <array>

namespace {

// Evdev codes 0..255 cover every key of the injection table.
constexpr int kEvdevCodes = 256;

std::array<NativeKey, kEvdevCodes> BuildReverseTable()
{
    std::array<NativeKey, kEvdevCodes> table{};
    // The lowest virtual key wins: the plain VK_SHIFT (16), VK_CONTROL (17) and VK_MENU
    // (18) that a Windows key event reports come before their left/right forms.
    for (int vk = 1; vk < 255; ++vk) {
        const int code = EvdevKeyCodeForVk(uint16_t(vk));
        if (code > 0 && code < kEvdevCodes && table[code].vk == 0)
            table[code].vk = uint16_t(vk);
    }
    for (int code = 1; code < kEvdevCodes; ++code) {
        NativeKey &key = table[code];
        if (key.vk == 0)
            continue;
        // The PC/AT block numbers its keys by their set-1 code.
        if ((code >= 0x01 && code <= 0x53) || (code >= 0x56 && code <= 0x58)) {
            key.scan = uint16_t(code);
            continue;
        }
        // Keys behind the 0xE0 prefix (right Ctrl and Alt, arrows, the Windows keys...).
        for (int scan = 1; scan < 0x80; ++scan) {
            if (EvdevKeyCode(0, uint16_t(scan), true) == code) {
                key.scan = uint16_t(0x100 | scan);
                break;
            }
        }
    }
    return table;
}

bool IsModifier(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return true;
    default:
        return false;
    }
}

QString ModifierTitle(int key)
{
    switch (key) {
    case Qt::Key_Shift: return QStringLiteral("Shift+");
    case Qt::Key_Control: return QStringLiteral("Ctrl+");
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return QStringLiteral("Alt+");
    default: return QStringLiteral("Win+");
    }
}

QString KeyTitle(int key)
{
    if (key == 0 || key == Qt::Key_unknown)
        return QStringLiteral("UN");
    const QString title = QKeySequence(key).toString(QKeySequence::PortableText);
    // "|" separates the fields of a custom function text.
    if (title.contains(QLatin1Char('|')))
        return QStringLiteral("\\");
    return title.isEmpty() ? QStringLiteral("UN") : title;
}

} // namespace

NativeKey KeyRecordForEvdev(int evdevCode)
{
    static const std::array<NativeKey, kEvdevCodes> table = BuildReverseTable();
    if (evdevCode <= 0 || evdevCode >= kEvdevCodes)
        return {};
    return table[evdevCode];
}

bool KeyCapture::KeyPressed(const QKeyEvent &event)
{
    if (event.isAutoRepeat())
        return false;
    // X11 key codes are evdev codes + 8.
    const int evdev = int(event.nativeScanCode()) - 8;
    const NativeKey record = KeyRecordForEvdev(evdev);
    if (record.vk == 0) {
        qInfo() << "KeyCapture: no key record for native code" << event.nativeScanCode();
        return false;
    }
    Key key;
    key.modifier = IsModifier(event.key());
    key.title = key.modifier ? ModifierTitle(event.key()) : KeyTitle(event.key());
    key.pair = QStringLiteral("%1:%2").arg(record.vk).arg(record.scan);
    return Add(key);
}

void KeyCapture::KeyReleased(const QKeyEvent &event)
{
    if (event.isAutoRepeat() || m_Keys.isEmpty() || !IsModifier(event.key()))
        return;
    Key &last = m_Keys.last();
    if (last.modifier && !last.trimmed && last.title == ModifierTitle(event.key()))
        last.trimmed = true;
}

bool KeyCapture::AddWindowsKey()
{
    Key key;
    key.title = QStringLiteral("Win+");
    key.pair = QStringLiteral("91:91");
    key.modifier = true;
    return Add(key);
}

bool KeyCapture::Add(const Key &key)
{
    if (Count() + m_nLoadedKeys >= MaxKeys)
        return false;
    m_Keys.append(key);
    return true;
}

void KeyCapture::Clear()
{
    m_Keys.clear();
    m_strLoadedTitles.clear();
    m_strLoadedPairs.clear();
    m_nLoadedKeys = 0;
    m_bLoadedEndsModifier = false;
}

void KeyCapture::DeleteLast()
{
    if (!m_Keys.isEmpty())
        m_Keys.removeLast();
    else
        Clear();
}

void KeyCapture::SetTexts(const QString &titles, const QString &pairs)
{
    Clear();
    m_strLoadedTitles = titles;
    m_strLoadedPairs = pairs;
    if (pairs.isEmpty())
        return;
    m_nLoadedKeys = pairs.split(QRegExp(QStringLiteral("[+,]")), Qt::SkipEmptyParts).size();
    m_bLoadedEndsModifier = pairs.endsWith(QLatin1Char('+')) || titles.endsWith(QLatin1Char('+'));
}

QString KeyCapture::Titles() const
{
    QString titles = m_strLoadedTitles;
    bool previousModifier = m_bLoadedEndsModifier;
    for (const Key &key : m_Keys) {
        if (!titles.isEmpty() && !previousModifier)
            titles += QLatin1Char(',');
        titles += key.trimmed ? key.title.left(key.title.size() - 1) : key.title;
        previousModifier = key.modifier && !key.trimmed;
    }
    return titles;
}

QString KeyCapture::Pairs() const
{
    QString pairs = m_strLoadedPairs;
    bool previousModifier = m_bLoadedEndsModifier;
    for (const Key &key : m_Keys) {
        if (!pairs.isEmpty() && !pairs.endsWith(QLatin1Char('+')))
            pairs += previousModifier ? QLatin1Char('+') : QLatin1Char(',');
        pairs += key.pair;
        previousModifier = key.modifier && !key.trimmed;
    }
    return pairs;
}
