#pragma once
// What the main window does with the tablets' messages (PostActionMsg from the action
// engines and the tablet objects) and with their live data (SentMultiData): switch
// screen, pen/eraser for a keypad, fine detail mode, touch/wheel, key groups, battery,
// new pen, usage records, the key preview and ring function captions.
//
// The main window owns one of these, connects the tablets' signals to its slots
// (queued: they come from the reading threads) and connects the signals below to what
// it shows. Everything runs on the GUI thread; profile fields are written inside the
// tablet's EditProfile because the reading thread maps and resolves packets with them.

#include "action/actionservices.h"
#include "device/tabletpacket.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class CTablet;
class JingXiMode;
class KeyPreviewWindow;
class QWidget;
struct AppConfigNode;

class TabletMessages : public QObject
{
    Q_OBJECT

public:
    explicit TabletMessages(LanguageLookup texts = {}, QObject *parent = nullptr);
    ~TabletMessages() override;

    // The tablet and application profile the settings window shows (null / empty: none,
    // the common profile).
    void SetCurrentTablet(CTablet *tablet) { m_pCurrentTablet = tablet; }
    CTablet *CurrentTablet() const { return m_pCurrentTablet; }
    void SetCurrentApp(const QString &path) { m_strCurrentApp = path; }
    // The settings window: live data is dropped while it is hidden or minimised.
    void SetSettingsWindow(QWidget *window) { m_pWindow = window; }
    // Whether the pen page is the page shown, and whether a diagnosis dialog exists.
    void SetPenPageShown(bool shown) { m_bPenPageShown = shown; }
    void SetDiagnosisOpen(bool open) { m_bDiagnosisOpen = open; }
    // Whether the tray icon exists (the low-battery message goes there).
    void SetTrayAvailable(bool available) { m_bTrayAvailable = available; }
    // The touch ring is in touch mode; the touch and wheel radio buttons set it.
    void SetTouchMode(bool touch) { m_bTouchMode = touch; }
    bool TouchMode() const { return m_bTouchMode; }
    // Where the cursor is (tests); default QCursor::pos().
    void SetCursorSource(std::function<QPoint()> source) { m_CursorSource = std::move(source); }

    JingXiMode *FineModeWindow() const { return m_pJingXiMode; }
    KeyPreviewWindow *KeyPreview() const { return m_pKeyPreview; }

    // Profile by path: the application profile of path in the tablet's list, else the
    // common profile. Null without a profile.
    static AppConfigNode *ProfileByPath(CTablet *tablet, const QString &path);

public slots:
    void ReceivActionMsg(int tabletId, int msgId, int msgData);
    void ReceivActionMsg(int tabletId, int msgId, QString text);
    void ReceivMultiData(CTablet *tablet, MultiData data);
    // JingXiMode::GetModeRect.
    void GetBERect(QRect rect);
    // JingXiMode::CloseJingxiMode, and message 4 while the mode is open.
    void CloseJingxiMode();

signals:
    // Show, raise and activate the settings window.
    void ShowSettingsWindow();
    // Select screen list entry 'index' for the current tablet (its handler stores the
    // area).
    void SelectScreen(int index);
    // Run the touch (true) or wheel radio button's handler for the current tablet and
    // check that button.
    void TouchRingMode(bool touch);
    // Show key group 'group' on the express-key page.
    void KeyGroupSelected(int group);
    // Rebuild the pen list of the pen page.
    void PenListChanged();
    // The battery widget: level in percent and charging state; show it.
    void BatteryChanged(int level, bool charging);
    // Any tablet that reports its battery told its level (the tray tool tip lists them).
    void TabletBatteryChanged(CTablet *tablet, int level, bool charging);
    // A tray message (title, text, milliseconds, no icon).
    void TrayMessage(QString title, QString text, int ms);
    // Ring page: ring 0 or 1 now has function 'function' checked.
    void RingFunctionChanged(int ring, int function);
    // Pen page: the current pressure and the largest one (the bar's scale).
    void PressureChanged(int pressure, int maxPressure);
    // Diagnosis dialog: screen position and pressure of a pen sample.
    void DiagnosisData(QString x, QString y, int pressure);
    // A usage record for the usage-data service, with the tablet pair in front.
    void UsageRecord(QString text);

private:
    CTablet *Tablet(int slot) const;
    QString Text(const QString &key, const QString &fallback) const;
    QPoint CursorPos() const;
    void SwitchScreen(CTablet *tablet);
    void PenEraser(int sender, bool eraser);
    void FineMode(int sender);
    void TouchOrWheel(CTablet *tablet);
    void RestoreTouchRing(CTablet *tablet);
    void Battery(CTablet *tablet, int charging);
    void ToggleKeyPreview(CTablet *tablet, const QString &path);
    void RingFunction(CTablet *tablet, int ring, const QString &path);

    LanguageLookup m_Texts;
    QPointer<CTablet> m_pCurrentTablet;
    QString m_strCurrentApp;
    QPointer<QWidget> m_pWindow;
    bool m_bPenPageShown = false;
    bool m_bDiagnosisOpen = false;
    bool m_bTrayAvailable = false;
    bool m_bTouchMode = false;
    std::function<QPoint()> m_CursorSource;

    QPointer<JingXiMode> m_pJingXiMode;        // at most one for all tablets; deleted on close
    QPointer<KeyPreviewWindow> m_pKeyPreview;  // kept once made; top-level, deleted with us
    // The ring caption lists outlive the queued caption signal: one per ring.
    QStringList m_RingLines[2];
};
