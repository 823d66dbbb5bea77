// The pen page of the settings window.

#include "app/penpage.h"

#include "app/actionlists.h"
#include "app/pagerules.h"
#include "app/settingspagehost.h"
#include "config/profiletext.h"
#include "device/ctablet.h"
#include "mapping/qpressadjustwedget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

PenPage::PenPage(SettingsPageHost &host, QObject *parent) : QObject(parent), m_host(host) { }

QWidget *PenPage::Build(QWidget *parent)
{
    auto *page = new QWidget(parent);
    m_pPage = page;
    page->setObjectName(QStringLiteral("page_Pen"));
    auto *layout = new QHBoxLayout(page);

    auto *left = new QVBoxLayout;
    m_pPenPicture = new QLabel(page);
    m_pPenPicture->setObjectName(QStringLiteral("label_penPicture"));
    m_pPenPicture->setAlignment(Qt::AlignCenter);
    m_pPenPicture->setMinimumSize(80, 160);
    left->addWidget(m_pPenPicture);
    auto *penRow = new QHBoxLayout;
    m_pPenSet = new QComboBox(page);
    m_pPenSet->setObjectName(QStringLiteral("comboBox_penSet"));
    m_pPenRemove =
        new QPushButton(m_host.languageText(QStringLiteral("Common.delete"), QStringLiteral("Delete")), page);
    m_pPenRemove->setObjectName(QStringLiteral("pushButton_penRemove"));
    penRow->addWidget(m_pPenSet, 1);
    penRow->addWidget(m_pPenRemove);
    left->addLayout(penRow);
    connect(m_pPenSet, QOverload<int>::of(&QComboBox::activated), this, &PenPage::ComboBoxPenSetClicked);
    connect(m_pPenRemove, &QPushButton::clicked, this, &PenPage::askRemovePen);

    const char *buttonKeys[3] = {"Pen.Btn0.Item.1", "Pen.Btn1.Item.1", "Pen.Btn2.Item.1"};
    const char *buttonFallbacks[3] = {"Eraser", "Lower Pen Button", "Upper Pen Button"};
    auto *buttons = new QGridLayout;
    for (int b = 0; b < 3; ++b) {
        m_pPenButtonLabels[b] =
            new QLabel(m_host.languageText(QLatin1String(buttonKeys[b]), QLatin1String(buttonFallbacks[b])), page);
        m_pPenButtons[b] = new QComboBox(page);
        m_pPenButtons[b]->setObjectName(QStringLiteral("comboBox_Pbtn%1").arg(b));
        buttons->addWidget(m_pPenButtonLabels[b], b, 0);
        buttons->addWidget(m_pPenButtons[b], b, 1);
    }
    left->addLayout(buttons);
    left->addStretch();
    connect(m_pPenButtons[0], QOverload<int>::of(&QComboBox::activated), this, &PenPage::comboBoxPbtn0Activated);
    connect(m_pPenButtons[1], QOverload<int>::of(&QComboBox::activated), this, &PenPage::comboBoxPbtn1Activated);
    connect(m_pPenButtons[2], QOverload<int>::of(&QComboBox::activated), this, &PenPage::comboBoxPbtn2Activated);
    layout->addLayout(left, 1);

    auto *right = new QVBoxLayout;
    auto *pressure =
        new QGroupBox(m_host.languageText(QStringLiteral("Pen.Pressure"), QStringLiteral("Pressure")), page);
    pressure->setObjectName(QStringLiteral("groupBox_pressure"));
    auto *pressureLayout = new QVBoxLayout(pressure);
    m_pPressLevel = new QSlider(Qt::Horizontal, pressure);
    m_pPressLevel->setObjectName(QStringLiteral("horizontalSlider_pressLv"));
    m_pPressLevel->setRange(kPressLevelMin, kPressLevelMax);
    m_pPressLevel->setPageStep(1);
    m_pPressCurve = new QPressAdjustWedget(pressure);
    m_pPressCurve->setObjectName(QStringLiteral("widget_pressCurve"));
    auto *levelRow = new QHBoxLayout;
    levelRow->addWidget(new QLabel(m_host.languageText(QStringLiteral("Pen.Soft"), QStringLiteral("Soft")), pressure));
    levelRow->addWidget(m_pPressLevel, 1);
    levelRow->addWidget(new QLabel(m_host.languageText(QStringLiteral("Pen.Firm"), QStringLiteral("Firm")), pressure));
    pressureLayout->addLayout(levelRow);
    pressureLayout->addWidget(m_pPressCurve, 0, Qt::AlignHCenter);
    // The pen's live pressure, to try the curve.
    m_pPressureBar = new QProgressBar(pressure);
    m_pPressureBar->setObjectName(QStringLiteral("progressBar_pressure"));
    m_pPressureBar->setRange(0, 8191);
    m_pPressureBar->setValue(0);
    m_pPressureBar->setFormat(QStringLiteral("%v"));
    pressureLayout->addWidget(m_pPressureBar);
    right->addWidget(pressure);
    connect(m_pPressLevel, &QSlider::valueChanged, this, &PenPage::on_horizontalSlider_pressLv_valueChanged);
    connect(m_pPressCurve, &QPressAdjustWedget::PressSensitivityChange, this, &PenPage::on_PressSensitivityChange);

    auto *modeBox = new QGroupBox(m_host.languageText(QStringLiteral("Pen.Mode"), QStringLiteral("Pen mode")), page);
    auto *modeLayout = new QGridLayout(modeBox);
    // The pen mode of the design's Windows Ink switch: on, the pen device with pressure
    // and tilt; off, an absolute mouse.
    m_pWindowsInk = new QCheckBox(
        m_host.languageText(QStringLiteral("Pen.WindowsInk"), QStringLiteral("Pressure and tilt for applications")),
        modeBox);
    m_pWindowsInk->setObjectName(QStringLiteral("checkBox_WindowsInk"));
    m_pWindowsInk->setToolTip(m_host.languageText(
        QStringLiteral("Pen.WindowsInkTip"),
        QStringLiteral(
            "On: applications get a pen with pressure and tilt. Off: they get a mouse pointer without pressure.")));
    m_pMouseMode =
        new QCheckBox(m_host.languageText(QStringLiteral("Pen.MouseMode"), QStringLiteral("Mouse mode")), modeBox);
    m_pMouseMode->setObjectName(QStringLiteral("checkBox_Mousemode"));
    m_pSpeed = new QSlider(Qt::Horizontal, modeBox);
    m_pSpeed->setObjectName(QStringLiteral("horizontalSlider_Mspeed"));
    m_pSpeed->setRange(1, 10); // mouse-mode speed steps
    m_pSpeedLabels[0] = new QLabel(m_host.languageText(QStringLiteral("Pen.Slow"), QStringLiteral("Slow")), modeBox);
    m_pSpeedLabels[1] = new QLabel(m_host.languageText(QStringLiteral("Pen.Fast"), QStringLiteral("Fast")), modeBox);
    modeLayout->addWidget(m_pWindowsInk, 0, 0, 1, 3);
    modeLayout->addWidget(m_pMouseMode, 1, 0, 1, 3);
    modeLayout->addWidget(m_pSpeedLabels[0], 2, 0);
    modeLayout->addWidget(m_pSpeed, 2, 1);
    modeLayout->addWidget(m_pSpeedLabels[1], 2, 2);
    right->addWidget(modeBox);
    connect(m_pMouseMode, &QCheckBox::clicked, this, &PenPage::checkBoxMousemodeClicked);
    connect(m_pWindowsInk, &QCheckBox::clicked, this, &PenPage::checkBoxWindowsInkClicked);
    connect(m_pSpeed, &QSlider::valueChanged, this, &PenPage::SliderMspeedValueChanged);

    auto *switches =
        new QGroupBox(m_host.languageText(QStringLiteral("Setting.Tips1"), QStringLiteral("Settings")), page);
    auto *switchLayout = new QVBoxLayout(switches);
    m_pDisablePress = new QCheckBox(
        m_host.languageText(QStringLiteral("Setting.item5"), QStringLiteral("Disable Pressure")), switches);
    m_pDisablePress->setObjectName(QStringLiteral("checkBox_disablePress"));
    m_pDisableSlope =
        new QCheckBox(m_host.languageText(QStringLiteral("Pen.DisableTilt"), QStringLiteral("Disable Tilt")), switches);
    m_pDisableSlope->setObjectName(QStringLiteral("checkBox_disableSlope"));
    m_pDisableHotkey = new QCheckBox(
        m_host.languageText(QStringLiteral("Setting.item3"), QStringLiteral("Disable Keyboard Shortcuts")), switches);
    m_pDisableHotkey->setObjectName(QStringLiteral("checkBox_disableHotkey"));
    m_pDisableTipMsg =
        new QCheckBox(m_host.languageText(QStringLiteral("Setting.item4"), QStringLiteral("Close Tips")), switches);
    m_pDisableTipMsg->setObjectName(QStringLiteral("checkBox_disableTipMsg"));
    for (QCheckBox *c : {m_pDisablePress, m_pDisableSlope, m_pDisableHotkey, m_pDisableTipMsg})
        switchLayout->addWidget(c);
    right->addWidget(switches);
    connect(m_pDisablePress, &QCheckBox::clicked, this, &PenPage::onCheckBoxDisablePress);
    connect(m_pDisableSlope, &QCheckBox::clicked, this, &PenPage::onCheckBoxDisableSlope);
    connect(m_pDisableHotkey, &QCheckBox::clicked, this, &PenPage::onCheckBoxDisableHotkey);
    connect(m_pDisableTipMsg, &QCheckBox::clicked, this, &PenPage::onCheckBoxDisableTipMsg);

    m_pLightGroup =
        new QGroupBox(m_host.languageText(QStringLiteral("Pen.TabletLight"), QStringLiteral("Tablet light")), page);
    m_pLightGroup->setObjectName(QStringLiteral("groupBox_tabletLight"));
    auto *lightLayout = new QHBoxLayout(m_pLightGroup);
    m_pLightSlider = new QSlider(Qt::Horizontal, m_pLightGroup);
    m_pLightSlider->setObjectName(QStringLiteral("horizontalSlider_tabletLight"));
    m_pLightSlider->setRange(0, 255 / kLightStep); // the device's level byte in steps
    lightLayout->addWidget(m_pLightSlider);
    m_pLightGroup->hide();
    right->addWidget(m_pLightGroup);
    right->addStretch();
    connect(m_pLightSlider, &QSlider::valueChanged, this, &PenPage::HSliderTabletLightChanged);
    layout->addLayout(right, 1);
    return page;
}

