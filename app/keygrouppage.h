#pragma once
// The key-group page of the settings window (models with key groups): one tab of action
// lists per group, and the ring's row, which belongs to the ring page's controller.

#include "config/profilerecords.h"

#include <QObject>
#include <QVector>

class CTablet;
class QComboBox;
class QTabWidget;
class QWidget;
class RingPage;
class SettingsPageHost;

class KeyGroupPage : public QObject {
    Q_OBJECT

public:
    KeyGroupPage(SettingsPageHost &host, RingPage &ring, QObject *parent = nullptr);

    // Makes the page's widgets (once) as a child of parent.
    QWidget *Build(QWidget *parent);
    // Fills the groups' key lists from the current profile and shows its group.
    void Update(CTablet *tablet);
    // The tablet switched to group (0-based).
    void ShowGroup(int group);

private:
    SettingsPageHost &m_host;
    RingPage &m_ring;
    bool m_bUpdating = false; // controls are being set from the profile: no writes back
    QTabWidget *m_pKeyGroupTabs = nullptr;
    QVector<QComboBox *> m_GroupKeyLists[kProfileKeyGroups];
};
