#pragma once
// The program's single action caption object. The action engines and the area capture
// emit captions on it from the tablets' reading threads; the main window connects it to
// its caption window (queued, since it lives on the GUI thread). Not a widget.

#include <QObject>
#include <QString>
#include <QStringList>

class ActionCaption : public QObject
{
    Q_OBJECT

public:
    // The process-wide object, created on first use and living on the application's
    // thread. Safe to call from any thread.
    static ActionCaption *MyLrc();

    // Shows the caption whose text is the language entry 'languageKey' (e.g.
    // "Device.TabeltHelpInfo2"), or 'fallback', the built-in English text, without one.
    void ShowLanguageCaption(const QString &languageKey, const QString &fallback);

signals:
    void EmitAction(QString text);
    // A list of lines with one highlighted (ring function captions). The list outlives
    // the queued call: the sender keeps it for the life of the program.
    void EmitRingLrc(QStringList *lines, int highlight);

private:
    ActionCaption() = default;
};