void PenPage::Update(CTablet *tablet)
{
    const TabletXMLData &profile = *tablet->TabletXMLData;
    const AppConfigNode *app = m_host.currentApp();
    m_bUpdating = true;
    const bool severalPens = profile.DevicePenNum > 1;
    m_pPenPicture->setVisible(!severalPens);
    m_pPenSet->setVisible(severalPens);
    m_pPenRemove->setVisible(severalPens);
    if (!severalPens) {
        m_pPenPicture->setPixmap(QPixmap(QStringLiteral(":/image/Res/pen%1.png").arg(profile.DevicePenType)));
    } else {
        m_pPenSet->clear();
        QVector<int> pens;
        // The pen tracking writes the pens seen on the reading thread.
        pens = tablet->EditProfile([](TabletXMLData &edited) { return ListedPens(edited); });
        for (int slot : pens)
            m_pPenSet->addItem(QIcon(QStringLiteral(":/image/Res/pen%1.png").arg(profile.DevicePenType)),
                               m_host.languageText(QStringLiteral("Pen.LabelPen"), QStringLiteral("Pen"))
                                   + QStringLiteral(" %1").arg(slot + 1),
                               slot);
        // The pen edited is always one the menu shows.
        const int index = qMax(0, m_pPenSet->findData(m_nCurrentPen));
        m_pPenSet->setCurrentIndex(index);
        m_nCurrentPen = m_pPenSet->itemData(index).toInt();
        m_pPenRemove->setEnabled(m_pPenSet->count() > 1);
    }
    PenButtonLists lists{!m_pPenButtons[0]->isHidden(), !m_pPenButtons[2]->isHidden()};
    lists = PenButtonVisibility(profile.DevicePenType, lists);
    m_pPenButtons[0]->setVisible(lists.showBtn0);
    m_pPenButtonLabels[0]->setVisible(lists.showBtn0);
    m_pPenButtons[2]->setVisible(lists.showBtn2);
    m_pPenButtonLabels[2]->setVisible(lists.showBtn2);

    const PenConfig &pen = app->pens[m_nCurrentPen];
    for (int b = 0; b < 3; ++b) {
        const PenButtonConfig &button = pen.buttons[b];
        FillActionList(m_host, m_pPenButtons[b], button.id, button.Actid,
                       StoredText(button.custom, sizeof button.custom),
                       b == 0 ? ActionPlace::EraserEnd : ActionPlace::PenButton);
    }
    m_pMouseMode->setChecked(pen.RelativeCoords != 0);
    m_pWindowsInk->setChecked(pen.TablePC != 0);
    m_pSpeed->setValue(pen.Speed);
    m_pSpeed->setEnabled(pen.RelativeCoords != 0);
    m_pSpeedLabels[0]->setEnabled(pen.RelativeCoords != 0);
    m_pSpeedLabels[1]->setEnabled(pen.RelativeCoords != 0);
    m_pPressCurve->SetPoints(pen.Press);
    m_pPressLevel->setValue(PressLevelFromPoints(pen.Press));
    m_pDisablePress->setChecked(profile.DisablePressure != 0);
    m_pDisableSlope->setChecked(profile.DisableSlope != 0);
    m_pDisableHotkey->setChecked(profile.DisableQuickKey != 0);
    m_pDisableTipMsg->setChecked(profile.DisableInfo != 0);
    m_bUpdating = false;
}

