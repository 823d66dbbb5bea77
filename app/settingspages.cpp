// The settings pages of the main window: work area, pen, express keys, rings and the
// key groups, the application bar, and what each control writes into the profile.

#include "app/mainwindow.h"

#include "action/ui/hotkeywin.h"
#include "action/ui/jingximode.h"
#include "action/ui/keypreviewwindow.h"
#include "action/ui/rollerkey.h"
#include "app/diagnosisfunction.h"
#include "app/tabletmessages.h"
#include "config/modeltables.h"
#include "config/profiletext.h"

#include "app/mappingmodel.h"
#include "base/usagerecord.h"
#include "device/ctablet.h"
#include "device/tabletdiscovery.h"
#include "mapping/mappingwidget.h"
#include "mapping/pressurelevels.h"
#include "mapping/qpressadjustwedget.h"
#include "mapping/screentable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include <mutex>

namespace {

// Actions an express key or pen button can be given from its list, in list order; the
// custom entry follows them.
const int kListedActions[] = {1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,
                              15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  101,
                              102, 103, 104, 105, 106, 107, 109, 110, 111, 201, 202, 203, 204, 205,
                              206, 207, 208, 209, 210, 211, 108};
constexpr int kCustomEntry = -1; // item data of the custom entry

// Ring item lists: entry 0 the ring's built-in function, 1 nothing, 2 custom function.
constexpr int kRingItemCustom = 2;

QString StoredText(const char *text, size_t size)
{
    return QString::fromUtf8(text, int(qstrnlen(text, uint(size))));
}

// What a custom function text is called: its name field, or its keys (the keyboard
// form's titles) or data when it has no name.
QString CustomFunctionName(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char('|'));
    if (fields.size() < 3)
        return QString();
    return fields.at(1).isEmpty() ? fields.at(2) : fields.at(1);
}

QSpinBox *MakeSpin(QWidget *parent, const QString &name)
{
    auto *spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setKeyboardTracking(false);
    return spin;
}

} // namespace

// --- building -----------------------------------------------------------------------

QWidget *MainWindow::buildDevicePage(QWidget *parent)
{
    const LanguageLookup texts = [this](const QString &key, const QString &fallback) { return languageText(key, fallback); };
    m_CustomEditor = [this, texts](QWidget *parent, QString *text, int rings, int trackPad) {
        CTablet *tablet = currentTablet();
        EditorDeviceCaps caps = tablet && tablet->TabletXMLData ? ActionCapsOf(*tablet->TabletXMLData) : EditorDeviceCaps{};
        caps.ringCount = rings;
        caps.trackPad = trackPad != 0;
        HotKeyWin editor(caps, texts, parent);
        editor.SetCustomText(*text);
        if (editor.exec() != QDialog::Accepted)
            return false;
        *text = editor.AcceptedText();
        return true;
    };
    m_RingEditor = [texts](QWidget *parent, QString *text, int, int) {
        RollerKey editor(texts, parent);
        editor.SetCustomText(*text);
        if (editor.exec() != QDialog::Accepted)
            return false;
        *text = editor.AcceptedText();
        return true;
    };
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);

    // The application bar: the common entry and up to seven applications.
    auto *appRow = new QHBoxLayout;
    m_pAppBar = new QListWidget(page);
    m_pAppBar->setObjectName(QStringLiteral("listWidget_app"));
    m_pAppBar->setFlow(QListView::LeftToRight);
    m_pAppBar->setViewMode(QListView::IconMode);
    m_pAppBar->setIconSize(QSize(32, 32));
    m_pAppBar->setMovement(QListView::Static);
    m_pAppBar->setFixedHeight(72);
    m_pAppBar->setWrapping(false);
    m_pAddApp = new QPushButton(QStringLiteral("+"), page);
    m_pAddApp->setObjectName(QStringLiteral("pushButton_addApp"));
    m_pDeleteApp = new QPushButton(QStringLiteral("\u2212"), page);
    m_pDeleteApp->setObjectName(QStringLiteral("pushButton_deleteApp"));
    appRow->addWidget(m_pAppBar, 1);
    appRow->addWidget(m_pAddApp);
    appRow->addWidget(m_pDeleteApp);
    layout->addLayout(appRow);
    connect(m_pAppBar, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_bUpdating || row < 0)
            return;
        onSelectAppItem(m_pAppBar->item(row)->data(Qt::UserRole).toString(), row + 1);
    });
    connect(m_pAddApp, &QPushButton::clicked, this, &MainWindow::OnAddApplication);
    connect(m_pDeleteApp, &QPushButton::clicked, this, &MainWindow::OnDeleteApplication);

    auto *body = new QHBoxLayout;
    m_pPageList = new QListWidget(page);
    m_pPageList->setObjectName(QStringLiteral("listWidget_pages"));
    m_pPageList->setFixedWidth(150);
    m_pPageStack = new QStackedWidget(page);
    m_pPageStack->setObjectName(QStringLiteral("stackedWidget_pages"));
    m_pPageStack->addWidget(buildWorkAreaPage(m_pPageStack));
    m_pPageStack->addWidget(buildPenPage(m_pPageStack));
    m_pPageStack->addWidget(buildShortcutKeyPage(m_pPageStack));
    m_pPageStack->addWidget(buildRingPage(m_pPageStack));
    m_pPageStack->addWidget(buildKeyGroupPage(m_pPageStack));
    // Sized once for its fullest page, every optional group shown (the tablet light is
    // the only one hidden until a tablet has it): showing another tablet or page never
    // makes the window jump. Polished first, so the style sheet's margins count.
    m_pLightGroup->setHidden(false);
    for (QWidget *widget : m_pPageStack->findChildren<QWidget *>())
        widget->ensurePolished();
    m_pPageStack->setMinimumSize(m_pPageStack->minimumSizeHint());
    m_pLightGroup->setHidden(true);
    body->addWidget(m_pPageList);
    body->addWidget(m_pPageStack, 1);
    layout->addLayout(body, 1);
    connect(m_pPageList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0 || row >= m_ListedPages.size())
            return;
        m_pPageStack->setCurrentIndex(m_bKeyGroupPage ? int(PageKeyGroup) : int(m_ListedPages[row]));
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    auto *confirm = new QPushButton(languageText(QStringLiteral("Common.ok"), QStringLiteral("OK")), page);
    confirm->setObjectName(QStringLiteral("pushButton_ok"));
    auto *cancel = new QPushButton(languageText(QStringLiteral("Common.cancel"), QStringLiteral("Cancel")), page);
    cancel->setObjectName(QStringLiteral("pushButton_cancel"));
    buttons->addWidget(confirm);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(confirm, &QPushButton::clicked, this, &MainWindow::ConfirmButtonClicked);
    connect(cancel, &QPushButton::clicked, this, &MainWindow::CancelButtonClicked);
    return page;
}

