#pragma once
// Inkora's side of the on-screen UI service, as the settings page uses it: the two
// buttons that start an area selection or a calibration on the screen chosen in the
// screen list, and the results that come back, handed to the mapping model, which stores
// them in the current tablet's profile. The shared block does the talking: it writes
// the screen, starts InkoraUIService from the program folder when its window is not
// there, and reads the results in its finish handlers.
//
// GUI thread only.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVariantMap>

class CTablet;
class MappingModel;
class SharedBlock;

class UiServiceLink : public QObject {
    Q_OBJECT

public:
    // block: the main window's shared block, which outlives this object. model: the
    // mapping model that gives the chosen screen and takes the results (null: none; the
    // signals below still carry them).
    UiServiceLink(SharedBlock *block, MappingModel *model, QObject *parent = nullptr);

    // A request for an explicit screen, in desktop pixels. False when it was dropped
    // (no screen, no block, or the service not reachable).
    bool StartAreaSelection(const QRect &screen);
    bool StartCalibration(const QRect &screen);

public slots:
    // The buttons: the screen selected in the mapping model's list.
    bool SetscreenAreaClicked();
    bool ScreenCalibrateClicked();

signals:
    // The selected area: the mapped screen area SX, SY, SW, SH of the current tablet.
    void ScreenAreaSelected(const QRect &area);
    // The calibration result: the SC values of the current tablet.
    void GetScreenCalibrate(float fKX, float fKY, float fXLC, float fYLC);
    // Usage records of the two buttons and of both results; the receiver adds the
    // tablet's description.
    void UsageRecord(const QString &name, const QVariantMap &fields);
    // A result came back after the tablet it was asked for had left (or another tablet
    // is shown now): it was dropped.
    void ResultDropped();

private:
    QRect ChosenScreen() const;
    bool Request(bool started);
    bool ForRequestingTablet();

    SharedBlock *m_pBlock;
    QPointer<MappingModel> m_pModel;
    // The mapping model's tablet when the last request went out; a result belongs to it.
    QPointer<CTablet> m_pRequestTablet;
    bool m_bRequested = false;
};
