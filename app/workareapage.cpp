// The work area page of the settings window.

#include "app/workareapage.h"

#include "app/mappingmodel.h"
#include "app/settingspagehost.h"
#include "device/ctablet.h"
#include "mapping/mappingwidget.h"
#include "mapping/screentable.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox *MakeSpin(QWidget *parent, const QString &name)
{
    auto *spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setKeyboardTracking(false);
    return spin;
}

} // namespace

WorkAreaPage::WorkAreaPage(SettingsPageHost &host, MappingModel *model, QObject *parent)
    : QObject(parent), m_host(host), m_pMapping(model)
{ }

QWidget *WorkAreaPage::Build(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("page_WorkArea"));
    auto *layout = new QVBoxLayout(page);
    m_pPreview = new mappingwidget(page);
    m_pPreview->setObjectName(QStringLiteral("widget_mapping"));
    m_pPreview->setMinimumHeight(200);
    layout->addWidget(m_pPreview, 1);

    auto *screenRow = new QHBoxLayout;
    m_pScreenList = new QComboBox(page);
    m_pScreenList->setObjectName(QStringLiteral("comboBox_screen"));
    screenRow->addWidget(m_pScreenList, 1);
    const char *screenNames[4] = {"spinBox_SX", "spinBox_SY", "spinBox_SW", "spinBox_SH"};
    const char *tabletNames[4] = {"spinBox_TX", "spinBox_TY", "spinBox_TW", "spinBox_TH"};
    auto *grid = new QGridLayout;
    const QStringList axes{QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("W"), QStringLiteral("H")};
    grid->addWidget(
        new QLabel(m_host.languageText(QStringLiteral("WorkArea.Screen"), QStringLiteral("Screen area")), page), 0, 0);
    grid->addWidget(
        new QLabel(m_host.languageText(QStringLiteral("WorkArea.Tablet"), QStringLiteral("Tablet area")), page), 1, 0);
    for (int i = 0; i < 4; ++i) {
        m_pScreenSpins[i] = MakeSpin(page, QLatin1String(screenNames[i]));
        m_pTabletSpins[i] = MakeSpin(page, QLatin1String(tabletNames[i]));
        m_pScreenSpins[i]->setPrefix(axes[i] + QLatin1Char(' '));
        m_pTabletSpins[i]->setPrefix(axes[i] + QLatin1Char(' '));
        grid->addWidget(m_pScreenSpins[i], 0, i + 1);
        grid->addWidget(m_pTabletSpins[i], 1, i + 1);
    }
    layout->addLayout(screenRow);
    layout->addLayout(grid);

    auto *buttonRow = new QHBoxLayout;
    auto *fullScreen = new QPushButton(
        m_host.languageText(QStringLiteral("WorkArea.FullScreen"), QStringLiteral("Full screen")), page);
    fullScreen->setObjectName(QStringLiteral("pushButton_fullScreen"));
    auto *fullTablet = new QPushButton(
        m_host.languageText(QStringLiteral("WorkArea.FullTablet"), QStringLiteral("Full tablet")), page);
    fullTablet->setObjectName(QStringLiteral("pushButton_fullTablet"));
    auto *scale = new QPushButton(
        m_host.languageText(QStringLiteral("WorkArea.Scale"), QStringLiteral("Keep proportions")), page);
    scale->setObjectName(QStringLiteral("pushButton_scale"));
    auto *select = new QPushButton(
        m_host.languageText(QStringLiteral("WorkArea.SelectArea"), QStringLiteral("Mark with pen")), page);
    select->setObjectName(QStringLiteral("pushButton_selectArea"));
    auto *reset =
        new QPushButton(m_host.languageText(QStringLiteral("WorkArea.Reset"), QStringLiteral("Default")), page);
    reset->setObjectName(QStringLiteral("pushButton_resetArea"));
    m_pDisplaySettingButton = new QPushButton(
        m_host.languageText(QStringLiteral("DisplaySetting.Caption"), QStringLiteral("Display Settings")), page);
    m_pDisplaySettingButton->setObjectName(QStringLiteral("pushButton_displaySetting"));
    m_pDisplaySettingButton->hide();
    m_pAreaSelectButton = new QPushButton(
        m_host.languageText(QStringLiteral("WorkArea.SelectScreenArea"), QStringLiteral("Select screen area")), page);
    m_pAreaSelectButton->setObjectName(QStringLiteral("pushButton_screenArea"));
    m_pCalibrateButton =
        new QPushButton(m_host.languageText(QStringLiteral("WorkArea.Calibrate"), QStringLiteral("Calibrate")), page);
    m_pCalibrateButton->setObjectName(QStringLiteral("pushButton_calibrate"));
    connect(m_pDisplaySettingButton, &QPushButton::clicked, this, &WorkAreaPage::DisplaySettingsClicked);
    connect(m_pAreaSelectButton, &QPushButton::clicked, this, &WorkAreaPage::SelectScreenAreaClicked);
    connect(m_pCalibrateButton, &QPushButton::clicked, this, &WorkAreaPage::CalibrateClicked);
    // Two rows of four: the buttons keep their whole text in the longer languages
    // without widening the window.
    auto *secondRow = new QHBoxLayout;
    for (QPushButton *b : {fullScreen, fullTablet, scale, reset})
        buttonRow->addWidget(b);
    for (QPushButton *b : {select, m_pAreaSelectButton, m_pCalibrateButton, m_pDisplaySettingButton})
        secondRow->addWidget(b);
    buttonRow->addStretch();
    secondRow->addStretch();
    layout->addLayout(buttonRow);
    layout->addLayout(secondRow);

    auto *rotationRow = new QHBoxLayout;
    m_pRotation = new QButtonGroup(page);
    for (int step = 0; step < 4; ++step) {
        auto *radio = new QRadioButton(QStringLiteral("%1\u00b0").arg(step * 90), page);
        radio->setObjectName(QStringLiteral("radioButton_rotation%1").arg(step));
        m_pRotation->addButton(radio, step);
        rotationRow->addWidget(radio);
    }
    rotationRow->addStretch();
    layout->addLayout(rotationRow);

    MappingModel *model = m_pMapping;
    connect(model, &MappingModel::ScreenListChanged, this, [this](const QStringList &items, int current) {
        const QSignalBlocker block(m_pScreenList);
        m_pScreenList->clear();
        m_pScreenList->addItems(items);
        m_pScreenList->setCurrentIndex(current);
    });
    const auto setSpins = [](QSpinBox *const *spins, const QRect &v, const AreaRanges &r) {
        const int mins[4] = {r.xMin, r.yMin, r.wMin, r.hMin};
        const int maxs[4] = {r.xMax, r.yMax, r.wMax, r.hMax};
        const int values[4] = {v.x(), v.y(), v.width(), v.height()};
        for (int i = 0; i < 4; ++i) {
            const QSignalBlocker block(spins[i]);
            spins[i]->setRange(mins[i], maxs[i]);
            spins[i]->setValue(values[i]);
        }
    };
    connect(model, &MappingModel::ScreenAreaChanged, this, [this, setSpins](const QRect &v, const AreaRanges &r) {
        setSpins(m_pScreenSpins, v, r);
        m_pPreview->SetScreenTable(ScreenTable::Current(), m_pMapping->SelectedScreen());
        m_pPreview->SetScreenArea(v);
    });
    connect(model, &MappingModel::TabletAreaChanged, this, [this, setSpins](const QRect &v, const AreaRanges &r) {
        setSpins(m_pTabletSpins, v, r);
        m_pPreview->SetTabletArea(v);
    });
    connect(model, &MappingModel::OrientationChanged, this, [this](int step, const QString &picture) {
        if (QAbstractButton *b = m_pRotation->button(step)) {
            const QSignalBlocker block(m_pRotation);
            b->setChecked(true);
        }
        emit TabletPictureChanged(picture);
        CTablet *tablet = m_host.currentTablet();
        if (tablet)
            m_pPreview->SetTablet(QString::fromLatin1(tablet->m_DeviceAttributes.ModelKey), step,
                                  m_pMapping->FullTabletRect().size());
    });
    connect(model, &MappingModel::PreviewChanged, m_pPreview, QOverload<>::of(&QWidget::update));
    connect(model, &MappingModel::UsageEvent, this, [this](const QString &name) { m_host.postUsage(name); });
    connect(m_pScreenList, QOverload<int>::of(&QComboBox::activated), model, &MappingModel::ScreenSelected);
    void (MappingModel::*screenSlots[4])(int) = {&MappingModel::SXChanged, &MappingModel::SYChanged,
                                                 &MappingModel::SWChanged, &MappingModel::SHChanged};
    void (MappingModel::*tabletSlots[4])(int) = {&MappingModel::TXChanged, &MappingModel::TYChanged,
                                                 &MappingModel::TWChanged, &MappingModel::THChanged};
    for (int i = 0; i < 4; ++i) {
        connect(m_pScreenSpins[i], QOverload<int>::of(&QSpinBox::valueChanged), model, screenSlots[i]);
        connect(m_pTabletSpins[i], QOverload<int>::of(&QSpinBox::valueChanged), model, tabletSlots[i]);
    }
    connect(fullScreen, &QPushButton::clicked, model, &MappingModel::FullScreenClicked);
    connect(fullTablet, &QPushButton::clicked, model, &MappingModel::FullTabletClicked);
    connect(scale, &QPushButton::clicked, model, &MappingModel::TabletScreenScalClicked);
    connect(select, &QPushButton::clicked, model, &MappingModel::SelectWorkAreaClicked);
    connect(reset, &QPushButton::clicked, model, [model] { model->onResetWorkAreaDefaultSetting(true); });
    connect(m_pRotation, &QButtonGroup::idClicked, model, &MappingModel::RotationButtonClicked);
    connect(m_pPreview, &mappingwidget::ScreenRubberRectChange, model, &MappingModel::on_ScreenRubberRectChange);
    connect(m_pPreview, &mappingwidget::TabletRubberRectChange, model, &MappingModel::on_TabletRubberRectChange);
    return page;
}

