#include "app/settingform.h"

#include "app/language.h"

#include <QCheckBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

SettingForm::SettingForm(const QSettings *language, QWidget *parent) : QWidget(parent), m_pLanguage(language)
{
    setObjectName(QStringLiteral("SettingForm"));
    auto *layout = new QVBoxLayout(this);

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
    m_pSlope = check("checkBox_slope", text(QStringLiteral("Pen.DisableTilt"), QStringLiteral("Slope")));
    for (QCheckBox *c : {m_pHotkey, m_pTips, m_pPressure, m_pSlope})
        layout->addWidget(c);

    auto *tips = new QLabel(text(QStringLiteral("Setting.Tips1"),
                                 QStringLiteral("Diagnosis collects what support needs to know about your tablet.")),
                            this);
    tips->setObjectName(QStringLiteral("label_tips"));
    tips->setWordWrap(true);
    layout->addWidget(tips);

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

QString SettingForm::text(const QString &key, const QString &builtIn) const
{
    return m_pLanguage ? Language::text(*m_pLanguage, key, builtIn) : builtIn;
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
    emit InputSettings();
}

void SettingForm::onBtnOutputClicked()
{
    qInfo() << "onBtnOutputClicked";
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
    emit OpenDiagnosis();
}

void SettingForm::onDriverDownClick()
{
    qInfo() << "onDriverDownClick";
    emit DriverDownload();
}
