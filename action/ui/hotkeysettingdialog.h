#pragma once
// The key list of devices with key groups: one combo box per express key of the active
// group, choosing between the key's predefined action and a custom function (edited in
// HotKeyWin). GUI thread only; the key records are written inside the tablet's
// EditProfile, since the reading thread resolves the keys from them.

#include "action/actionservices.h"
#include "action/ui/hotkeywin.h"

#include <QDialog>
#include <QPointer>
#include <QVector>

#include <functional>

class CTablet;
class QComboBox;
class QLabel;
struct AppConfigNode;

class HotkeySettingDialog : public QDialog
{
    Q_OBJECT

public:
    // Opens the custom function editor on a text; true with the new text when accepted.
    using EditorRunner = std::function<bool(const QString &current, QString *result)>;

    // profile: the application profile shown (its active key group is edited); appPath
    // its path (empty: the common profile).
    HotkeySettingDialog(CTablet *tablet, AppConfigNode *profile, const QString &appPath, LanguageLookup texts = {},
                        QWidget *parent = nullptr);
    ~HotkeySettingDialog() override;

    // Replaces the modal HotKeyWin (tests).
    void SetEditorRunner(EditorRunner runner) { m_Editor = std::move(runner); }

    int KeyCount() const { return m_Combos.size(); }
    QComboBox *Combo(int key) const { return m_Combos.value(key); }
    QString CustomLabel(int key) const;

signals:
    // "ComboBoxKeyActivated" usage record text.
    void UsageRecord(QString text);

private:
    void OnActivated(int key, int entry);
    bool TabletStillHere();
    QString Text(const QString &key, const QString &fallback) const;

    QPointer<CTablet> m_pTablet; // null once the tablet has left: the dialog then edits nothing
    AppConfigNode *m_pProfile;
    QString m_strAppPath;
    LanguageLookup m_Texts;
    EditorRunner m_Editor;
    QVector<QComboBox *> m_Combos; // children
    QVector<QLabel *> m_Labels;
};
