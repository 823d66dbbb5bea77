#include "monitor/displaysetting.h"

#include "base/languagetexts.h"
#include "monitor/monitorcontrol.h"

#include <QButtonGroup>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace {
// A press this far from the top of the dialog moves it (the dialog has no frame).
constexpr int kDragBandHeight = 80;
// Gains the dialog shows, and writes for the user preset, when the monitor's own are not
// in use.
constexpr int kNeutralGain = 50;
} // namespace

DisplaySetting::DisplaySetting(MonitorControl &monitor, const LanguageTexts *language, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_Monitor(monitor), m_pLanguage(language)
{
    setObjectName(QStringLiteral("DisplaySetting"));
    const QString title = text(QStringLiteral("DisplaySetting.Caption"), QStringLiteral("Display Settings"));
    setWindowTitle(title);

    auto *layout = new QVBoxLayout(this);
    auto *caption = new QLabel(title, this);
    caption->setObjectName(QStringLiteral("label_caption"));
    caption->setMinimumHeight(kDragBandHeight - 20);
    caption->setAlignment(Qt::AlignCenter);
    layout->addWidget(caption);

    auto *colorBox = new QGroupBox(
        text(QStringLiteral("DisplaySetting.ColorTemperature"), QStringLiteral("Color temperature regulation")), this);
    colorBox->setObjectName(QStringLiteral("groupBox_color"));
    auto *colorLayout = new QHBoxLayout(colorBox);
    m_pColorGroup = new QButtonGroup(this);
    const char *presetNames[] = {"5000K", "6500K", "7500K", "9300K", "USER"};
    for (int id = 0; id < 5; ++id) {
        auto *radio = new QRadioButton(QString::fromLatin1(presetNames[id]), colorBox);
        radio->setObjectName(QStringLiteral("radioButton_") + QString::fromLatin1(presetNames[id]));
        m_pColorGroup->addButton(radio, id);
        colorLayout->addWidget(radio);
    }
    layout->addWidget(colorBox);

    m_pGainGroup = new QGroupBox(this);
    m_pGainGroup->setObjectName(QStringLiteral("groupBox_gain"));
    auto *gainLayout = new QGridLayout(m_pGainGroup);
    const QString gainKeys[] = {QStringLiteral("Red"), QStringLiteral("Green"), QStringLiteral("Blue")};
    QSlider **gainSliders[] = {&m_pRed, &m_pGreen, &m_pBlue};
    QLabel **gainLabels[] = {&m_pRedValue, &m_pGreenValue, &m_pBlueValue};
    for (int i = 0; i < 3; ++i) {
        auto *name = new QLabel(text(QStringLiteral("DisplaySetting.") + gainKeys[i], gainKeys[i]), m_pGainGroup);
        auto *slider = new QSlider(Qt::Horizontal, m_pGainGroup);
        slider->setObjectName(QStringLiteral("slider_") + gainKeys[i].toLower());
        slider->setRange(0, 255);
        slider->setValue(255);
        auto *value = new QLabel(QStringLiteral("255"), m_pGainGroup);
        value->setObjectName(QStringLiteral("label_") + gainKeys[i].toLower());
        value->setMinimumWidth(30);
        gainLayout->addWidget(name, i, 0);
        gainLayout->addWidget(slider, i, 1);
        gainLayout->addWidget(value, i, 2);
        *gainSliders[i] = slider;
        *gainLabels[i] = value;
    }
    layout->addWidget(m_pGainGroup);

    auto *lightBox = new QWidget(this);
    auto *lightLayout = new QGridLayout(lightBox);
    lightLayout->setContentsMargins(0, 0, 0, 0);
    const QString lightKeys[] = {QStringLiteral("Brightness"), QStringLiteral("Constrast")};
    const QString lightTexts[] = {QStringLiteral("brightness"), QStringLiteral("contrast")};
    QSlider **lightSliders[] = {&m_pBrightness, &m_pContrast};
    QLabel **lightLabels[] = {&m_pBrightnessValue, &m_pContrastValue};
    for (int i = 0; i < 2; ++i) {
        auto *name = new QLabel(text(QStringLiteral("DisplaySetting.") + lightKeys[i], lightTexts[i]), lightBox);
        auto *slider = new QSlider(Qt::Horizontal, lightBox);
        slider->setObjectName(QStringLiteral("slider_") + lightTexts[i]);
        slider->setRange(0, 100);
        slider->setValue(100);
        auto *value = new QLabel(QStringLiteral("100"), lightBox);
        value->setObjectName(QStringLiteral("label_") + lightTexts[i]);
        value->setMinimumWidth(30);
        lightLayout->addWidget(name, i, 0);
        lightLayout->addWidget(slider, i, 1);
        lightLayout->addWidget(value, i, 2);
        *lightSliders[i] = slider;
        *lightLabels[i] = value;
    }
    layout->addWidget(lightBox);

    auto *buttons = new QHBoxLayout();
    m_pRestore = new QPushButton(text(QStringLiteral("DisplaySetting.Restore"), QStringLiteral("恢复出厂设置")), this);
    m_pRestore->setObjectName(QStringLiteral("pushButton_restore"));
    auto *ok = new QPushButton(text(QStringLiteral("Common.ok"), QStringLiteral("OK")), this);
    ok->setObjectName(QStringLiteral("pushButton_ok"));
    buttons->addWidget(m_pRestore);
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);

    connect(m_pColorGroup, &QButtonGroup::idClicked, this,
            &DisplaySetting::onColorRadioClicked);
    connect(m_pRed, &QSlider::valueChanged, this, &DisplaySetting::onRedChanged);
    connect(m_pGreen, &QSlider::valueChanged, this, &DisplaySetting::onGreenChanged);
    connect(m_pBlue, &QSlider::valueChanged, this, &DisplaySetting::onBlueChanged);
    connect(m_pBrightness, &QSlider::valueChanged, this, &DisplaySetting::onBrightnessChanged);
    connect(m_pContrast, &QSlider::valueChanged, this, &DisplaySetting::onContrastChanged);
    connect(m_pRestore, &QPushButton::clicked, this, &DisplaySetting::onRestoreClicked);
    connect(ok, &QPushButton::clicked, this, &DisplaySetting::close);
}