QWidget *MainWindow::buildWorkAreaPage(QWidget *parent)
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
    grid->addWidget(new QLabel(languageText(QStringLiteral("WorkArea.Screen"), QStringLiteral("Screen area")), page), 0, 0);
    grid->addWidget(new QLabel(languageText(QStringLiteral("WorkArea.Tablet"), QStringLiteral("Tablet area")), page), 1, 0);
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
    auto *fullScreen = new QPushButton(languageText(QStringLiteral("WorkArea.FullScreen"), QStringLiteral("Full screen")), page);
    fullScreen->setObjectName(QStringLiteral("pushButton_fullScreen"));
    auto *fullTablet = new QPushButton(languageText(QStringLiteral("WorkArea.FullTablet"), QStringLiteral("Full tablet")), page);
    fullTablet->setObjectName(QStringLiteral("pushButton_fullTablet"));
    auto *scale = new QPushButton(languageText(QStringLiteral("WorkArea.Scale"), QStringLiteral("Keep proportions")), page);
    scale->setObjectName(QStringLiteral("pushButton_scale"));
    auto *select = new QPushButton(languageText(QStringLiteral("WorkArea.SelectArea"), QStringLiteral("Mark with pen")), page);
    select->setObjectName(QStringLiteral("pushButton_selectArea"));
    auto *reset = new QPushButton(languageText(QStringLiteral("WorkArea.Reset"), QStringLiteral("Default")), page);
    reset->setObjectName(QStringLiteral("pushButton_resetArea"));
    m_pDisplaySettingButton = new QPushButton(languageText(QStringLiteral("DisplaySetting.Caption"), QStringLiteral("Display Settings")), page);
    m_pDisplaySettingButton->setObjectName(QStringLiteral("pushButton_displaySetting"));
    m_pDisplaySettingButton->hide();
    m_pAreaSelectButton = new QPushButton(languageText(QStringLiteral("WorkArea.SelectScreenArea"), QStringLiteral("Select screen area")), page);
    m_pAreaSelectButton->setObjectName(QStringLiteral("pushButton_screenArea"));
    m_pCalibrateButton = new QPushButton(languageText(QStringLiteral("WorkArea.Calibrate"), QStringLiteral("Calibrate")), page);
    m_pCalibrateButton->setObjectName(QStringLiteral("pushButton_calibrate"));
    connect(m_pDisplaySettingButton, &QPushButton::clicked, &m_core, &AppCore::OnDisplaySettings);
    for (QPushButton *b : {fullScreen, fullTablet, scale, select, m_pAreaSelectButton, m_pCalibrateButton, reset,
                           m_pDisplaySettingButton})
        buttonRow->addWidget(b);
    buttonRow->addStretch();
    layout->addLayout(buttonRow);

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
        showTabletPicture(picture);
        CTablet *tablet = currentTablet();
        if (tablet)
            m_pPreview->SetTablet(QString::fromLatin1(tablet->m_DeviceAttributes.ModelKey), step,
                                  m_pMapping->FullTabletRect().size());
    });
    connect(model, &MappingModel::PreviewChanged, m_pPreview, QOverload<>::of(&QWidget::update));
    connect(model, &MappingModel::UsageEvent, this, &MainWindow::postUsage);
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

QWidget *MainWindow::buildPenPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
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
    m_pPenRemove = new QPushButton(languageText(QStringLiteral("Common.delete"), QStringLiteral("Delete")), page);
    m_pPenRemove->setObjectName(QStringLiteral("pushButton_penRemove"));
    penRow->addWidget(m_pPenSet, 1);
    penRow->addWidget(m_pPenRemove);
    left->addLayout(penRow);
    connect(m_pPenSet, QOverload<int>::of(&QComboBox::activated), this, &MainWindow::ComboBoxPenSetClicked);
    connect(m_pPenRemove, &QPushButton::clicked, this, &MainWindow::askRemovePen);

    const char *buttonKeys[3] = {"Pen.Btn0.Item.1", "Pen.Btn1.Item.1", "Pen.Btn2.Item.1"};
    const char *buttonFallbacks[3] = {"Eraser", "Lower Pen Button", "Upper Pen Button"};
    auto *buttons = new QGridLayout;
    for (int b = 0; b < 3; ++b) {
        m_pPenButtonLabels[b] = new QLabel(languageText(QLatin1String(buttonKeys[b]), QLatin1String(buttonFallbacks[b])), page);
        m_pPenButtons[b] = new QComboBox(page);
        m_pPenButtons[b]->setObjectName(QStringLiteral("comboBox_Pbtn%1").arg(b));
        buttons->addWidget(m_pPenButtonLabels[b], b, 0);
        buttons->addWidget(m_pPenButtons[b], b, 1);
    }
    left->addLayout(buttons);
    left->addStretch();
    connect(m_pPenButtons[0], QOverload<int>::of(&QComboBox::activated), this, &MainWindow::comboBoxPbtn0Activated);
    connect(m_pPenButtons[1], QOverload<int>::of(&QComboBox::activated), this, &MainWindow::comboBoxPbtn1Activated);
    connect(m_pPenButtons[2], QOverload<int>::of(&QComboBox::activated), this, &MainWindow::comboBoxPbtn2Activated);
    layout->addLayout(left, 1);

    auto *right = new QVBoxLayout;
    auto *pressure = new QGroupBox(languageText(QStringLiteral("Pen.Pressure"), QStringLiteral("Pressure")), page);
    pressure->setObjectName(QStringLiteral("groupBox_pressure"));
    auto *pressureLayout = new QVBoxLayout(pressure);
    m_pPressLevel = new QSlider(Qt::Horizontal, pressure);
    m_pPressLevel->setObjectName(QStringLiteral("horizontalSlider_pressLv"));
    m_pPressLevel->setRange(kPressLevelMin, kPressLevelMax);
    m_pPressLevel->setPageStep(1);
    m_pPressCurve = new QPressAdjustWedget(pressure);
    m_pPressCurve->setObjectName(QStringLiteral("widget_pressCurve"));
    auto *levelRow = new QHBoxLayout;
    levelRow->addWidget(new QLabel(languageText(QStringLiteral("Pen.Soft"), QStringLiteral("Soft")), pressure));
    levelRow->addWidget(m_pPressLevel, 1);
    levelRow->addWidget(new QLabel(languageText(QStringLiteral("Pen.Firm"), QStringLiteral("Firm")), pressure));
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
    connect(m_pPressLevel, &QSlider::valueChanged, this, &MainWindow::on_horizontalSlider_pressLv_valueChanged);
    connect(m_pPressCurve, &QPressAdjustWedget::PressSensitivityChange, this, &MainWindow::on_PressSensitivityChange);

    auto *modeBox = new QGroupBox(languageText(QStringLiteral("Pen.Mode"), QStringLiteral("Pen mode")), page);
    auto *modeLayout = new QGridLayout(modeBox);
    // The pen mode of the design's Windows Ink switch: on, the pen device with pressure
    // and tilt; off, an absolute mouse.
    m_pWindowsInk = new QCheckBox(languageText(QStringLiteral("Pen.WindowsInk"), QStringLiteral("Pressure and tilt for applications")), modeBox);
    m_pWindowsInk->setObjectName(QStringLiteral("checkBox_WindowsInk"));
    m_pWindowsInk->setToolTip(languageText(QStringLiteral("Pen.WindowsInkTip"),
                                           QStringLiteral("On: applications get a pen with pressure and tilt. Off: they get a mouse pointer without pressure.")));
    m_pMouseMode = new QCheckBox(languageText(QStringLiteral("Pen.MouseMode"), QStringLiteral("Mouse mode")), modeBox);
    m_pMouseMode->setObjectName(QStringLiteral("checkBox_Mousemode"));
    m_pSpeed = new QSlider(Qt::Horizontal, modeBox);
    m_pSpeed->setObjectName(QStringLiteral("horizontalSlider_Mspeed"));
    m_pSpeed->setRange(1, 10); // mouse-mode speed steps
    m_pSpeedLabels[0] = new QLabel(languageText(QStringLiteral("Pen.Slow"), QStringLiteral("Slow")), modeBox);
    m_pSpeedLabels[1] = new QLabel(languageText(QStringLiteral("Pen.Fast"), QStringLiteral("Fast")), modeBox);
    modeLayout->addWidget(m_pWindowsInk, 0, 0, 1, 3);
    modeLayout->addWidget(m_pMouseMode, 1, 0, 1, 3);
    modeLayout->addWidget(m_pSpeedLabels[0], 2, 0);
    modeLayout->addWidget(m_pSpeed, 2, 1);
    modeLayout->addWidget(m_pSpeedLabels[1], 2, 2);
    right->addWidget(modeBox);
    connect(m_pMouseMode, &QCheckBox::clicked, this, &MainWindow::checkBoxMousemodeClicked);
    connect(m_pWindowsInk, &QCheckBox::clicked, this, &MainWindow::checkBoxWindowsInkClicked);
    connect(m_pSpeed, &QSlider::valueChanged, this, &MainWindow::SliderMspeedValueChanged);

    auto *switches = new QGroupBox(languageText(QStringLiteral("Setting.Tips1"), QStringLiteral("Settings")), page);
    auto *switchLayout = new QVBoxLayout(switches);
    m_pDisablePress = new QCheckBox(languageText(QStringLiteral("Setting.item5"), QStringLiteral("Disable Pressure")), switches);
    m_pDisablePress->setObjectName(QStringLiteral("checkBox_disablePress"));
    m_pDisableSlope = new QCheckBox(languageText(QStringLiteral("Pen.DisableTilt"), QStringLiteral("Disable Tilt")), switches);
    m_pDisableSlope->setObjectName(QStringLiteral("checkBox_disableSlope"));
    m_pDisableHotkey = new QCheckBox(languageText(QStringLiteral("Setting.item3"), QStringLiteral("Disable Keyboard Shortcuts")), switches);
    m_pDisableHotkey->setObjectName(QStringLiteral("checkBox_disableHotkey"));
    m_pDisableTipMsg = new QCheckBox(languageText(QStringLiteral("Setting.item4"), QStringLiteral("Close Tips")), switches);
    m_pDisableTipMsg->setObjectName(QStringLiteral("checkBox_disableTipMsg"));
    for (QCheckBox *c : {m_pDisablePress, m_pDisableSlope, m_pDisableHotkey, m_pDisableTipMsg})
        switchLayout->addWidget(c);
    right->addWidget(switches);
    connect(m_pDisablePress, &QCheckBox::clicked, this, &MainWindow::onCheckBoxDisablePress);
    connect(m_pDisableSlope, &QCheckBox::clicked, this, &MainWindow::onCheckBoxDisableSlope);
    connect(m_pDisableHotkey, &QCheckBox::clicked, this, &MainWindow::onCheckBoxDisableHotkey);
    connect(m_pDisableTipMsg, &QCheckBox::clicked, this, &MainWindow::onCheckBoxDisableTipMsg);

    m_pLightGroup = new QGroupBox(languageText(QStringLiteral("Pen.TabletLight"), QStringLiteral("Tablet light")), page);
    m_pLightGroup->setObjectName(QStringLiteral("groupBox_tabletLight"));
    auto *lightLayout = new QHBoxLayout(m_pLightGroup);
    m_pLightSlider = new QSlider(Qt::Horizontal, m_pLightGroup);
    m_pLightSlider->setObjectName(QStringLiteral("horizontalSlider_tabletLight"));
    m_pLightSlider->setRange(0, 255 / kLightStep); // the device's level byte in steps
    lightLayout->addWidget(m_pLightSlider);
    m_pLightGroup->hide();
    right->addWidget(m_pLightGroup);
    right->addStretch();
    connect(m_pLightSlider, &QSlider::valueChanged, this, &MainWindow::HSliderTabletLightChanged);
    layout->addLayout(right, 1);
    return page;
}

