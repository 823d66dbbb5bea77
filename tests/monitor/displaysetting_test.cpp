// The display settings dialog on a fake pen display: what it shows on opening and what
// each control writes.
#include "base/languagetexts.h"
#include "monitor/displaysetting.h"
#include "monitor/monitorcontrol.h"
#include "monitor/monitorids.h"
#include "platform/ddc/fakeddcbackend.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>

namespace {

const QRect kPenScreen(1920, 0, 1920, 1080);

class DisplaySettingTest : public ::testing::Test {
protected:
    explicit DisplaySettingTest(int preset = 0x08)
    {
        FakeMonitor m;
        m.edid = MonitorIds::SimulatedPenDisplayEdid();
        m.values[Vcp::ColorPreset] = preset;
        m.values[Vcp::Brightness] = 80;
        m.values[Vcp::Contrast] = 40;
        m.values[Vcp::RedGain] = 120;
        m.values[Vcp::GreenGain] = 130;
        m.values[Vcp::BlueGain] = 140;
        ddc = std::make_unique<FakeDdcBackend>(QVector<FakeMonitor>{m});
        control = std::make_unique<MonitorControl>(*ddc, [] {
            return QVector<MonitorOutput>{{QStringLiteral("DP-1"), QRect(0, 0, 1920, 1080), {}},
                                          {QStringLiteral("DP-2"), kPenScreen, MonitorIds::SimulatedPenDisplayEdid()}};
        });
        dialog = std::make_unique<DisplaySetting>(*control, nullptr);
    }

    template <class T> T *child(const char *name) { return dialog->findChild<T *>(QString::fromLatin1(name)); }
    QString label(const char *name) { return child<QLabel>(name)->text(); }
    bool checked(const char *name) { return child<QAbstractButton>(name)->isChecked(); }
    bool gainsEnabled() { return child<QGroupBox>("groupBox_gain")->isEnabled(); }

    std::unique_ptr<FakeDdcBackend> ddc;
    std::unique_ptr<MonitorControl> control;
    std::unique_ptr<DisplaySetting> dialog;
};

class UserPresetDisplay : public DisplaySettingTest {
protected:
    UserPresetDisplay() : DisplaySettingTest(0x0B) {}
};

class UnnamedTemperatureDisplay : public DisplaySettingTest {
protected:
    UnnamedTemperatureDisplay() : DisplaySettingTest(0x07) {} // 8200 K has no radio
};

} // namespace

TEST_F(DisplaySettingTest, NinetyThreeHundredKelvinOpensWithNeutralDisabledGains)
{
    ASSERT_TRUE(dialog->OpenForScreen(kPenScreen));
    EXPECT_TRUE(checked("radioButton_9300K"));
    EXPECT_FALSE(gainsEnabled());
    EXPECT_EQ(child<QSlider>("slider_red")->value(), 50);
    EXPECT_EQ(label("label_red"), QStringLiteral("50"));
    EXPECT_EQ(label("label_green"), QStringLiteral("50"));
    EXPECT_EQ(label("label_blue"), QStringLiteral("50"));
    EXPECT_EQ(child<QSlider>("slider_brightness")->value(), 80);
    EXPECT_EQ(label("label_contrast"), QStringLiteral("40"));
    EXPECT_TRUE(ddc->writes().isEmpty()) << "showing the monitor's values writes nothing back";
    // Centred on the pen display's screen.
    EXPECT_EQ(dialog->geometry().center().x() / 10, kPenScreen.center().x() / 10);
}

TEST_F(UserPresetDisplay, UserPresetOpensWithTheMonitorsGains)
{
    ASSERT_TRUE(dialog->OpenForScreen(kPenScreen));
    EXPECT_TRUE(checked("radioButton_USER"));
    EXPECT_TRUE(gainsEnabled());
    EXPECT_EQ(label("label_red"), QStringLiteral("120"));
    EXPECT_EQ(child<QSlider>("slider_blue")->value(), 140);
    EXPECT_TRUE(ddc->writes().isEmpty());
}

TEST_F(UnnamedTemperatureDisplay, TemperatureWithoutRadioChecksNone)
{
    ASSERT_TRUE(dialog->OpenForScreen(kPenScreen));
    for (const char *name : {"radioButton_5000K", "radioButton_6500K", "radioButton_7500K", "radioButton_9300K",
                             "radioButton_USER"})
        EXPECT_FALSE(checked(name)) << name;
    EXPECT_FALSE(gainsEnabled());
}

TEST_F(DisplaySettingTest, MonitorWithoutDdcKeepsTheDefaults)
{
    ddc->monitor(0).answers = false;
    EXPECT_FALSE(dialog->OpenForScreen(kPenScreen));
    EXPECT_EQ(label("label_red"), QStringLiteral("255"));
    EXPECT_EQ(label("label_brightness"), QStringLiteral("100"));
    // Nothing was found, so moving a control reaches no monitor.
    child<QSlider>("slider_brightness")->setValue(30);
    EXPECT_TRUE(ddc->writes().isEmpty());
}