QString DisplaySetting::text(const QString &key, const QString &builtIn) const
{
    return m_pLanguage ? m_pLanguage->text(key, builtIn) : builtIn;
}

void DisplaySetting::showValue(QSlider *slider, QLabel *label, int value)
{
    const QSignalBlocker blocker(slider);
    slider->setValue(value);
    label->setText(QString::number(value));
}

void DisplaySetting::showGains(int red, int green, int blue)
{
    showValue(m_pRed, m_pRedValue, red);
    showValue(m_pGreen, m_pGreenValue, green);
    showValue(m_pBlue, m_pBlueValue, blue);
}

bool DisplaySetting::OpenForScreen(const QRect &rect)
{
    m_rtScreen = rect;
    adjustSize();
    move(rect.center() - QPoint(width() / 2, height() / 2));

    MonitorSettings settings;
    m_bSupported = m_Monitor.ReadAll(rect, &settings);
    qInfo() << "DisplaySetting ReadAll" << m_bSupported << "preset" << settings.presetId << "brightness"
            << settings.brightness << "contrast" << settings.contrast << "gains" << settings.red << settings.green
            << settings.blue;
    if (!m_bSupported)
        return false;

    if (QAbstractButton *radio = m_pColorGroup->button(settings.presetId))
        radio->setChecked(true);
    if (settings.presetId == PresetUser) {
        m_pGainGroup->setEnabled(true);
        // A gain the monitor did not report keeps what the slider shows.
        showGains(settings.red >= 0 ? settings.red : m_pRed->value(),
                  settings.green >= 0 ? settings.green : m_pGreen->value(),
                  settings.blue >= 0 ? settings.blue : m_pBlue->value());
    } else {
        m_pGainGroup->setEnabled(false);
        showGains(kNeutralGain, kNeutralGain, kNeutralGain);
    }
    if (settings.brightness >= 0)
        showValue(m_pBrightness, m_pBrightnessValue, settings.brightness);
    if (settings.contrast >= 0)
        showValue(m_pContrast, m_pContrastValue, settings.contrast);
    return true;
}

void DisplaySetting::onColorRadioClicked(int id)
{
    qInfo() << "onColorRadioClicked" << id;
    m_Monitor.SetPreset(id);
    if (id != PresetUser) {
        m_pGainGroup->setEnabled(false);
        return;
    }
    m_pGainGroup->setEnabled(true);
    showGains(kNeutralGain, kNeutralGain, kNeutralGain);
    m_Monitor.SetGains(kNeutralGain, kNeutralGain, kNeutralGain);
}

void DisplaySetting::onRedChanged(int value)
{
    m_pRedValue->setText(QString::number(value));
    m_Monitor.SetGains(value, -1, -1);
}

void DisplaySetting::onGreenChanged(int value)
{
    m_pGreenValue->setText(QString::number(value));
    m_Monitor.SetGains(-1, value, -1);
}

void DisplaySetting::onBlueChanged(int value)
{
    m_pBlueValue->setText(QString::number(value));
    m_Monitor.SetGains(-1, -1, value);
}

void DisplaySetting::onBrightnessChanged(int value)
{
    m_pBrightnessValue->setText(QString::number(value));
    m_Monitor.SetBrightnessContrast(value, -1);
}

void DisplaySetting::onContrastChanged(int value)
{
    m_pContrastValue->setText(QString::number(value));
    m_Monitor.SetBrightnessContrast(-1, value);
}

void DisplaySetting::onRestoreClicked()
{
    qInfo() << "DisplaySetting onRestoreClicked";
    m_Monitor.RestoreFactoryDefaults();
    // The monitor resets itself; the controls only show the factory state.
    m_pColorGroup->button(Preset6500K)->setChecked(true);
    m_pGainGroup->setEnabled(false);
    showGains(kNeutralGain, kNeutralGain, kNeutralGain);
    showValue(m_pBrightness, m_pBrightnessValue, restoreBrightness);
    showValue(m_pContrast, m_pContrastValue, 50);
}

void DisplaySetting::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && event->pos().y() < kDragBandHeight) {
        m_bDragging = true;
        m_DragPosition = event->globalPos() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void DisplaySetting::mouseMoveEvent(QMouseEvent *event)
{
    if (m_bDragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - m_DragPosition);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void DisplaySetting::mouseReleaseEvent(QMouseEvent *event)
{
    m_bDragging = false;
    QDialog::mouseReleaseEvent(event);
}