QWidget *MainWindow::buildShortcutKeyPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("page_ShortcutKey"));
    auto *layout = new QHBoxLayout(page);
    m_pTabletPicture = new QLabel(page);
    m_pTabletPicture->setObjectName(QStringLiteral("label_tabletPicture"));
    m_pTabletPicture->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_pTabletPicture, 1);
    auto *scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    m_pKeyRows = new QWidget(scroll);
    m_pKeyRows->setObjectName(QStringLiteral("widget_keyRows"));
    // Set before the rows are made: setWidget moves the widget, and moving a subtree
    // polishes all of it again with the style sheet.
    scroll->setWidget(m_pKeyRows);
    auto *grid = new QGridLayout(m_pKeyRows);
    for (int k = 0; k < kProfileKeys; ++k) {
        auto *button = new QPushButton(QString::number(k + 1), m_pKeyRows);
        button->setObjectName(QStringLiteral("pushButton_key%1").arg(k + 1));
        button->setIconSize(QSize(40, 28));
        auto *list = new QComboBox(m_pKeyRows);
        list->setObjectName(QStringLiteral("comboBox_key%1").arg(k + 1));
        grid->addWidget(button, k, 0);
        grid->addWidget(list, k, 1);
        m_KeyButtons << button;
        m_KeyLists << list;
        connect(button, &QPushButton::clicked, this, [this, k] { HotkeyPushButtonClicked(k); });
        connect(list, QOverload<int>::of(&QComboBox::activated), this, [this, k](int index) { keyListActivated(-1, k, index); });
    }
    grid->setRowStretch(kProfileKeys, 1);
    layout->addWidget(scroll, 1);
    return page;
}

