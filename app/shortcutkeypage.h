#pragma once
// The express-key page of the settings window: the tablet picture and one action list
// per key the model has.

#include <QObject>
#include <QVector>

class CTablet;
class QComboBox;
class QLabel;
class QPushButton;
class QPixmap;
class QWidget;
class SettingsPageHost;

class ShortcutKeyPage : public QObject {
    Q_OBJECT

public:
    explicit ShortcutKeyPage(SettingsPageHost &host, QObject *parent = nullptr);

    // Makes the page's widgets (once) as a child of parent.
    QWidget *Build(QWidget *parent);
    // Fills the key lists from the current profile.
    void Update(CTablet *tablet);
    // The tablet picture (a model without one: none).
    void ShowTabletPicture(const QPixmap &pixmap);

    QComboBox *keyList(int key) const { return m_KeyLists.value(key); }

public slots:
    // The key's button: opens its action list (posts a usage record).
    void HotkeyPushButtonClicked(int key);

private:
    SettingsPageHost &m_host;
    bool m_bUpdating = false; // controls are being set from the profile: no writes back
    QLabel *m_pTabletPicture = nullptr;
    QWidget *m_pKeyRows = nullptr;
    QVector<QComboBox *> m_KeyLists;
    QVector<QPushButton *> m_KeyButtons;
};
