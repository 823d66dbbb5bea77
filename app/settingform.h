#pragma once
// The settings form: the global switches and the import, export, diagnosis and driver
// download buttons. It decides nothing itself; every click goes to the main window as
// one signal (check boxes carry their new state).

#include <QWidget>

class QCheckBox;
class QPushButton;
class QSettings;

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
    explicit SettingForm(const QSettings *language, QWidget *parent = nullptr);

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

    const QSettings *m_pLanguage;
    QCheckBox *m_pHotkey = nullptr;   // child widgets
    QCheckBox *m_pTips = nullptr;
    QCheckBox *m_pPressure = nullptr;
    QCheckBox *m_pSlope = nullptr;
};