void MainWindow::showTabletPicture(const QString &picture)
{
    const QPixmap pixmap(picture);
    for (QLabel *label : {m_pTabletPicture, m_pRingPicture}) {
        if (!label)
            continue;
        if (pixmap.isNull()) // a model without a picture: nothing to scale
            label->clear();
        else
            label->setPixmap(pixmap.scaled(360, 240, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}

QWidget *MainWindow::buildRingPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("page_TR"));
    // The tablet beside its rings, as on the express-key page.
    auto *pageLayout = new QHBoxLayout(page);
    m_pRingPicture = new QLabel(page);
    m_pRingPicture->setObjectName(QStringLiteral("label_ringPicture"));
    m_pRingPicture->setAlignment(Qt::AlignCenter);
    pageLayout->addWidget(m_pRingPicture, 1);
    auto *layout = new QVBoxLayout;
    pageLayout->addLayout(layout, 1);
    m_pRingRadios[0] = new QButtonGroup(this);
    m_pRingRadios[1] = new QButtonGroup(this);
    const QStringList numerals{QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III"), QStringLiteral("IV")};
    for (int ring = 0; ring < 2; ++ring) {
        m_pRingGroups[ring] = new QGroupBox(languageText(QStringLiteral("TR.Ring"), QStringLiteral("Ring")), page);
        m_pRingGroups[ring]->setObjectName(QStringLiteral("groupBox_ring%1").arg(ring + 1));
        auto *grid = new QGridLayout(m_pRingGroups[ring]);
        for (int item = 0; item < kProfileRingItems; ++item) {
            auto *radio = new QRadioButton(numerals[item], m_pRingGroups[ring]);
            radio->setObjectName(QStringLiteral("radioButton_ring%1_%2").arg(ring + 1).arg(item + 1));
            m_pRingRadios[ring]->addButton(radio, RingRadioId(ring, item, false));
            m_pRingItems[ring][item] = new QComboBox(m_pRingGroups[ring]);
            m_pRingItems[ring][item]->setObjectName(QStringLiteral("comboBox_ring%1_item%2").arg(ring + 1).arg(item + 1));
            m_pRingItemLabels[ring][item] = new QLabel(m_pRingGroups[ring]);
            m_pRingItemLabels[ring][item]->setObjectName(QStringLiteral("label_ring%1_item%2").arg(ring + 1).arg(item + 1));
            grid->addWidget(radio, item, 0);
            grid->addWidget(m_pRingItems[ring][item], item, 1);
            grid->addWidget(m_pRingItemLabels[ring][item], item, 2);
            grid->setColumnStretch(1, 1);
            connect(m_pRingItems[ring][item], QOverload<int>::of(&QComboBox::activated), this,
                    [this, ring, item](int index) { WheelComboBoxActivated(ring, item, index); });
        }
        layout->addWidget(m_pRingGroups[ring]);
    }
    m_pTouchGroup = new QGroupBox(languageText(QStringLiteral("TR.Touch"), QStringLiteral("Touch Ring")), page);
    m_pTouchGroup->setObjectName(QStringLiteral("groupBox_touch"));
    auto *touchLayout = new QHBoxLayout(m_pTouchGroup);
    auto *touchGroup = new QButtonGroup(m_pTouchGroup);
    m_pTouchRadio = new QRadioButton(languageText(QStringLiteral("TR.TouchMode"), QStringLiteral("Touch")), m_pTouchGroup);
    m_pTouchRadio->setObjectName(QStringLiteral("radioButton_touch"));
    m_pWheelRadio = new QRadioButton(languageText(QStringLiteral("TR.WheelMode"), QStringLiteral("Wheel")), m_pTouchGroup);
    m_pWheelRadio->setObjectName(QStringLiteral("radioButton_wheel"));
    touchGroup->addButton(m_pTouchRadio);
    touchGroup->addButton(m_pWheelRadio);
    touchLayout->addWidget(m_pTouchRadio);
    touchLayout->addWidget(m_pWheelRadio);
    touchLayout->addStretch();
    layout->addWidget(m_pTouchGroup);
    layout->addStretch();
    connect(m_pTouchRadio, &QAbstractButton::clicked, this, [this] { TouchWheelClicked(true); });
    connect(m_pWheelRadio, &QAbstractButton::clicked, this, [this] { TouchWheelClicked(false); });
    for (QButtonGroup *radios : m_pRingRadios)
        connect(radios, &QButtonGroup::idClicked, this, &MainWindow::RingRadioClicked);
    return page;
}

QWidget *MainWindow::buildKeyGroupPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("page_KeyGroup"));
    auto *layout = new QVBoxLayout(page);
    m_pKeyGroupTabs = new QTabWidget(page);
    m_pKeyGroupTabs->setObjectName(QStringLiteral("tabWidget_keyGroups"));
    const QStringList numerals{QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III"), QStringLiteral("IV")};
    for (int g = 0; g < kProfileKeyGroups; ++g) {
        // The tab and the scrolled widget are in place before the rows are made (see
        // buildShortcutKeyPage).
        auto *scroll = new QScrollArea(m_pKeyGroupTabs);
        scroll->setWidgetResizable(true);
        m_pKeyGroupTabs->addTab(scroll, languageText(QStringLiteral("KeyGroup.Group"), QStringLiteral("Group")) + QLatin1Char(' ') + numerals[g]);
        auto *rows = new QWidget(scroll);
        scroll->setWidget(rows);
        auto *grid = new QGridLayout(rows);
        for (int k = 0; k < kProfileKeys; ++k) {
            auto *list = new QComboBox(rows);
            list->setObjectName(QStringLiteral("comboBox_group%1_key%2").arg(g + 1).arg(k + 1));
            grid->addWidget(new QLabel(QString::number(k + 1), rows), k, 0);
            grid->addWidget(list, k, 1);
            m_GroupKeyLists[g] << list;
            connect(list, QOverload<int>::of(&QComboBox::activated), this, [this, g, k](int index) { keyListActivated(g, k, index); });
        }
        grid->setRowStretch(kProfileKeys, 1);
    }
    layout->addWidget(m_pKeyGroupTabs, 1);
    // Models with key groups have one ring; its radio buttons are numbered from 8.
    m_pGroupRingBox = new QGroupBox(languageText(QStringLiteral("TR.Ring"), QStringLiteral("Ring")), page);
    m_pGroupRingBox->setObjectName(QStringLiteral("groupBox_groupRing"));
    m_pGroupRingRadios = new QButtonGroup(this);
    connect(m_pGroupRingRadios, &QButtonGroup::idClicked, this, &MainWindow::RingRadioClicked);
    auto *ringLayout = new QGridLayout(m_pGroupRingBox);
    for (int item = 0; item < kProfileRingItems; ++item) {
        auto *radio = new QRadioButton(numerals[item], m_pGroupRingBox);
        radio->setObjectName(QStringLiteral("radioButton_groupRing%1").arg(item + 1));
        m_pGroupRingRadios->addButton(radio, RingRadioId(0, item, true));
        m_pGroupRingItems[item] = new QComboBox(m_pGroupRingBox);
        m_pGroupRingItems[item]->setObjectName(QStringLiteral("comboBox_groupRing_item%1").arg(item + 1));
        ringLayout->addWidget(radio, 0, item * 2);
        ringLayout->addWidget(m_pGroupRingItems[item], 0, item * 2 + 1);
        connect(m_pGroupRingItems[item], QOverload<int>::of(&QComboBox::activated), this,
                [this, item](int index) { WheelComboBoxActivated(0, item, index); });
    }
    layout->addWidget(m_pGroupRingBox);
    return page;
}

// --- state ----------------------------------------------------------------------------

AppConfigNode *MainWindow::currentApp() const
{
    CTablet *tablet = currentTablet();
    if (!tablet || !tablet->TabletXMLData)
        return nullptr;
    if (m_strCurrentApp.isEmpty())
        return &tablet->TabletXMLData->CommonAPP;
    const auto it = tablet->apps.find(m_strCurrentApp);
    return it == tablet->apps.end() ? &tablet->TabletXMLData->CommonAPP : it->second;
}

QVector<SettingsPage> MainWindow::listedPages() const
{
    return m_ListedPages;
}

int MainWindow::shownPage() const
{
    return m_pPageStack->currentIndex();
}

QAbstractButton *MainWindow::ringRadio(int id) const
{
    for (QButtonGroup *radios : {m_pRingRadios[0], m_pRingRadios[1], m_pGroupRingRadios}) {
        if (QAbstractButton *b = radios->button(id))
            return b;
    }
    return nullptr;
}

void MainWindow::selectPage(SettingsPage page)
{
    const int row = m_ListedPages.indexOf(page);
    if (row >= 0)
        m_pPageList->setCurrentRow(row);
}

QString MainWindow::tabletName() const
{
    CTablet *tablet = currentTablet();
    return tablet ? QString::fromUtf8(tablet->m_DeviceAttributes.ProductName) : QString();
}

void MainWindow::postUsage(const QString &name)
{
    emit UsageRecord(name);
}

bool MainWindow::editTargetStillHere(const QPointer<CTablet> &tablet, const AppConfigNode *app, const char *editor,
                                     bool withResult)
{
    if (tablet && tablet == currentTablet() && currentApp() == app)
        return true;
    qWarning().noquote() << "The tablet left while its" << editor << "was open: the change is dropped";
    if (withResult)
        tellEditDropped(); // a cancelled editor had nothing to lose
    return false;
}

void MainWindow::tellEditDropped()
{
    notifyUser(languageText(QStringLiteral("Message.editDropped"),
                            QStringLiteral("The tablet was disconnected while its settings were being edited. "
                                           "The change was not applied.")),
               NoticeWay::Box);
}

// --- rebuilding -----------------------------------------------------------------------

void MainWindow::onSelectTabletDevice(const QString &name)
{
    CTablet *tablet = currentTablet();
    if (!tablet || m_pDeviceSelector->currentText() != name)
        return;
    m_strCurrentApp.clear();
    UpdateUIByAppChange();
    postUsage(QStringLiteral("onSelectTabletDevice"));
}

void MainWindow::onSelectAppItem(const QString &path, int index)
{
    qInfo().noquote() << "Function  onSelectAppItem:" << index << "path:" << path;
    CTablet *tablet = currentTablet();
    if (!tablet)
        return;
    if (index == 1 || path.isEmpty()) {
        m_strCurrentApp.clear();
    } else if (tablet->apps.count(path) != 0) {
        m_strCurrentApp = path;
    }
    m_pDeleteApp->setEnabled(!m_strCurrentApp.isEmpty());
    m_pMapping->SetCurrentApp(m_strCurrentApp);
    m_pMessages->SetCurrentApp(m_strCurrentApp);
    m_nCurrentPen = 0;
    updatePenPage(tablet);
    updateKeyLists(tablet);
    updateRingPage(tablet);
    postUsage(QStringLiteral("onSelectAppItem"));
}

void MainWindow::UpdateUIByAppChange()
{
    qInfo() << "Function  UpdateUIByAppChange:";
    CTablet *tablet = currentTablet();
    m_pMapping->SetTablet(tablet);
    emit m_core.CurrentTabletChanged(); // the diagnosis dialog follows the tablet shown
    if (!tablet || !tablet->TabletXMLData)
        return;
    const TabletXMLData &profile = *tablet->TabletXMLData;
    if (!m_strCurrentApp.isEmpty() && tablet->apps.count(m_strCurrentApp) == 0)
        m_strCurrentApp.clear();
    m_pMapping->SetCurrentApp(m_strCurrentApp);

    // 1. The application bar.
    fillApplicationBar(tablet);

    // 2. The page list; the pen slot starts at 0.
    const int previous = m_pPageList->currentRow() >= 0 && m_pPageList->currentRow() < m_ListedPages.size()
                             ? int(m_ListedPages[m_pPageList->currentRow()])
                             : -1;
    rebuildPageList(tablet);
    m_nCurrentPen = 0;

    // 3. The pen page.
    updatePenPage(tablet);

    // 4. The page selected before when it is still listed, else the first.
    // -1 is no SettingsPage value: converting it would be undefined, so it is not asked.
    const int row = previous >= 0 ? m_ListedPages.indexOf(SettingsPage(previous)) : -1;
    m_pPageList->setCurrentRow(-1);
    m_pPageList->setCurrentRow(row >= 0 ? row : 0);

    // 5. The work area: the model has filled its values from the profile (SetTablet).
    // The display settings button belongs to a pen display mapped onto its own monitor.
    refreshDisplayButton();
    // The pen mapping applies a calibration to pen displays only.
    m_pCalibrateButton->setVisible(tablet->m_DeviceAttributes.DeviceKind == 2);
    m_pMessages->SetCurrentTablet(tablet);
    m_pMessages->SetCurrentApp(m_strCurrentApp);
    m_core.updateLiveData();
    refreshBattery();

    // 6. The tablet light.
    m_pLightGroup->setVisible(profile.DeviceControl != 0);
    {
        const QSignalBlocker block(m_pLightSlider);
        m_pLightSlider->setValue(LightSliderValue(tablet->CopyAttributes().TabletLightValue));
    }

    // 7. The tablet picture and the rotation buttons.
    if (QAbstractButton *b = m_pRotation->button(m_pMapping->Orientation())) {
        const QSignalBlocker block(m_pRotation);
        b->setChecked(true);
    }
    showTabletPicture(m_pMapping->TabletPicture());
    m_pPreview->SetTablet(QString::fromLatin1(tablet->m_DeviceAttributes.ModelKey), m_pMapping->Orientation(),
                          m_pMapping->FullTabletRect().size());

    // 8. Express keys; 9. rings.
    updateKeyLists(tablet);
    updateRingPage(tablet);
}

void MainWindow::fillApplicationBar(CTablet *tablet)
{
    const QSignalBlocker block(m_pAppBar);
    m_pAppBar->clear();
    auto *common = new QListWidgetItem(QIcon(QStringLiteral(":/image/Res/inkora.png")),
                                       languageText(QStringLiteral("App.common"), QStringLiteral("All")));
    common->setData(Qt::UserRole, QString());
    m_pAppBar->addItem(common);
    QFileIconProvider icons;
    int current = 0;
    for (const AppConfigNode *node = tablet->TabletXMLData->Apps; node; node = node->next) {
        const QString path = StoredText(node->path, sizeof node->path);
        auto *item = new QListWidgetItem(icons.icon(QFileInfo(path)), QFileInfo(path).completeBaseName());
        item->setData(Qt::UserRole, path);
        item->setToolTip(path);
        m_pAppBar->addItem(item);
        if (path == m_strCurrentApp)
            current = m_pAppBar->count() - 1;
    }
    m_pAppBar->setCurrentRow(current);
    m_pDeleteApp->setEnabled(m_pAppBar->count() > 1 && !m_strCurrentApp.isEmpty());
    m_pAddApp->setEnabled(m_pAppBar->count() < 8);
}

void MainWindow::rebuildPageList(CTablet *tablet)
{
    const PageListPlan plan = PlanPages(*tablet->TabletXMLData, tablet->m_DeviceAttributes.DeviceKind);
    const QSignalBlocker block(m_pPageList);
    m_pPageList->clear();
    m_ListedPages = plan.items;
    m_bKeyGroupPage = plan.keyGroupPage;
    const char *keys[4] = {"WorkArea", "Pen", "ShortcutKey", "TR"};
    const char *fallbacks[4] = {"Work Area", "Pen", "Express Keys", "Ring"};
    // The keypad's ring is its dial.
    const bool keypad = tablet->m_DeviceAttributes.DeviceKind == kKindKeypad;
    for (SettingsPage page : m_ListedPages) {
        if (page == PageTR && keypad)
            m_pPageList->addItem(languageText(QStringLiteral("TR.Dial"), QStringLiteral("Dial")));
        else
            m_pPageList->addItem(languageText(QLatin1String(keys[page]), QLatin1String(fallbacks[page])));
    }
}

void MainWindow::fillActionList(QComboBox *list, int id, int actid, const QString &custom, ActionPlace place)
{
    CTablet *tablet = currentTablet();
    const ActionDeviceCaps caps = tablet && tablet->TabletXMLData ? ActionCapsOf(*tablet->TabletXMLData) : ActionDeviceCaps{};
    list->clear();
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents); // action names are never cut
    for (int action : kListedActions) {
        // What the model cannot use is not offered; a stored choice is still shown as it is.
        if (ActionOffered(action, caps, place) || (id == 0 && action == actid))
            list->addItem(languageText(QStringLiteral("Actions.%1").arg(action), QStringLiteral("Action %1").arg(action)), action);
    }
    list->addItem(CustomEntryText(id == 1 ? custom : QString()), kCustomEntry);
    const int index = id == 1 ? list->count() - 1 : list->findData(actid);
    list->setCurrentIndex(index >= 0 ? index : list->findData(108));
    list->setToolTip(id == 1 ? custom : QString());
    // A combo box keeps the minimum width of its first (empty) filling: ask for the
    // width of the longest entry, so the layouts never cut one ("Mouse R").
    list->setMinimumWidth(list->sizeHint().width());
}

