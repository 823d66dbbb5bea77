#pragma once
// What the controllers of the settings pages share with the window that holds them: the
// tablet and application profile shown, the language texts, usage records, the custom
// function editors and the check that a modal editor's tablet is still the one shown.
// Every call is on the GUI thread.

#include <QPointer>
#include <QString>

#include <functional>

struct AppConfigNode;
class CTablet;
class QWidget;

class SettingsPageHost {
public:
    // A custom function editor: receives the stored text and the device's ring and
    // touch-pad counts and returns true with the new text in *text when the user
    // accepted; on false nothing changes.
    using CustomEditor = std::function<bool(QWidget *parent, QString *text, int rings, int trackPad)>;

    virtual ~SettingsPageHost() = default;

    // The tablet of the device selector's current entry, or null.
    virtual CTablet *currentTablet() const = 0;
    // The application profile being edited (null without a tablet).
    virtual AppConfigNode *currentApp() const = 0;
    // The device selector's entry the pages were last built for.
    virtual QString shownTabletEntry() const = 0;
    // Text of key in the chosen language, or fallback (built-in English).
    virtual QString languageText(const QString &key, const QString &fallback) const = 0;
    // A usage record named after the control or action that made it.
    virtual void postUsage(const QString &name) = 0;
    // After a modal editor: true when the tablet is still here and shown with the same
    // profile; otherwise the edit is dropped, and the user told so when the editor had a
    // result (withResult).
    virtual bool editTargetStillHere(const QPointer<CTablet> &tablet, const AppConfigNode *app, const char *editor,
                                     bool withResult) = 0;
    // The editors of keys and pen buttons, and of ring items (may be empty).
    virtual const CustomEditor &customEditor() const = 0;
    virtual const CustomEditor &ringEditor() const = 0;
};
