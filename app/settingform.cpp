#include "app/settingform.h"

#include "base/languagetexts.h"

#include <QCheckBox>
#include <QDebug>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

SettingForm::SettingForm(const LanguageTexts *language, QWidget *parent)
    : QWidget(parent, Qt::Popup), m_pLanguage(language)
{
    setObjectName(QStringLiteral("SettingForm"));
    setAttribute(Qt::WA_StyledBackground);
    // The title bar runs from edge to edge (inside the 1-pixel border); the rest has the
    // usual margins.
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);
    auto *layout = new QVBoxLayout;
    layout->setContentsMargins(9, 9, 9, 9);

    // The panel's own title bar, styled as the main window's.
    auto *titleBar = new QWidget(this);
    titleBar->setObjectName(QStringLiteral("titleBar"));
    titleBar->setAttribute(Qt::WA_StyledBackground);
    auto *titleLayout = new QHBoxLayout(titleBar);
    titleLayout->setContentsMargins(4, 0, 0, 0);
    auto *title = new QLabel(text(QStringLiteral("Setting.Tips1"), QStringLiteral("Settings")), titleBar);
    title->setObjectName(QStringLiteral("titleLabel"));
    auto *close = new QPushButton(QStringLiteral("\u00d7"), titleBar);
    close->setObjectName(QStringLiteral("pushButton_close"));
    close->setToolTip(text(QStringLiteral("Common.close"), QStringLiteral("Close")));
    titleLayout->addWidget(title, 1);
    titleLayout->addWidget(close);
    outer->addWidget(titleBar);
    outer->addLayout(layout);
    setWindowTitle(title->text());
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    auto check = [this](const char *name, const QString &caption) {
        auto *c = new QCheckBox(caption, this);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };

    auto *files = new QHBoxLayout();
    QPushButton *input = button("pushButton_input", text(QStringLiteral("Setting.item1"), QStringLiteral("Import settings")));
    QPushButton *output = button("pushButton_output", text(QStringLiteral("Setting.item2"), QStringLiteral("Export settings")));
    files->addWidget(input);
    files->addWidget(output);
    layout->addLayout(files);

    m_pHotkey = check("checkBox_hotkey", text(QStringLiteral("Setting.item3"), QStringLiteral("Disable Keyboard Shortcuts")));
    m_pTips = check("checkBox_tips", text(QStringLiteral("Setting.item4"), QStringLiteral("Close Tips")));
    m_pPressure = check("checkBox_pressure", text(QStringLiteral("Setting.item5"), QStringLiteral("Disable Pressure")));
    m_pSlope = check("checkBox_slope", text(QStringLiteral("Pen.DisableTilt"), QStringLiteral("Disable Tilt")));
    for (QCheckBox *c : {m_pHotkey, m_pTips, m_pPressure, m_pSlope})
        layout->addWidget(c);

    auto *tools = new QHBoxLayout();
    QPushButton *diagnosis = button("pushButton_diagnosis", text(QStringLiteral("Setting.item6"), QStringLiteral("Diagnosis")));
    QPushButton *download = button("pushButton_driverdown", text(QStringLiteral("Setting.item9"), QStringLiteral("Driver download")));
    tools->addWidget(diagnosis);
    tools->addWidget(download);
    layout->addLayout(tools);
    layout->addStretch();

    connect(input, &QPushButton::clicked, this, &SettingForm::onBtnInputClicked);
    connect(output, &QPushButton::clicked, this, &SettingForm::onBtnOutputClicked);
    connect(m_pHotkey, &QCheckBox::toggled, this, &SettingForm::onHotkeyChecked);
    connect(m_pTips, &QCheckBox::toggled, this, &SettingForm::onTipMessageChecked);
    connect(m_pPressure, &QCheckBox::toggled, this, &SettingForm::onDisablePressureClick);
    connect(m_pSlope, &QCheckBox::toggled, this, &SettingForm::onDisableSlopeClick);
    connect(diagnosis, &QPushButton::clicked, this, &SettingForm::onDiagnosisBtnClick);
    connect(download, &QPushButton::clicked, this, &SettingForm::onDriverDownClick);
}

QPoint SettingForm::PopupPosition(const QRect &anchor, const QSize &size, const QRect &available)
{
    int x = anchor.right() + 1 - size.width();
    int y = anchor.bottom() + 1;
    if (y + size.height() > available.bottom() + 1 && anchor.top() - size.height() >= available.top())
        y = anchor.top() - size.height();
    x = qBound(available.left(), x, qMax(available.left(), available.right() + 1 - size.width()));
    y = qBound(available.top(), y, qMax(available.top(), available.bottom() + 1 - size.height()));
    return QPoint(x, y);
}

void SettingForm::PopupAt(const QRect &anchor)
{
    adjustSize();
    const QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(anchor.topLeft(), size());
    move(PopupPosition(anchor, size(), available));
    show();
    raise();
    activateWindow();
}

QString SettingForm::text(const QString &key, const QString &builtIn) const
{
    return m_pLanguage ? m_pLanguage->text(key, builtIn) : builtIn;
}

void SettingForm::SetStates(const SettingFormStates &states)
{
    const QSignalBlocker b1(m_pHotkey), b2(m_pTips), b3(m_pPressure), b4(m_pSlope);
    m_pHotkey->setChecked(states.hotkeyOff);
    m_pTips->setChecked(states.tipsOff);
    m_pPressure->setChecked(states.pressureOff);
    m_pSlope->setChecked(states.tiltOff);
}

SettingFormStates SettingForm::States() const
{
    SettingFormStates states;
    states.hotkeyOff = m_pHotkey->isChecked();
    states.tipsOff = m_pTips->isChecked();
    states.pressureOff = m_pPressure->isChecked();
    states.tiltOff = m_pSlope->isChecked();
    return states;
}

void SettingForm::onBtnInputClicked()
{
    qInfo() << "onBtnInputClicked";
    close(); // the window it opens takes over
    emit InputSettings();
}

void SettingForm::onBtnOutputClicked()
{
    qInfo() << "onBtnOutputClicked";
    close(); // the window it opens takes over
    emit OutputSettings();
}

void SettingForm::onHotkeyChecked(bool checked)
{
    qInfo() << "onHotkeyChecked" << checked;
    emit HotkeyChecked(checked);
}

void SettingForm::onTipMessageChecked(bool checked)
{
    qInfo() << "onTipMessageChecked" << checked;
    emit TipMessageChecked(checked);
}

void SettingForm::onDisablePressureClick(bool checked)
{
    qInfo() << "onDisablePressureClick" << checked;
    emit DisablePressure(checked);
}

void SettingForm::onDisableSlopeClick(bool checked)
{
    qInfo() << "onDisableSlopeClick" << checked;
    emit DisableSlope(checked);
}

void SettingForm::onDiagnosisBtnClick()
{
    qInfo() << "onDiagnosisBtnClick";
    close(); // the window it opens takes over
    emit OpenDiagnosis();
}

void SettingForm::onDriverDownClick()
{
    qInfo() << "onDriverDownClick";
    close(); // the window it opens takes over
    emit DriverDownload();
}