QString MainWindow::CustomEntryText(const QString &custom) const
{
    const QString entry = languageText(QStringLiteral("ShortcutKey.Item.custom"), QStringLiteral("Custom"));
    const QString name = CustomFunctionName(custom);
    return name.isEmpty() ? entry : entry + QStringLiteral(": ") + name;
}

void MainWindow::updatePenPage(CTablet *tablet)
{
    const TabletXMLData &profile = *tablet->TabletXMLData;
    const AppConfigNode *app = currentApp();
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
        {
            // The pen tracking writes the pens seen on the reading thread.
            std::lock_guard<std::mutex> lock(tablet->appsMutex);
            pens = ListedPens(profile);
        }
        for (int slot : pens)
            m_pPenSet->addItem(QIcon(QStringLiteral(":/image/Res/pen%1.png").arg(profile.DevicePenType)),
                               languageText(QStringLiteral("Pen.LabelPen"), QStringLiteral("Pen")) + QStringLiteral(" %1").arg(slot + 1), slot);
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
        fillActionList(m_pPenButtons[b], button.id, button.Actid, StoredText(button.custom, sizeof button.custom),
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

void MainWindow::updateKeyLists(CTablet *tablet)
{
    const TabletXMLData &profile = *tablet->TabletXMLData;
    const AppConfigNode *app = currentApp();
    const QString model = QString::fromLatin1(tablet->m_DeviceAttributes.ModelKey);
    const int keys = qBound(0, int(profile.DeviceKeyNum), kProfileKeys);
    m_bUpdating = true;
    for (int k = 0; k < kProfileKeys; ++k) {
        const bool shown = k < keys;
        m_KeyButtons[k]->setVisible(shown);
        m_KeyLists[k]->setVisible(shown);
        if (!shown)
            continue;
        m_KeyButtons[k]->setIcon(QIcon(QStringLiteral(":/image/tablet/HY_%1_K%2.png").arg(model).arg(k + 1)));
        const KeyConfig &key = app->keys[k];
        fillActionList(m_KeyLists[k], key.id, key.Actid, StoredText(key.custom, sizeof key.custom), ActionPlace::Key);
    }
    for (int g = 0; g < kProfileKeyGroups; ++g) {
        for (int k = 0; k < kProfileKeys; ++k) {
            const bool shown = profile.SupportGroupKeys != 0 && k < keys;
            QComboBox *list = m_GroupKeyLists[g][k];
            list->setVisible(shown);
            if (shown) {
                const KeyConfig &key = app->groups[g].keys[k];
                fillActionList(list, key.id, key.Actid, StoredText(key.custom, sizeof key.custom), ActionPlace::Key);
            }
        }
    }
    if (profile.SupportGroupKeys != 0)
        m_pKeyGroupTabs->setCurrentIndex(qBound(0, int(app->SelectID), kProfileKeyGroups - 1));
    m_bUpdating = false;
}

void MainWindow::updateRingPage(CTablet *tablet)
{
    const TabletXMLData &profile = *tablet->TabletXMLData;
    const AppConfigNode *app = currentApp();
    const bool groupKeys = profile.SupportGroupKeys != 0;
    const int rings = qBound(0, int(profile.DeviceRingNum), 2);
    m_bUpdating = true;
    const QStringList itemTexts{languageText(QStringLiteral("TR.Item.1"), QStringLiteral("Zoom")),
                                languageText(QStringLiteral("TR.Item.2"), QStringLiteral("Scroll")),
                                languageText(QStringLiteral("TR.Item.3"), QStringLiteral("Brush Size")),
                                languageText(QStringLiteral("TR.Item.4"), QStringLiteral("Rotate"))};
    const auto fillItem = [&](QComboBox *list, QLabel *label, int function, const RingItemConfig &item) {
        list->clear();
        list->addItem(itemTexts.value(function));
        list->addItem(languageText(QStringLiteral("Actions.0"), QStringLiteral("No Action")));
        list->addItem(languageText(QStringLiteral("ShortcutKey.Item.custom"), QStringLiteral("Custom")));
        list->setCurrentIndex(qBound(0, int(item.id), kRingItemCustom));
        if (label) {
            const QStringList fields = StoredText(item.custom, sizeof item.custom).split(QLatin1Char('|'));
            label->setText(item.id == kRingItemCustom && fields.value(0) == QLatin1String("4") ? fields.value(1) : QString());
        }
    };
    const RingConfig *ringConfigs[2] = {&app->ring, &app->ring2};
    for (int ring = 0; ring < 2; ++ring) {
        const bool shown = !groupKeys && ring < rings;
        m_pRingGroups[ring]->setVisible(shown);
        if (rings == 2)
            m_pRingGroups[ring]->setTitle(languageText(QStringLiteral("TR.Ring"), QStringLiteral("Ring")) + QLatin1Char(' ') + QString::number(ring + 1));
        else if (tablet->m_DeviceAttributes.DeviceKind == kKindKeypad)
            m_pRingGroups[ring]->setTitle(languageText(QStringLiteral("TR.Dial"), QStringLiteral("Dial")));
        else
            m_pRingGroups[ring]->setTitle(languageText(QStringLiteral("TR.Ring"), QStringLiteral("Ring")));
        if (!shown)
            continue;
        for (int item = 0; item < kProfileRingItems; ++item)
            fillItem(m_pRingItems[ring][item], m_pRingItemLabels[ring][item], item, ringConfigs[ring]->items[item]);
    }
    m_pGroupRingBox->setVisible(groupKeys && rings > 0);
    if (groupKeys && rings > 0) {
        for (int item = 0; item < kProfileRingItems; ++item)
            fillItem(m_pGroupRingItems[item], nullptr, item, app->ring.items[item]);
    }
    const int selected = qBound(0, int(app->ring.id), 3);
    // Each ring opens with its own stored function.
    if (QAbstractButton *b = ringRadio(RingRadioId(0, selected, groupKeys)))
        b->setChecked(true);
    if (!groupKeys && rings == 2) {
        if (QAbstractButton *b = ringRadio(RingRadioId(1, qBound(0, int(app->ring2.id), 3), false)))
            b->setChecked(true);
    }
    m_pTouchGroup->setVisible(profile.DeviceTrackPad != 0);
    if (app->TRMode != 0)
        m_pTouchRadio->setChecked(true);
    else
        m_pWheelRadio->setChecked(true);
    m_bUpdating = false;
}

// --- pen page -------------------------------------------------------------------------

void MainWindow::checkBoxMousemodeClicked(bool checked)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (!tablet || !app)
        return;
    {
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        PenConfig &pen = app->pens[m_nCurrentPen];
        pen.RelativeCoords = checked ? 1 : 0;
        if (checked)
            pen.TablePC = 0; // mouse mode and ink exclude each other
    }
    m_pWindowsInk->setChecked(app->pens[m_nCurrentPen].TablePC != 0);
    m_pSpeed->setEnabled(checked);
    m_pSpeedLabels[0]->setEnabled(checked);
    m_pSpeedLabels[1]->setEnabled(checked);
    postUsage(QStringLiteral("checkBoxMousemodeClicked"));
}

void MainWindow::checkBoxWindowsInkClicked(bool checked)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (!tablet || !app)
        return;
    {
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        PenConfig &pen = app->pens[m_nCurrentPen];
        pen.TablePC = checked ? 1 : 0;
        if (checked)
            pen.RelativeCoords = 0;
    }
    const bool mouse = app->pens[m_nCurrentPen].RelativeCoords != 0;
    m_pMouseMode->setChecked(mouse);
    m_pSpeed->setEnabled(mouse);
    m_pSpeedLabels[0]->setEnabled(mouse);
    m_pSpeedLabels[1]->setEnabled(mouse);
    postUsage(QStringLiteral("checkBoxWindowsInkClicked"));
}

