#pragma once
// "Digital screen settings": colour preset, gains, brightness and contrast of one of our
// pen displays, and the restore of its factory settings. Every change the user makes is
// written at once; the controls set by the dialog itself (on opening, after a preset or a
// restore) write nothing of their own.

#include <QDialog>
#include <QPoint>
#include <QRect>

class MonitorControl;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class LanguageTexts;
class QSlider;

class DisplaySetting : public QDialog {
    Q_OBJECT

public:
    // language: the language file with its group open; null gives the built-in texts.
    DisplaySetting(MonitorControl &monitor, const LanguageTexts *language, QWidget *parent = nullptr);

    // Centres the dialog on rect (the pen display's screen) and shows what the monitor
    // reports. Returns whether the monitor answered; when not, the controls keep their
    // defaults.
    bool OpenForScreen(const QRect &rect);

public slots:
    void onColorRadioClicked(int id);
    void onRedChanged(int value);
    void onGreenChanged(int value);
    void onBlueChanged(int value);
    void onBrightnessChanged(int value);
    void onContrastChanged(int value);
    void onRestoreClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString text(const QString &key, const QString &builtIn) const;
    // Shows a value on a slider and its label without writing it to the monitor.
    static void showValue(QSlider *slider, QLabel *label, int value);
    void showGains(int red, int green, int blue);

    MonitorControl &m_Monitor;
    const LanguageTexts *m_pLanguage;
    QRect m_rtScreen;
    bool m_bSupported = false;
    int restoreBrightness = 50;

    QButtonGroup *m_pColorGroup = nullptr;
    QGroupBox *m_pGainGroup = nullptr;
    QSlider *m_pRed = nullptr;
    QSlider *m_pGreen = nullptr;
    QSlider *m_pBlue = nullptr;
    QSlider *m_pBrightness = nullptr;
    QSlider *m_pContrast = nullptr;
    QLabel *m_pRedValue = nullptr;
    QLabel *m_pGreenValue = nullptr;
    QLabel *m_pBlueValue = nullptr;
    QLabel *m_pBrightnessValue = nullptr;
    QLabel *m_pContrastValue = nullptr;
    QPushButton *m_pRestore = nullptr;

    bool m_bDragging = false;
    QPoint m_DragPosition; // press point relative to the window's corner
};
