#pragma once
// The area mapping of the settings window, without widgets: the screen list, the screen
// area (SX, SY, SW, SH in desktop pixels, with the screen id) and the tablet area (TX,
// TY, TW, TH in hundredths of an inch, with Orientation) of the current tablet's device
// profile, kept consistent while the user edits them through the spin boxes, buttons,
// the preview's rubber bands and the UI service's results. The settings window binds
// its controls to the signals and slots here.
//
// GUI thread only. The GUI thread is the only writer of the mapping fields; it writes
// them inside the tablet's EditProfile because the tablet's reading thread scales every
// pen sample with them, and reads them without the lock.

#include "device/ctablet.h"
#include "mapping/screentable.h"

#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class DisplayBackend;
struct TabletXMLData;

// Ranges of the four spin boxes of one area.
struct AreaRanges {
    int xMin = 0, xMax = 0;
    int yMin = 0, yMax = 0;
    int wMin = 1, wMax = 1;
    int hMin = 1, hMax = 1;

    bool operator==(const AreaRanges &o) const
    {
        return xMin == o.xMin && xMax == o.xMax && yMin == o.yMin && yMax == o.yMax && wMin == o.wMin
               && wMax == o.wMax && hMin == o.hMin && hMax == o.hMax;
    }
};
Q_DECLARE_METATYPE(AreaRanges)

class MappingModel : public QObject {
    Q_OBJECT

public:
    // Language text of key, or the built-in English fallback.
    using TextLookup = std::function<QString(const QString &key, const QString &fallback)>;

    // display: where EnumDisplay takes the screens from; its displayChanged runs the
    // display-change repair. texts: the language file (null: English).
    explicit MappingModel(DisplayBackend *display, TextLookup texts = {}, QObject *parent = nullptr);
    ~MappingModel() override;

    // The tablet whose profile is edited (null: none). Shows its values; an area capture
    // still running for the previous tablet is cancelled.
    void SetTablet(CTablet *tablet);
    CTablet *Tablet() const { return m_pTablet; }
    // The application profile chosen in the settings window (empty: the common profile);
    // its touch-ring mode decides whether a rotation is sent to the tablet.
    void SetCurrentApp(const QString &appPath) { m_strCurrentApp = appPath; }

    // The screen slot of our pen display's own monitor, as the display search found it
    // (-1: none), and the orientation saved for that display. A pen display is mapped
    // onto its own monitor by the reset and the display-change repair.
    void SetPenDisplayMonitor(int screenSlot, int savedOrientation = 0);
    int PenDisplayMonitor() const { return m_nPenDisplaySlot; }

    // Reads the screens, publishes the screen table (physical and logical), writes the
    // desktop rectangle into the Wintab map and makes the selection list texts.
    void EnumDisplay();

    QStringList ScreenListTexts() const { return m_ScreenTexts; }
    int SelectedScreen() const { return m_nSelectedScreen; }
    // The rectangle of the screen selected in the list (what the UI service is given).
    ScreenRect SelectedScreenRect() const;

    // What the spin boxes show.
    QRect ScreenValues() const { return m_ScreenValues; }
    QRect TabletValues() const { return m_TabletValues; }
    AreaRanges ScreenRanges() const { return m_ScreenRanges; }
    AreaRanges TabletRanges() const { return m_TabletRanges; }
    // (0, 0, WidthInch100, HeightInch100), width and height exchanged for Orientation 1
    // and 3. Empty without a tablet.
    QRect FullTabletRect() const;
    int Orientation() const;
    // ":/image/tablet/<model>_K<orientation>.png"
    QString TabletPicture() const;

    // Screen-table rectangle of a screen index, for profiles loaded without a screen
    // area (CTablet::SetScreenRectProvider). False while no screen is known.
    static bool ScreenTableRect(int screenIndex, QRect *rect);

    // The eight spin boxes' one rule: which box and its new value.
    enum class AreaSpin { SX, SY, SW, SH, TX, TY, TW, TH };
    void SpinChanged(AreaSpin spin, int value);

public slots:
    void ScreenSelected(int index);
    void FullScreenClicked();
    void FullTabletClicked();
    void TabletScreenScalClicked();
    void RotationButtonClicked(int step);

    // The spin boxes; each keeps its area inside the screen or the tablet (one rule, see
    // SpinChanged).
    void SXChanged(int value);
    void SYChanged(int value);
    void SWChanged(int value);
    void SHChanged(int value);
    void TXChanged(int value);
    void TYChanged(int value);
    void TWChanged(int value);
    void THChanged(int value);

    // The preview's rubber bands: band and the preview's rectangle, in widget pixels.
    void on_ScreenRubberRectChange(QRect band, QRect preview);
    void on_TabletRubberRectChange(QRect band, QRect preview);

    // Enumerates again; the whole desktop, full screen; with resetRotation also
    // Orientation 0. A pen display with an identified monitor gets that monitor, the
    // whole tablet and the display's saved orientation instead.
    void onResetWorkAreaDefaultSetting(bool resetRotation = true);
    // The system's display-change notice: enumerates again and repairs the mapping of
    // every open tablet.
    void OnDisplayChanged();

    // Marking the tablet area with the pen: shows the help caption and waits for the
    // tablet's SetAreaOk.
    void SelectWorkAreaClicked();
    void onSetAreaOk(short x, short y, short w, short h);
    // Results of the UI service: the selected screen area (1525) and the calibration
    // (1527), as read from the shared block.
    void OnScreenAreaSelectFinish(QRect area);
    void OnScreenCalibrationFinish(float fKX, float fKY, float fXLC, float fYLC);

signals:
    void ScreenListChanged(QStringList items, int current);
    void ScreenAreaChanged(QRect values, AreaRanges ranges);
    void TabletAreaChanged(QRect values, AreaRanges ranges);
    // Rotation step and the tablet picture of that step.
    void OrientationChanged(int step, QString picture);
    // The preview must be drawn again (screen table or values changed).
    void PreviewChanged();
    // A usage record named after the operation.
    void UsageEvent(QString name);

private:
    ::TabletXMLData *Profile() const;
    ScreenRect MappedScreen() const;
    void LoadFromProfile();
    void SetScreenRangesFor(const ScreenRect &r);
    void SetTabletRangesFor(const QRect &full);
    void StoreScreenArea(const QRect &area, int screenId = -1);
    void StoreTabletArea(const QRect &area);
    void EmitScreen();
    void EmitTablet();
    int TouchRingMode() const;
    void RepairTablet(CTablet &tablet);
    // The identified monitor's slot when the tablet is a pen display and the slot is in
    // the table; else -1.
    int OwnMonitorOf(const CTablet &tablet) const;
    void EndAreaCapture();

    DisplayBackend *m_pDisplay;
    TextLookup m_Texts;
    QPointer<CTablet> m_pTablet;
    QPointer<CTablet> m_pCapturing; // tablet marking its area with the pen
    QString m_strCurrentApp;
    int m_nPenDisplaySlot = -1;
    int m_nPenDisplayOrientation = 0;

    QStringList m_ScreenTexts;
    int m_nSelectedScreen = 0;
    QRect m_ScreenValues;
    QRect m_TabletValues;
    AreaRanges m_ScreenRanges;
    AreaRanges m_TabletRanges;
};