void MainWindow::SliderMspeedValueChanged(int value)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (m_bUpdating || !tablet || !app)
        return;
    {
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        app->pens[m_nCurrentPen].Speed = int16_t(value);
    }
    postUsage(QStringLiteral("SliderMspeedValueChanged"));
}

void MainWindow::comboBoxPbtn0Activated(int index) { penButtonActivated(0, index); }
void MainWindow::comboBoxPbtn1Activated(int index) { penButtonActivated(1, index); }
void MainWindow::comboBoxPbtn2Activated(int index) { penButtonActivated(2, index); }

void MainWindow::penButtonActivated(int button, int index)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (!tablet || !app)
        return;
    QComboBox *list = m_pPenButtons[button];
    PenButtonConfig &entry = app->pens[m_nCurrentPen].buttons[button];
    const int action = list->itemData(index).toInt();
    if (action == kCustomEntry) {
        QString text = StoredText(entry.custom, sizeof entry.custom);
        const TabletXMLData &profile = *tablet->TabletXMLData;
        const QPointer<CTablet> editing(tablet);
        const bool accepted = m_CustomEditor && m_CustomEditor(this, &text, profile.DeviceRingNum, profile.DeviceTrackPad);
        if (!editTargetStillHere(editing, app, "pen button editor", accepted))
            return; // entry, list and tablet may all belong to a tablet that is gone
        if (!accepted) {
            // Cancelled (or no editor): the list shows the stored entry again.
            list->setCurrentIndex(entry.id == 1 ? list->count() - 1 : qMax(0, list->findData(int(entry.Actid))));
            return;
        }
        {
            std::lock_guard<std::mutex> lock(tablet->appsMutex);
            entry.id = 1;
            SetProfileText(entry.custom, sizeof entry.custom, text);
        }
        list->setItemText(list->count() - 1, CustomEntryText(text));
        list->setToolTip(text);
    } else {
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        entry.id = 0;
        entry.Actid = int16_t(action);
        entry.custom[0] = '\0';
        list->setItemText(list->count() - 1, CustomEntryText(QString()));
        list->setToolTip(QString());
    }
    postUsage(QStringLiteral("comboBoxPbtn%1Activated").arg(button));
}

