#pragma once
// The ring page of the settings window: per ring the function radio buttons and the
// items' actions, and the touch/wheel mode of a touch ring. Models with key groups have
// one ring, shown on the key-group page: its row is built here too (BuildGroupRing), so
// every ring control has one owner.

#include "config/profilerecords.h"

#include <QObject>

class CTablet;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPixmap;
class QWidget;
class SettingsPageHost;

class RingPage : public QObject {
    Q_OBJECT

public:
    explicit RingPage(SettingsPageHost &host, QObject *parent = nullptr);

    // Makes the page's widgets (once) as a child of parent.
    QWidget *Build(QWidget *parent);
    // The key-group page's ring row (once), a child of page.
    QWidget *BuildGroupRing(QWidget *page);
    // Fills the rings (and the key-group page's ring) from the current profile.
    void Update(CTablet *tablet);
    // The tablet picture (a model without one: none).
    void ShowTabletPicture(const QPixmap &pixmap);
    // The touch ring's mode in force (the tablet may switch it): the radio buttons show it.
    void ShowTouchMode(bool touch);

    // A ring function radio button by its id (RingRadioId), on this or the key-group page.
    QAbstractButton *ringRadio(int id) const;

signals:
    // The user chose the touch ring's mode; the program core stores it and tells the tablet.
    void TouchModeChanged(bool touch);

public slots:
    // The controls' slots (each posts a usage record).
    void RingRadioClicked(int id);
    void WheelComboBoxActivated(int ring, int item, int index);
    void TouchWheelClicked(bool touch);

private:
    SettingsPageHost &m_host;
    bool m_bUpdating = false; // controls are being set from the profile: no writes back
    QWidget *m_pPage = nullptr;
    QLabel *m_pRingPicture = nullptr;
    // The ring function radio buttons: one exclusive group per ring, and the ring of the
    // key-group page (ids as RingRadioId gives them).
    QButtonGroup *m_pRingRadios[2] = {};
    QButtonGroup *m_pGroupRingRadios = nullptr;
    QGroupBox *m_pRingGroups[2] = {};
    QComboBox *m_pRingItems[2][kProfileRingItems] = {};
    QLabel *m_pRingItemLabels[2][kProfileRingItems] = {};
    QGroupBox *m_pTouchGroup = nullptr;
    QAbstractButton *m_pTouchRadio = nullptr;
    QAbstractButton *m_pWheelRadio = nullptr;
    QGroupBox *m_pGroupRingBox = nullptr;
    QComboBox *m_pGroupRingItems[kProfileRingItems] = {};
};