void PenPage::UpdateTabletLight(CTablet *tablet)
{
    m_pLightGroup->setVisible(tablet->TabletXMLData->DeviceControl != 0);
    const QSignalBlocker block(m_pLightSlider);
    m_pLightSlider->setValue(LightSliderValue(tablet->CopyAttributes().TabletLightValue));
}

void PenPage::ShowPressure(int pressure, int maxPressure)
{
    m_pPressureBar->setRange(0, qMax(1, maxPressure));
    m_pPressureBar->setValue(qBound(0, pressure, qMax(1, maxPressure)));
}

void PenPage::checkBoxMousemodeClicked(bool checked)
{
    CTablet *tablet = m_host.currentTablet();
    AppConfigNode *app = m_host.currentApp();
    if (!tablet || !app)
        return;
    tablet->EditProfile([&](TabletXMLData &) {
        PenConfig &pen = app->pens[m_nCurrentPen];
        pen.RelativeCoords = checked ? 1 : 0;
        if (checked)
            pen.TablePC = 0; // mouse mode and ink exclude each other
    });
    m_pWindowsInk->setChecked(app->pens[m_nCurrentPen].TablePC != 0);
    m_pSpeed->setEnabled(checked);
    m_pSpeedLabels[0]->setEnabled(checked);
    m_pSpeedLabels[1]->setEnabled(checked);
    m_host.postUsage(QStringLiteral("checkBoxMousemodeClicked"));
}