void MainWindow::ComboBoxPenSetClicked(int index)
{
    CTablet *tablet = currentTablet();
    if (!tablet || index < 0)
        return;
    m_nCurrentPen = qBound(0, m_pPenSet->itemData(index).toInt(), kProfilePens - 1);
    updatePenPage(tablet);
    postUsage(QStringLiteral("ComboBoxPenSetClicked"));
}

void MainWindow::askRemovePen()
{
    CTablet *tablet = currentTablet();
    if (!tablet || m_pPenSet->count() <= 1)
        return;
    const int slot = m_pPenSet->currentData().toInt();
    auto *question = new QMessageBox(
        QMessageBox::Question, languageText(QStringLiteral("Pen.RemoveTitle"), QStringLiteral("Remove Pen")),
        languageText(QStringLiteral("Pen.RemoveQuestion"),
                     QStringLiteral("Remove %1 from the list? Its settings are kept and it comes back when it is next "
                                    "used on the tablet. OK saves the change and Cancel undoes it."))
            .arg(m_pPenSet->currentText()),
        QMessageBox::Yes | QMessageBox::No, this);
    question->setObjectName(QStringLiteral("penRemoveQuestion"));
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setDefaultButton(QMessageBox::No);
    question->button(QMessageBox::Yes)->setText(languageText(QStringLiteral("Common.delete"), QStringLiteral("Delete")));
    question->button(QMessageBox::No)->setText(languageText(QStringLiteral("Common.cancel"), QStringLiteral("Cancel")));
    // No nested event loop: the answer comes back here, and by then the tablet may be gone
    // or another one shown.
    QPointer<CTablet> asked(tablet);
    const QString shown = m_strShownTablet;
    connect(question, &QMessageBox::finished, this, [this, asked, shown, slot](int answer) {
        if (answer != QMessageBox::Yes)
            return;
        if (!asked || asked != currentTablet() || shown != m_strShownTablet) {
            qInfo() << "Pen removal dropped: its tablet is no longer shown";
            return;
        }
        {
            std::lock_guard<std::mutex> lock(asked->appsMutex);
            if (!RemoveListedPen(*asked->TabletXMLData, slot))
                return;
            // Announce the pen again when it is next used (see the pen tracking).
            asked->lastPenMask = -1;
        }
        qInfo() << "Pen removed from the menu:" << slot;
        updatePenPage(asked);
        postUsage(QStringLiteral("ComboBoxPenSetRemove"));
    });
    question->open();
}

void MainWindow::on_horizontalSlider_pressLv_valueChanged(int level)
{
    if (m_bUpdating)
        return;
    // The editor takes the level's points and reports them back through
    // on_PressSensitivityChange, which stores them.
    m_pPressCurve->SetLevel(level);
    on_PressSensitivityChange(m_pPressCurve->Points());
    postUsage(QStringLiteral("on_horizontalSlider_pressLv_valueChanged"));
}

void MainWindow::on_PressSensitivityChange(SPresslvPoints points)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (m_bUpdating || !tablet || !app)
        return;
    {
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        app->pens[m_nCurrentPen].Press = points;
    }
    const QSignalBlocker block(m_pPressLevel);
    m_pPressLevel->setValue(PressLevelFromPoints(points));
    postUsage(QStringLiteral("on_PressSensitivityChange"));
}

// The four switches belong to the device profile; the reading thread tests them per packet.
void MainWindow::onCheckBoxDisablePress(bool checked)
{
    setSwitch(&TabletXMLData::DisablePressure, checked);
    postUsage(QStringLiteral("onCheckBoxDisablePress"));
}

void MainWindow::onCheckBoxDisableSlope(bool checked)
{
    setSwitch(&TabletXMLData::DisableSlope, checked);
    postUsage(QStringLiteral("onCheckBoxDisableSlope"));
}

void MainWindow::onCheckBoxDisableHotkey(bool checked)
{
    setSwitch(&TabletXMLData::DisableQuickKey, checked);
    postUsage(QStringLiteral("onCheckBoxDisableHotkey"));
}

void MainWindow::onCheckBoxDisableTipMsg(bool checked)
{
    setSwitch(&TabletXMLData::DisableInfo, checked);
    postUsage(QStringLiteral("onCheckBoxDisableTipMsg"));
}

void MainWindow::HSliderTabletLightChanged(int value)
{
    CTablet *tablet = currentTablet();
    if (!tablet)
        return;
    tablet->SentCmd(CmdSetLight, 2, LightLevelOfSlider(value)); // light 2: the tablet light
    postUsage(QStringLiteral("HSliderTabletLightChanged"));
}

// --- keys and rings -------------------------------------------------------------------

void MainWindow::HotkeyPushButtonClicked(int key)
{
    // The key's action editor is its list: open it.
    if (key >= 0 && key < m_KeyLists.size())
        m_KeyLists[key]->showPopup();
    postUsage(QStringLiteral("HotkeyPushButtonClicked"));
}

