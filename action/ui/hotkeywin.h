#pragma once
// The custom function editor of a key or pen button. Four modes build the four forms of
// a custom function text ("digit|name|data", the keyboard form "1|name|titles|pairs"):
// mouse control (modifiers and one mouse button), run a program, one of the built-in
// functions, or keys captured from the keyboard. While "Use custom function name："
// is unchecked the name field follows the choices.
//
// GUI thread only.

#include "action/actioncatalogue.h"
#include "action/actionservices.h"
#include "action/ui/keycapture.h"

#include <QDialog>
#include <QString>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// What the device offers; decides which function buttons the editor shows (the rule
// of every action list). With key groups buttons 6 and 7 become 110 and 111.
using EditorDeviceCaps = ActionDeviceCaps;

class HotKeyWin : public QDialog
{
    Q_OBJECT

public:
    enum Mode { MouseMode = 0, RunMode = 1, FunctionMode = 2, KeyboardMode = 3 };

    // texts: the language file (empty: English).
    explicit HotKeyWin(const EditorDeviceCaps &caps, LanguageLookup texts = {}, QWidget *parent = nullptr);
    ~HotKeyWin() override;

    // Shows a stored custom function text (empty or unreadable: keyboard mode, empty).
    void SetCustomText(const QString &text);
    // The text the current choices make (what OK stores).
    QString CustomText() const;
    // The text accepted with OK (empty before).
    QString AcceptedText() const { return m_strAccepted; }

    void SetMode(int mode);
    int CurrentMode() const;
    // Checks a modifier box 1..5 or a mouse button 6..11 of the mouse mode.
    void SetMouseItem(int number, bool checked);
    void SetProgramPath(const QString &path);
    // Checks the function button with stored id n (1..9; 10 and 11 with key groups).
    // False when that button is not offered.
    bool SetFunction(int n);
    void SetCustomName(bool custom, const QString &name = QString());
    QString Name() const;
    // Function buttons the device shows: their stored ids and labels.
    QList<int> OfferedFunctions() const;
    QString FunctionLabel(int n) const;

    KeyCapture &Capture() { return m_Capture; }
    QString KeyTitles() const;

public slots:
    void accept() override;
    void on_pushButton_win_clicked();
    void on_pushButton_clear_clicked();
    void on_pushButton_delete_clicked();
    void on_pushButton_select_clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString Text(const QString &key, const QString &fallback) const;
    void UpdateName();
    void UpdateKeyFields();
    QString AutoName() const;
    QString Data() const;
    void WatchKeys(QWidget *widget);

    LanguageLookup m_Texts;
    EditorDeviceCaps m_Caps;
    KeyCapture m_Capture;
    QString m_strAccepted;

    QButtonGroup *m_pModes = nullptr;      // children of the dialog
    QCheckBox *m_pModifiers[5] = {};
    QButtonGroup *m_pMouseButtons = nullptr;
    QLineEdit *m_pPath = nullptr;
    QButtonGroup *m_pFunctions = nullptr;  // button id = stored id
    QLineEdit *m_pTitles = nullptr;
    QCheckBox *m_pCustomName = nullptr;
    QLineEdit *m_pName = nullptr;
    QLabel *m_pTips = nullptr;
};
