// The settings form: each control raises its own signal once, with the check state, and
// the main window can show its switches without raising any.
#include "app/settingform.h"
#include "base/languagetexts.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QImage>
#include <QSettings>
#include <QSignalSpy>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

TEST(SettingFormTest, EachControlRaisesItsSignal)
{
    SettingForm form(nullptr);
    QSignalSpy input(&form, &SettingForm::InputSettings);
    QSignalSpy output(&form, &SettingForm::OutputSettings);
    QSignalSpy hotkey(&form, &SettingForm::HotkeyChecked);
    QSignalSpy tips(&form, &SettingForm::TipMessageChecked);
    QSignalSpy pressure(&form, &SettingForm::DisablePressure);
    QSignalSpy slope(&form, &SettingForm::DisableSlope);
    QSignalSpy diagnosis(&form, &SettingForm::OpenDiagnosis);
    QSignalSpy download(&form, &SettingForm::DriverDownload);
    auto click = [&](const char *name) { form.findChild<QAbstractButton *>(QString::fromLatin1(name))->click(); };

    click("pushButton_input");
    click("pushButton_output");
    click("pushButton_diagnosis");
    click("pushButton_driverdown");
    click("checkBox_hotkey");
    click("checkBox_tips");
    click("checkBox_pressure");
    click("checkBox_slope");
    click("checkBox_slope");
    EXPECT_EQ(input.count(), 1);
    EXPECT_EQ(output.count(), 1);
    EXPECT_EQ(diagnosis.count(), 1);
    EXPECT_EQ(download.count(), 1);
    ASSERT_EQ(hotkey.count(), 1);
    EXPECT_TRUE(hotkey[0][0].toBool());
    EXPECT_TRUE(tips[0][0].toBool());
    EXPECT_TRUE(pressure[0][0].toBool());
    ASSERT_EQ(slope.count(), 2);
    EXPECT_FALSE(slope[1][0].toBool()) << "unchecking sends the new state";

    // Showing the main window's switches raises nothing.
    SettingFormStates states;
    states.hotkeyOff = false;
    states.tipsOff = false;
    states.pressureOff = true;
    states.tiltOff = true;
    form.SetStates(states);
    EXPECT_EQ(hotkey.count(), 1);
    EXPECT_EQ(pressure.count(), 1);
    EXPECT_EQ(slope.count(), 2);
    EXPECT_FALSE(form.States().hotkeyOff);
    EXPECT_TRUE(form.States().tiltOff);
}

TEST(SettingFormTest, CaptionsAndOffscreenRendering)
{
    QTemporaryDir dir;
    QSettings language(dir.filePath(QStringLiteral("language.ini")), QSettings::IniFormat);
    language.beginGroup(QStringLiteral("French"));
    language.setValue(QStringLiteral("Setting.item1"), QStringLiteral("Importer"));
    language.setValue(QStringLiteral("Pen.DisableTilt"), QStringLiteral("Inclinaison"));
    language.sync();
    const LanguageTexts texts = LanguageTexts::load(language.fileName(), QStringLiteral("French"));
    SettingForm form(&texts);
    EXPECT_EQ(form.findChild<QAbstractButton *>(QStringLiteral("pushButton_input"))->text(), QStringLiteral("Importer"));
    EXPECT_EQ(form.findChild<QAbstractButton *>(QStringLiteral("checkBox_slope"))->text(), QStringLiteral("Inclinaison"));
    EXPECT_EQ(form.findChild<QAbstractButton *>(QStringLiteral("pushButton_output"))->text(),
              QStringLiteral("Export settings"));

    form.show();
    const QImage image = form.grab().toImage();
    ASSERT_FALSE(image.isNull());
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 2)
        for (int x = 0; x < image.width() && !varied; x += 2)
            varied = image.pixel(x, y) != image.pixel(0, 0);
    EXPECT_TRUE(varied);
}

// A pop-up panel with its own title and close button: the button, Esc and a button that
// opens another window close it; it opens beside its anchor, inside the screen.
TEST(SettingFormTest, PopupClosesAndOpensBesideItsAnchor)
{
    SettingForm form(nullptr);
    EXPECT_EQ(form.windowType(), Qt::Popup);
    EXPECT_EQ(form.findChild<QLabel *>(QStringLiteral("titleLabel"))->text(), QStringLiteral("Settings"));
    form.show();
    form.findChild<QAbstractButton *>(QStringLiteral("pushButton_close"))->click();
    EXPECT_FALSE(form.isVisible());
    form.show();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    form.show();
    form.findChild<QAbstractButton *>(QStringLiteral("pushButton_diagnosis"))->click();
    EXPECT_FALSE(form.isVisible());
    form.show();
    form.findChild<QAbstractButton *>(QStringLiteral("checkBox_tips"))->click();
    EXPECT_TRUE(form.isVisible()) << "a switch leaves it open";
    form.close();

    const QSize size(300, 260);
    // The tray at the bottom right, below the free area: above the icon, right edges together.
    EXPECT_EQ(SettingForm::PopupPosition(QRect(1880, 1050, 24, 24), size, QRect(0, 0, 1920, 1040)), QPoint(1604, 780));
    // The tray at the top: below the icon.
    EXPECT_EQ(SettingForm::PopupPosition(QRect(1880, 0, 24, 24), size, QRect(0, 24, 1920, 1056)), QPoint(1604, 24));
    // Opened from the top left corner: moved inside, never over the corner itself.
    EXPECT_EQ(SettingForm::PopupPosition(QRect(0, 0, 1, 1), size, QRect(0, 0, 1920, 1080)), QPoint(0, 1));
}