void MainWindow::keyListActivated(int group, int key, int index)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (!tablet || !app || m_bUpdating)
        return;
    QComboBox *list = group < 0 ? m_KeyLists[key] : m_GroupKeyLists[group][key];
    KeyConfig &entry = group < 0 ? app->keys[key] : app->groups[group].keys[key];
    const int action = list->itemData(index).toInt();
    if (action == kCustomEntry) {
        QString text = StoredText(entry.custom, sizeof entry.custom);
        const TabletXMLData &profile = *tablet->TabletXMLData;
        const QPointer<CTablet> editing(tablet);
        const bool accepted = m_CustomEditor && m_CustomEditor(this, &text, profile.DeviceRingNum, profile.DeviceTrackPad);
        if (!editTargetStillHere(editing, app, "express key editor", accepted))
            return;
        if (!accepted) {
            list->setCurrentIndex(entry.id == 1 ? list->count() - 1 : qMax(0, list->findData(int(entry.Actid))));
            return;
        }
        {
            std::lock_guard<std::mutex> lock(tablet->appsMutex);
            entry.id = 1;
            SetProfileText(entry.custom, sizeof entry.custom, text);
        }
        list->setItemText(list->count() - 1, CustomEntryText(text));
        list->setToolTip(text);
    } else {
        list->setItemText(list->count() - 1, CustomEntryText(QString()));
        list->setToolTip(QString());
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        entry.id = 0;
        entry.Actid = int16_t(action);
        // A predefined entry keeps its display text as the custom text.
        SetProfileText(entry.custom, sizeof entry.custom, list->itemText(index));
    }
    postUsage(QStringLiteral("ComboBoxKeyActivated"));
}

void MainWindow::RingRadioClicked(int id)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (!tablet || !app || m_bUpdating)
        return;
    int ring = 0;
    int function = 0;
    if (!RingRadioTarget(id, tablet->TabletXMLData->SupportGroupKeys != 0, &ring, &function))
        return;
    {
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        (ring == 0 ? app->ring : app->ring2).id = int16_t(function);
    }
    postUsage(QStringLiteral("RingRadioClicked"));
}

void MainWindow::WheelComboBoxActivated(int ring, int item, int index)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (!tablet || !app || m_bUpdating)
        return;
    RingItemConfig &entry = (ring == 0 ? app->ring : app->ring2).items[item];
    const bool groupKeys = tablet->TabletXMLData->SupportGroupKeys != 0;
    QComboBox *list = groupKeys ? m_pGroupRingItems[item] : m_pRingItems[ring][item];
    if (index == kRingItemCustom) {
        QString text = StoredText(entry.custom, sizeof entry.custom);
        const TabletXMLData &profile = *tablet->TabletXMLData;
        const QPointer<CTablet> editing(tablet);
        const bool accepted = m_RingEditor && m_RingEditor(this, &text, profile.DeviceRingNum, profile.DeviceTrackPad);
        if (!editTargetStillHere(editing, app, "ring editor", accepted))
            return;
        if (!accepted) {
            list->setCurrentIndex(qBound(0, int(entry.id), kRingItemCustom));
            return;
        }
        // The ring editor's text has six fields; form 4 names itself in the second.
        const QStringList fields = text.split(QLatin1Char('|'));
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        entry.id = kRingItemCustom;
        SetProfileText(entry.custom, sizeof entry.custom, text);
        if (!groupKeys)
            m_pRingItemLabels[ring][item]->setText(fields.value(0) == QLatin1String("4") ? fields.value(1) : QString());
    } else {
        std::lock_guard<std::mutex> lock(tablet->appsMutex);
        entry.id = int16_t(index);
        if (!groupKeys)
            m_pRingItemLabels[ring][item]->clear();
    }
    postUsage(QStringLiteral("WheelComboBoxActivated"));
}

void MainWindow::TouchWheelClicked(bool touch)
{
    m_core.setTouchMode(touch);
}

bool MainWindow::addApplicationPath(const QString &path)
{
    CTablet *tablet = currentTablet();
    if (!tablet)
        return false;
    const AppEditResult result = tablet->AddApplication(path);
    if (result != AppEditResult::Done) {
        qWarning().noquote() << "OnAddApplication: not added" << path << int(result);
        return false;
    }
    m_strCurrentApp = path;
    UpdateUIByAppChange();
    postUsage(QStringLiteral("OnAddApplication"));
    return true;
}

void MainWindow::OnAddApplication()
{
    const QPointer<CTablet> editing(currentTablet());
    const AppConfigNode *app = currentApp();
    const QString path = QFileDialog::getOpenFileName(this, languageText(QStringLiteral("HotKeySetting.selectexe"), QStringLiteral("Select EXE")),
                                                      QDir::rootPath());
    // The application belongs to the tablet the dialog was opened for, not to the one
    // shown after that tablet left.
    if (!path.isEmpty() && editTargetStillHere(editing, app, "application chooser", true))
        addApplicationPath(QDir::toNativeSeparators(path));
}

void MainWindow::OnDeleteApplication()
{
    CTablet *tablet = currentTablet();
    if (!tablet || m_strCurrentApp.isEmpty())
        return;
    const AppEditResult result = tablet->DeleteApplication(m_strCurrentApp);
    if (result != AppEditResult::Done)
        qWarning().noquote() << "OnDeleteApplication: not deleted" << m_strCurrentApp << int(result);
    m_strCurrentApp.clear();
    UpdateUIByAppChange();
    postUsage(QStringLiteral("OnDeleteApplication"));
}

void MainWindow::ConfirmButtonClicked()
{
    std::vector<CTablet *> tablets;
    if (m_core.discovery()) {
        for (CTablet *tablet : m_core.discovery()->deviceList()) {
            if (tablet->ProfileEdited())
                tablets.push_back(tablet);
        }
    }
    if (!tablets.empty() && !SaveAllProfiles(tablets))
        qWarning() << "ConfirmButtonClicked: the profiles were not saved";
    postUsage(QStringLiteral("ConfirmButtonClicked"));
}

void MainWindow::CancelButtonClicked()
{
    if (m_core.discovery()) {
        for (CTablet *tablet : m_core.discovery()->deviceList()) {
            if (tablet->ProfileEdited())
                tablet->LoadProfile(tablet->profileKey);
        }
    }
    UpdateUIByAppChange();
    postUsage(QStringLiteral("CancelButtonClicked"));
}

void MainWindow::CloseBtnClicked()
{
    postUsage(QStringLiteral("CloseBtnClicked"));
    close(); // hides into the tray (closeEvent)
}

// --- pictures of the pages ------------------------------------------------------------------

QStringList MainWindow::saveScreenshots(const QString &folder)
{
    QStringList written;
    QDir().mkpath(folder);
    const auto save = [&](const QString &name) {
        QApplication::processEvents();
        const QString file = QDir(folder).filePath(name + QStringLiteral(".png"));
        if (grab().save(file))
            written << file;
        else
            qWarning().noquote() << "Screenshot not saved:" << file;
    };
    if (m_pDeviceSelector->count() == 0) {
        save(QStringLiteral("no-device"));
        return written;
    }
    const char *pageNames[5] = {"workarea", "pen", "keys", "ring", "keygroups"};
    for (int i = 0; i < m_pDeviceSelector->count(); ++i) {
        m_pDeviceSelector->setCurrentIndex(i);
        m_strShownTablet = m_pDeviceSelector->itemText(i);
        onSelectTabletDevice(m_strShownTablet);
        CTablet *tablet = currentTablet();
        const QString model = tablet ? QString::fromLatin1(tablet->m_DeviceAttributes.ModelKey) : QString::number(i);
        for (SettingsPage page : m_ListedPages) {
            selectPage(page);
            save(model + QLatin1Char('-') + QLatin1String(pageNames[shownPage()]));
        }
    }
    return written;
}
