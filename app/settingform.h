#pragma once
// The settings form: the global switches and the import, export, diagnosis and driver
// download buttons. It decides nothing itself; every click goes to the main window as
// one signal (check boxes carry their new state).
//
// It is a pop-up panel with its own title and close button (a pop-up gets no frame
// from a window manager, and there may be none): Esc, the close button or a click
// elsewhere closes it, and so does a button that opens another window.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

class QCheckBox;
class QPushButton;
class LanguageTexts;

struct SettingFormStates {
    bool hotkeyOff = false;   // express keys do nothing
    bool tipsOff = false;     // no captions
    bool pressureOff = false;
    bool tiltOff = false;
};

class SettingForm : public QWidget {
    Q_OBJECT

public:
    // language: the language file with its group open; null gives the built-in captions.
    explicit SettingForm(const LanguageTexts *language, QWidget *parent = nullptr);

    // Where a panel of size goes beside anchor (the tray icon, or the point it was opened
    // from), inside available (the screen's free area): below the anchor when there is
    // room, else above it, its right edge at the anchor's right edge, moved inside.
    static QPoint PopupPosition(const QRect &anchor, const QSize &size, const QRect &available);
    // Shows the panel beside anchor on the screen that holds it.
    void PopupAt(const QRect &anchor);

    // Shows the main window's current switches without raising any signal.
    void SetStates(const SettingFormStates &states);
    SettingFormStates States() const;

public slots:
    void onBtnInputClicked();
    void onBtnOutputClicked();
    void onHotkeyChecked(bool checked);
    void onTipMessageChecked(bool checked);
    void onDisablePressureClick(bool checked);
    void onDisableSlopeClick(bool checked);
    void onDiagnosisBtnClick();
    void onDriverDownClick();

signals:
    void InputSettings();
    void OutputSettings();
    void HotkeyChecked(bool checked);
    void TipMessageChecked(bool checked);
    void DisablePressure(bool checked);
    void DisableSlope(bool checked);
    void OpenDiagnosis();
    void DriverDownload();

private:
    QString text(const QString &key, const QString &builtIn) const;

    const LanguageTexts *m_pLanguage;
    QCheckBox *m_pHotkey = nullptr;   // child widgets
    QCheckBox *m_pTips = nullptr;
    QCheckBox *m_pPressure = nullptr;
    QCheckBox *m_pSlope = nullptr;
};
