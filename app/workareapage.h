#pragma once
// The work area page of the settings window: the mapping preview, the screen and tablet
// areas, their buttons and the rotation. Its values come from the mapping model, which
// also takes every edit; the page only shows them and passes the controls on.

#include <QObject>
#include <QString>

class CTablet;
class MappingModel;
class QButtonGroup;
class QComboBox;
class QPushButton;
class QSpinBox;
class QWidget;
class SettingsPageHost;
class mappingwidget;

class WorkAreaPage : public QObject {
    Q_OBJECT

public:
    WorkAreaPage(SettingsPageHost &host, MappingModel *model, QObject *parent = nullptr);

    // Makes the page's widgets (once) as a child of parent.
    QWidget *Build(QWidget *parent);
    // Shows the current tablet: the mapping model has filled its values (SetTablet).
    void Update(CTablet *tablet, bool penDisplayFound);
    // The display settings button belongs to a pen display mapped onto its own monitor.
    void ShowDisplaySettingButton(bool penDisplayFound);
    // The tablet chose a screen (its screen key): the list shows it and the model maps it.
    void SelectScreen(int index);

signals:
    void DisplaySettingsClicked();
    void SelectScreenAreaClicked();
    void CalibrateClicked();
    // The tablet picture for the current orientation (the express-key and ring pages).
    void TabletPictureChanged(const QString &picture);

private:
    SettingsPageHost &m_host;
    MappingModel *m_pMapping;
    mappingwidget *m_pPreview = nullptr;
    QComboBox *m_pScreenList = nullptr;
    QSpinBox *m_pScreenSpins[4] = {};
    QSpinBox *m_pTabletSpins[4] = {};
    QButtonGroup *m_pRotation = nullptr;
    QPushButton *m_pDisplaySettingButton = nullptr;
    QPushButton *m_pAreaSelectButton = nullptr;
    QPushButton *m_pCalibrateButton = nullptr;
};