TEST_F(DisplaySettingTest, ChoosingUserWritesThePresetThenNeutralGains)
{
    ASSERT_TRUE(dialog->OpenForScreen(kPenScreen));
    child<QAbstractButton>("radioButton_USER")->click();
    const QVector<FakeVcpWrite> expected = {{0, 0x14, 0x0B}, {0, 0x16, 50}, {0, 0x18, 50}, {0, 0x1A, 50}};
    EXPECT_EQ(ddc->writes(), expected);
    EXPECT_TRUE(gainsEnabled());
    EXPECT_EQ(label("label_green"), QStringLiteral("50"));

    // Another preset writes only its own value and locks the gains again.
    ddc->clearWrites();
    child<QAbstractButton>("radioButton_5000K")->click();
    EXPECT_EQ(ddc->writes(), (QVector<FakeVcpWrite>{{0, 0x14, 0x04}}));
    EXPECT_FALSE(gainsEnabled());
}

TEST_F(UserPresetDisplay, SlidersWriteTheirOwnFeatureAndZeroWritesNothing)
{
    ASSERT_TRUE(dialog->OpenForScreen(kPenScreen));
    child<QSlider>("slider_red")->setValue(0);
    EXPECT_EQ(label("label_red"), QStringLiteral("0"));
    EXPECT_TRUE(ddc->writes().isEmpty()) << "red at 0 leaves the gain as it is";

    child<QSlider>("slider_green")->setValue(200);
    child<QSlider>("slider_blue")->setValue(7);
    child<QSlider>("slider_brightness")->setValue(65);
    child<QSlider>("slider_contrast")->setValue(0);
    const QVector<FakeVcpWrite> expected = {{0, 0x18, 200}, {0, 0x1A, 7}, {0, 0x10, 65}};
    EXPECT_EQ(ddc->writes(), expected);
    EXPECT_EQ(label("label_contrast"), QStringLiteral("0"));
}

TEST_F(UserPresetDisplay, RestoreWritesOnlyTheFactoryResetAndShowsItsState)
{
    ASSERT_TRUE(dialog->OpenForScreen(kPenScreen));
    child<QAbstractButton>("pushButton_restore")->click();
    EXPECT_EQ(ddc->writes(), (QVector<FakeVcpWrite>{{0, 0x04, 16}}));
    EXPECT_TRUE(checked("radioButton_6500K"));
    EXPECT_FALSE(gainsEnabled());
    EXPECT_EQ(label("label_blue"), QStringLiteral("50"));
    EXPECT_EQ(child<QSlider>("slider_brightness")->value(), 50);
    EXPECT_EQ(label("label_contrast"), QStringLiteral("50"));
}

TEST_F(DisplaySettingTest, LanguageTextsAndBuiltInFallbacks)
{
    QTemporaryDir dir;
    QSettings language(dir.filePath(QStringLiteral("language.ini")), QSettings::IniFormat);
    language.beginGroup(QStringLiteral("German"));
    language.setValue(QStringLiteral("DisplaySetting.Red"), QStringLiteral("Rot"));
    language.setValue(QStringLiteral("DisplaySetting.Blue"), QString()); // empty: built-in text
    language.sync();
    const LanguageTexts german = LanguageTexts::load(language.fileName(), QStringLiteral("German"));
    DisplaySetting translated(*control, &german);
    QStringList texts;
    for (QLabel *l : translated.findChildren<QLabel *>())
        texts << l->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Rot")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Blue")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Display Settings")));
    EXPECT_EQ(translated.findChild<QAbstractButton *>(QStringLiteral("pushButton_restore"))->text(),
              QStringLiteral("恢复出厂设置"));
}

TEST_F(DisplaySettingTest, RendersOffscreenAndDragsOnlyFromTheTopBand)
{
    ASSERT_TRUE(dialog->OpenForScreen(kPenScreen));
    dialog->show();
    const QImage image = dialog->grab().toImage();
    ASSERT_FALSE(image.isNull());
    const QRgb first = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 3)
        for (int x = 0; x < image.width() && !varied; x += 3)
            varied = image.pixel(x, y) != first;
    EXPECT_TRUE(varied) << "the dialog drew something";

    auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent e(type, local, dialog->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &e);
    };
    const QPoint start = dialog->pos();
    send(QEvent::MouseButtonPress, QPoint(20, 79), Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(50, 99), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPoint(50, 99), Qt::NoButton);
    EXPECT_EQ(dialog->pos(), start + QPoint(30, 20));

    const QPoint moved = dialog->pos();
    send(QEvent::MouseButtonPress, QPoint(20, 80), Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(60, 120), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPoint(60, 120), Qt::NoButton);
    EXPECT_EQ(dialog->pos(), moved) << "a press below the top 80 pixels does not drag";
}