void PenPage::checkBoxWindowsInkClicked(bool checked)
{
    CTablet *tablet = m_host.currentTablet();
    AppConfigNode *app = m_host.currentApp();
    if (!tablet || !app)
        return;
    tablet->EditProfile([&](TabletXMLData &) {
        PenConfig &pen = app->pens[m_nCurrentPen];
        pen.TablePC = checked ? 1 : 0;
        if (checked)
            pen.RelativeCoords = 0;
    });
    const bool mouse = app->pens[m_nCurrentPen].RelativeCoords != 0;
    m_pMouseMode->setChecked(mouse);
    m_pSpeed->setEnabled(mouse);
    m_pSpeedLabels[0]->setEnabled(mouse);
    m_pSpeedLabels[1]->setEnabled(mouse);
    m_host.postUsage(QStringLiteral("checkBoxWindowsInkClicked"));
}

void PenPage::SliderMspeedValueChanged(int value)
{
    CTablet *tablet = m_host.currentTablet();
    AppConfigNode *app = m_host.currentApp();
    if (m_bUpdating || !tablet || !app)
        return;
    tablet->EditProfile([&](TabletXMLData &) { app->pens[m_nCurrentPen].Speed = int16_t(value); });
    m_host.postUsage(QStringLiteral("SliderMspeedValueChanged"));
}