void WorkAreaPage::Update(CTablet *tablet, bool penDisplayFound)
{
    ShowDisplaySettingButton(penDisplayFound);
    // The pen mapping applies a calibration to pen displays only.
    m_pCalibrateButton->setVisible(tablet->m_DeviceAttributes.DeviceKind == 2);
    if (QAbstractButton *b = m_pRotation->button(m_pMapping->Orientation())) {
        const QSignalBlocker block(m_pRotation);
        b->setChecked(true);
    }
    m_pPreview->SetTablet(QString::fromLatin1(tablet->m_DeviceAttributes.ModelKey), m_pMapping->Orientation(),
                          m_pMapping->FullTabletRect().size());
}

void WorkAreaPage::ShowDisplaySettingButton(bool penDisplayFound)
{
    CTablet *tablet = m_host.currentTablet();
    if (!tablet || !tablet->TabletXMLData)
        return;
    m_pDisplaySettingButton->setVisible(penDisplayFound && m_pMapping->PenDisplayMonitor() > 0
                                        && tablet->TabletXMLData->ScreenId == m_pMapping->PenDisplayMonitor());
}

void WorkAreaPage::SelectScreen(int index)
{
    m_pScreenList->setCurrentIndex(index);
    m_pMapping->ScreenSelected(index);
}
