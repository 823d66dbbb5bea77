#pragma once
// Inkora's side of the on-screen UI service, as the settings page uses it: the two
// buttons that start an area selection or a calibration on the screen chosen in the
// screen list, and the results that come back, handed on to whatever stores them in
// the current tablet's profile (the mapping model). The shared block does the talking:
// it writes the screen, starts InkoraUIService from the program folder when its window
// is not there, and reads the results in its finish handlers.
//
// GUI thread only.

#include <QObject>
#include <QRect>
#include <QString>
#include <QVariantMap>

class SharedBlock;

class UiServiceLink : public QObject {
    Q_OBJECT

public:
    // block: the main window's shared block, which outlives this object.
    explicit UiServiceLink(SharedBlock *block, QObject *parent = nullptr);

public slots:
    // screen: the rectangle of the entry chosen in the screen list, in desktop pixels.
    // False when the request was dropped (no block, or the service not reachable).
    bool SetscreenAreaClicked(const QRect &screen);
    bool ScreenCalibrateClicked(const QRect &screen);

signals:
    // The selected area: the mapped screen area SX, SY, SW, SH of the current tablet.
    void ScreenAreaSelected(const QRect &area);
    // The calibration result: the SC values of the current tablet.
    void GetScreenCalibrate(float fKX, float fKY, float fXLC, float fYLC);
    // Usage records of the two buttons and of both results; the receiver adds the
    // tablet's description.
    void UsageRecord(const QString &name, const QVariantMap &fields);

private:
    SharedBlock *m_pBlock;
};
