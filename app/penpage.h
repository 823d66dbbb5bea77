#pragma once
// The pen page of the settings window: the pen menu (tablets with several pens), the pen
// buttons' actions, pressure, the pen mode, the device switches and the tablet light.
// Each control writes its field of the current profile through CTablet::EditProfile.

#include "config/profilerecords.h"
#include "mapping/pressurelevels.h"

#include <QObject>

class CTablet;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPressAdjustWedget;
class QProgressBar;
class QPushButton;
class QSlider;
class QWidget;
class SettingsPageHost;

class PenPage : public QObject {
    Q_OBJECT

public:
    explicit PenPage(SettingsPageHost &host, QObject *parent = nullptr);

    // Makes the page's widgets (once) as a child of parent.
    QWidget *Build(QWidget *parent);
    // Fills the controls from the current profile and pen slot.
    void Update(CTablet *tablet);
    // Another tablet or application is shown: the pen slot starts at 0 again.
    void ShowFirstPen() { m_nCurrentPen = 0; }
    // The tablet light group (shown for a tablet that has one) and the slider's level.
    void UpdateTabletLight(CTablet *tablet);
    // The pen's live pressure, to try the curve.
    void ShowPressure(int pressure, int maxPressure);

    int currentPenSlot() const { return m_nCurrentPen; }
    QCheckBox *mouseModeCheckBox() const { return m_pMouseMode; }
    QCheckBox *windowsInkCheckBox() const { return m_pWindowsInk; }
    QSlider *speedSlider() const { return m_pSpeed; }
    QComboBox *penButtonList(int button) const { return m_pPenButtons[button]; }
    QComboBox *penMenu() const { return m_pPenSet; }
    QSlider *tabletLightSlider() const { return m_pLightSlider; }
    QGroupBox *tabletLightGroup() const { return m_pLightGroup; }

public slots:
    // The controls' slots (each posts a usage record named after itself).
    void checkBoxMousemodeClicked(bool checked);
    void checkBoxWindowsInkClicked(bool checked);
    void SliderMspeedValueChanged(int value);
    void comboBoxPbtn0Activated(int index);
    void comboBoxPbtn1Activated(int index);
    void comboBoxPbtn2Activated(int index);
    void ComboBoxPenSetClicked(int index);
    void on_horizontalSlider_pressLv_valueChanged(int level);
    void on_PressSensitivityChange(SPresslvPoints points);
    void onCheckBoxDisablePress(bool checked);
    void onCheckBoxDisableSlope(bool checked);
    void onCheckBoxDisableHotkey(bool checked);
    void onCheckBoxDisableTipMsg(bool checked);
    void HSliderTabletLightChanged(int value);

private:
    void penButtonActivated(int button, int index);
    // Asks before taking the selected pen off the pen menu (an edit like any other: OK
    // saves it, Cancel undoes it).
    void askRemovePen();
    // One of the device profile's switches; the reading thread tests them per packet.
    void setSwitch(int16_t TabletXMLData::*field, bool on);

    SettingsPageHost &m_host;
    int m_nCurrentPen = 0;
    bool m_bUpdating = false; // controls are being set from the profile: no writes back
    QWidget *m_pPage = nullptr;
    QLabel *m_pPenPicture = nullptr;
    QComboBox *m_pPenSet = nullptr;
    QPushButton *m_pPenRemove = nullptr;
    QComboBox *m_pPenButtons[3] = {};
    QLabel *m_pPenButtonLabels[3] = {};
    QCheckBox *m_pMouseMode = nullptr;
    QCheckBox *m_pWindowsInk = nullptr;
    QSlider *m_pSpeed = nullptr;
    QLabel *m_pSpeedLabels[2] = {};
    QSlider *m_pPressLevel = nullptr;
    QPressAdjustWedget *m_pPressCurve = nullptr;
    QProgressBar *m_pPressureBar = nullptr;
    QCheckBox *m_pDisablePress = nullptr;
    QCheckBox *m_pDisableSlope = nullptr;
    QCheckBox *m_pDisableHotkey = nullptr;
    QCheckBox *m_pDisableTipMsg = nullptr;
    QGroupBox *m_pLightGroup = nullptr;
    QSlider *m_pLightSlider = nullptr;
};