void PenPage::comboBoxPbtn0Activated(int index)
{
    penButtonActivated(0, index);
}
void PenPage::comboBoxPbtn1Activated(int index)
{
    penButtonActivated(1, index);
}
void PenPage::comboBoxPbtn2Activated(int index)
{
    penButtonActivated(2, index);
}

void PenPage::penButtonActivated(int button, int index)
{
    CTablet *tablet = m_host.currentTablet();
    AppConfigNode *app = m_host.currentApp();
    if (!tablet || !app)
        return;
    QComboBox *list = m_pPenButtons[button];
    PenButtonConfig &entry = app->pens[m_nCurrentPen].buttons[button];
    const int action = list->itemData(index).toInt();
    if (action == kCustomEntry) {
        if (!ChooseCustomEntry(m_host, tablet, app, list, entry.id, entry.Actid, entry.custom, sizeof entry.custom,
                               "pen button editor"))
            return;
    } else {
        tablet->EditProfile([&](TabletXMLData &) {
            entry.id = 0;
            entry.Actid = int16_t(action);
            entry.custom[0] = '\0';
        });
        list->setItemText(list->count() - 1, CustomEntryText(m_host, QString()));
        list->setToolTip(QString());
    }
    m_host.postUsage(QStringLiteral("comboBoxPbtn%1Activated").arg(button));
}

void PenPage::ComboBoxPenSetClicked(int index)
{
    CTablet *tablet = m_host.currentTablet();
    if (!tablet || index < 0)
        return;
    m_nCurrentPen = qBound(0, m_pPenSet->itemData(index).toInt(), kProfilePens - 1);
    Update(tablet);
    m_host.postUsage(QStringLiteral("ComboBoxPenSetClicked"));
}

