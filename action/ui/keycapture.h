#pragma once
// Key capture of the custom function editors: turns key presses into the key titles the
// user sees and the "VK:SC" pairs the action engine types back. Pairs of a combination
// are joined with "+", combinations with ","; a modifier joins the key after it.
//
// Linux key events carry the X11 key code (evdev code + 8) as their native scan code.
// Stored is what a Windows key record would hold: the set-1 scan code (extended keys
// 0x100 | code) and a virtual key that the injection table maps back to the same evdev
// key, so a captured combination replays the keys that were pressed.
//
// GUI thread only.

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

class QKeyEvent;

struct NativeKey {
    uint16_t vk = 0;   // Windows virtual key; 0 when unknown
    uint16_t scan = 0; // set-1 scan code, 0x100 | code for keys with the 0xE0 prefix
};

// The key record of an evdev key code; both 0 when the code names no key we inject.
NativeKey KeyRecordForEvdev(int evdevCode);

class KeyCapture
{
public:
    static constexpr int MaxKeys = 20;

    // A key press: adds one key unless MaxKeys are captured. Auto-repeats are ignored.
    // True when a key was added.
    bool KeyPressed(const QKeyEvent &event);
    // A key release: a modifier released right after it was captured (no key joined it)
    // loses its trailing "+" in the titles.
    void KeyReleased(const QKeyEvent &event);
    // The button that adds the Windows key, which the keyboard cannot give the dialog.
    bool AddWindowsKey();
    void Clear();
    // Removes the last captured key.
    void DeleteLast();

    QString Titles() const;
    QString Pairs() const;
    int Count() const { return int(m_Keys.size()); }

    // Takes over texts written before (an editor opened on a stored function). They
    // stay in front of the keys captured next and count towards MaxKeys; DeleteLast
    // with no captured key left removes them as a whole.
    void SetTexts(const QString &titles, const QString &pairs);

private:
    struct Key {
        QString title; // modifiers end with "+"
        QString pair;  // "VK:SC"
        bool modifier = false;
        bool trimmed = false; // modifier released alone: its "+" is not shown
    };
    bool Add(const Key &key);

    QVector<Key> m_Keys;
    QString m_strLoadedTitles; // texts given by SetTexts, shown before the captured keys
    QString m_strLoadedPairs;
    int m_nLoadedKeys = 0;
    bool m_bLoadedEndsModifier = false; // the loaded pairs end in a modifier
};