void PenPage::askRemovePen()
{
    CTablet *tablet = m_host.currentTablet();
    if (!tablet || m_pPenSet->count() <= 1)
        return;
    const int slot = m_pPenSet->currentData().toInt();
    auto *question = new QMessageBox(
        QMessageBox::Question, m_host.languageText(QStringLiteral("Pen.RemoveTitle"), QStringLiteral("Remove Pen")),
        m_host
            .languageText(
                QStringLiteral("Pen.RemoveQuestion"),
                QStringLiteral("Remove %1 from the list? Its settings are kept and it comes back when it is next "
                               "used on the tablet. OK saves the change and Cancel undoes it."))
            .arg(m_pPenSet->currentText()),
        QMessageBox::Yes | QMessageBox::No, m_pPage->window());
    question->setObjectName(QStringLiteral("penRemoveQuestion"));
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setDefaultButton(QMessageBox::No);
    question->button(QMessageBox::Yes)
        ->setText(m_host.languageText(QStringLiteral("Common.delete"), QStringLiteral("Delete")));
    question->button(QMessageBox::No)
        ->setText(m_host.languageText(QStringLiteral("Common.cancel"), QStringLiteral("Cancel")));
    // No nested event loop: the answer comes back here, and by then the tablet may be gone
    // or another one shown.
    QPointer<CTablet> asked(tablet);
    const QString shown = m_host.shownTabletEntry();
    connect(question, &QMessageBox::finished, this, [this, asked, shown, slot](int answer) {
        if (answer != QMessageBox::Yes)
            return;
        if (!asked || asked != m_host.currentTablet() || shown != m_host.shownTabletEntry()) {
            qInfo() << "Pen removal dropped: its tablet is no longer shown";
            return;
        }
        const bool removed = asked->EditProfile([&](TabletXMLData &profile) {
            if (!RemoveListedPen(profile, slot))
                return false;
            // Announce the pen again when it is next used (see the pen tracking).
            asked->lastPenMask = -1;
            return true;
        });
        if (!removed)
            return;
        qInfo() << "Pen removed from the menu:" << slot;
        Update(asked);
        m_host.postUsage(QStringLiteral("ComboBoxPenSetRemove"));
    });
    question->open();
}

void PenPage::on_horizontalSlider_pressLv_valueChanged(int level)
{
    if (m_bUpdating)
        return;
    // The editor takes the level's points and reports them back through
    // on_PressSensitivityChange, which stores them.
    m_pPressCurve->SetLevel(level);
    on_PressSensitivityChange(m_pPressCurve->Points());
    m_host.postUsage(QStringLiteral("on_horizontalSlider_pressLv_valueChanged"));
}

void PenPage::on_PressSensitivityChange(SPresslvPoints points)
{
    CTablet *tablet = m_host.currentTablet();
    AppConfigNode *app = m_host.currentApp();
    if (m_bUpdating || !tablet || !app)
        return;
    tablet->EditProfile([&](TabletXMLData &) { app->pens[m_nCurrentPen].Press = points; });
    const QSignalBlocker block(m_pPressLevel);
    m_pPressLevel->setValue(PressLevelFromPoints(points));
    m_host.postUsage(QStringLiteral("on_PressSensitivityChange"));
}

// The four switches belong to the device profile; the reading thread tests them per packet.
void PenPage::onCheckBoxDisablePress(bool checked)
{
    setSwitch(&TabletXMLData::DisablePressure, checked);
    m_host.postUsage(QStringLiteral("onCheckBoxDisablePress"));
}

void PenPage::onCheckBoxDisableSlope(bool checked)
{
    setSwitch(&TabletXMLData::DisableSlope, checked);
    m_host.postUsage(QStringLiteral("onCheckBoxDisableSlope"));
}

void PenPage::onCheckBoxDisableHotkey(bool checked)
{
    setSwitch(&TabletXMLData::DisableQuickKey, checked);
    m_host.postUsage(QStringLiteral("onCheckBoxDisableHotkey"));
}

void PenPage::onCheckBoxDisableTipMsg(bool checked)
{
    setSwitch(&TabletXMLData::DisableInfo, checked);
    m_host.postUsage(QStringLiteral("onCheckBoxDisableTipMsg"));
}

void PenPage::HSliderTabletLightChanged(int value)
{
    CTablet *tablet = m_host.currentTablet();
    if (!tablet)
        return;
    tablet->SentCmd(CmdSetLight, 2, LightLevelOfSlider(value)); // light 2: the tablet light
    m_host.postUsage(QStringLiteral("HSliderTabletLightChanged"));
}

void PenPage::setSwitch(int16_t TabletXMLData::*field, bool on)
{
    CTablet *tablet = m_host.currentTablet();
    if (!tablet || !tablet->TabletXMLData)
        return;
    tablet->EditProfile([&](TabletXMLData &profile) { profile.*field = on ? 1 : 0; });
}
