// The main window's handling of the tablets' messages, on tablets in the tablet table
// with recorded device commands.

#include "action/actioncaption.h"
#include "action/caction.h"
#include "action/ui/batterywidget.h"
#include "action/ui/jingximode.h"
#include "action/keypreviewlayout.h"
#include "action/ui/keypreviewwindow.h"
#include "app/tabletmessages.h"
#include "device/ctablet.h"
#include "device/tablettable.h"
#include "mapping/screentable.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstring>

namespace {

class RecordingTablet : public CTablet
{
public:
    RecordingTablet(int slot, int kind) : CTablet(slot)
    {
        m_DeviceAttributes.DeviceKind = int16_t(kind);
        m_DeviceAttributes.MaxPressure = 8191;
        std::strcpy(m_DeviceAttributes.ProductName, "Sim Tablet");
        TabletTable::Set(slot, this);
    }
    ~RecordingTablet() override { TabletTable::Clear(tabletIndex); }

    void SentCmd(int type, int a, int b) override { commands << QStringLiteral("%1,%2,%3").arg(type).arg(a).arg(b); }

    QStringList commands;
};

// Two 1920 x 1080 screens side by side, in logical and physical pixels alike.
void TwoScreens()
{
    const ScreenTableData table = ScreenTable::Build({{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}});
    ScreenTable::Publish(table);
    ScreenTable::PublishLogical(table);
}

void OneScreen()
{
    const ScreenTableData table = ScreenTable::Build({{0, 0, 1920, 1080}});
    ScreenTable::Publish(table);
    ScreenTable::PublishLogical(table);
}

QList<int> SwitchScreens(TabletMessages &messages, int sender, CTablet &watched, int times)
{
    QList<int> ids;
    for (int i = 0; i < times; ++i) {
        messages.ReceivActionMsg(sender, kMsgSwitchScreen, 0);
        ids << watched.TabletXMLData->ScreenId;
    }
    return ids;
}

} // namespace

TEST(TabletMessages, SwitchScreenGoesRoundTheScreensByDeviceKind)
{
    TwoScreens();
    TabletMessages messages;
    RecordingTablet penTablet(0, 1);
    RecordingTablet penDisplay(1, 2);
    penDisplay.TabletXMLData->ScreenId = 1;

    // The pen tablet also maps onto the whole desktop; the pen display only onto screens.
    EXPECT_EQ(SwitchScreens(messages, 0, penTablet, 4), (QList<int>{1, 2, 0, 1}));
    EXPECT_EQ(SwitchScreens(messages, 1, penDisplay, 3), (QList<int>{2, 1, 2}));
    // Not the tablet shown: the area is copied from the screen table.
    EXPECT_EQ(penDisplay.TabletXMLData->SX, 1920);
    EXPECT_EQ(penDisplay.TabletXMLData->SW, 1920);
    EXPECT_EQ(penTablet.SX, 0);

    // The keypad moves every tablet; the tablet shown goes through the screen list.
    RecordingTablet keypad(2, 4);
    messages.SetCurrentTablet(&penTablet);
    QSignalSpy select(&messages, &TabletMessages::SelectScreen);
    messages.ReceivActionMsg(2, kMsgSwitchScreen, 0);
    EXPECT_EQ(penTablet.TabletXMLData->ScreenId, 2);
    EXPECT_EQ(penDisplay.TabletXMLData->ScreenId, 1);
    ASSERT_EQ(select.count(), 1);
    EXPECT_EQ(select.at(0).at(0).toInt(), 2);
    EXPECT_EQ(keypad.TabletXMLData->ScreenId, 0);
}

TEST(TabletMessages, LowBatteryIsToldOncePerEpisode)
{
    TabletMessages messages;
    messages.SetTrayAvailable(true);
    RecordingTablet tablet(0, 1);
    tablet.isBle = 1;
    messages.SetCurrentTablet(&tablet);
    QSignalSpy tray(&messages, &TabletMessages::TrayMessage);
    QSignalSpy widget(&messages, &TabletMessages::BatteryChanged);
    const auto report = [&](int level, int charging) {
        tablet.batteryLevel = level;
        messages.ReceivActionMsg(0, kMsgBattery, charging);
    };

    report(20, 0);
    report(19, 0);
    ASSERT_EQ(tray.count(), 1);
    EXPECT_EQ(tray.at(0).at(1).toString(), QStringLiteral("Low Battery:20%"));
    EXPECT_EQ(tray.at(0).at(2).toInt(), 15000);

    report(21, 0); // above 20 %: re-armed
    report(18, 0);
    EXPECT_EQ(tray.count(), 2);
    report(18, 1); // charging: re-armed, and nothing to tell
    report(17, 0);
    EXPECT_EQ(tray.count(), 3);

    // An unknown level is not a low one.
    TabletMessages other;
    other.SetTrayAvailable(true);
    QSignalSpy otherTray(&other, &TabletMessages::TrayMessage);
    tablet.lowBatteryShown = 0;
    tablet.batteryLevel = -1;
    other.ReceivActionMsg(0, kMsgBattery, 0);
    EXPECT_EQ(otherTray.count(), 0);

    // The battery widget follows the tablet shown.
    ASSERT_GE(widget.count(), 1);
    EXPECT_EQ(widget.last().at(0).toInt(), 17);
    EXPECT_FALSE(widget.last().at(1).toBool());

    // A Bluetooth tablet not shown still tells its level (for the tray's tool tip).
    QSignalSpy any(&messages, &TabletMessages::TabletBatteryChanged);
    messages.SetCurrentTablet(nullptr);
    report(64, 1);
    EXPECT_EQ(widget.last().at(0).toInt(), 17);
    ASSERT_EQ(any.count(), 1);
    EXPECT_EQ(any.at(0).at(1).toInt(), 64);
    EXPECT_TRUE(any.at(0).at(2).toBool());
}

TEST(TabletMessages, KeyPreviewStaysInsideTheScreenAndToggles)
{
    OneScreen();
    // Centred under the cursor, above it when there is no room below, and never over the
    // captions at the bottom of the screen.
    EXPECT_EQ(KeyPreviewWindow::Placement(QPoint(1900, 1060), QRect(0, 0, 1920, 1080)), QPoint(1120, 566));
    EXPECT_EQ(KeyPreviewWindow::Placement(QPoint(100, 50), QRect(0, 0, 1920, 1080)), QPoint(0, 74));
    EXPECT_EQ(KeyPreviewWindow::Placement(QPoint(2900, 700), QRect(1920, 0, 1920, 1080)), QPoint(2500, 226));

    TabletMessages messages;
    messages.SetCursorSource([] { return QPoint(1900, 1060); });
    RecordingTablet tablet(0, 4);
    tablet.TabletXMLData->DeviceKeyNum = 2;
    KeyConfig &custom = tablet.TabletXMLData->CommonAPP.keys[1];
    custom.id = 1;
    std::strcpy(custom.custom, "1|Copy|Ctrl+C|17:29+67:46");

    messages.ReceivActionMsg(0, kMsgKeyPreview, QString());
    ASSERT_NE(messages.KeyPreview(), nullptr);
    EXPECT_TRUE(messages.KeyPreview()->isVisible());
    EXPECT_EQ(messages.KeyPreview()->pos(), QPoint(1120, 566));
    EXPECT_EQ(messages.KeyPreview()->KeyTexts().value(1), QStringLiteral("Copy"));
    // Each text is written on its key of the picture.
    const QVector<QRectF> keys = KeyPreviewLayout::Keys(2);
    ASSERT_EQ(messages.KeyPreview()->KeyLabels().size(), 2);
    for (int k = 0; k < 2; ++k)
        EXPECT_TRUE(keys[k].contains(messages.KeyPreview()->KeyLabels()[k]->geometry())) << k;
    messages.ReceivActionMsg(0, kMsgKeyPreview, QString());
    EXPECT_FALSE(messages.KeyPreview()->isVisible());
}

TEST(FineMode, BoxStaysOnTheScreenAndScalesToPhysicalPixels)
{
    const QSize screen(1920, 1080);
    EXPECT_EQ(JingXiMode::BoxOrigin(screen, QPoint(10, 10)), QPoint(0, 0));
    EXPECT_EQ(JingXiMode::BoxOrigin(screen, QPoint(160, 112)), QPoint(0, 0));
    EXPECT_EQ(JingXiMode::BoxOrigin(screen, QPoint(1910, 1075)), QPoint(1600, 855));
    EXPECT_EQ(JingXiMode::BoxOrigin(screen, QPoint(1000, 500)), QPoint(840, 388));

    // A desktop scaled by two: the work area is given in physical pixels.
    const ScreenTableData physical = ScreenTable::Build({{0, 0, 3840, 2160}});
    EXPECT_EQ(JingXiMode::ModeRect(QRect(0, 0, 1920, 1080), QPoint(1600, 855), physical),
              QRect(3200, 1740, 640, 420));
    // A second screen right of the first.
    const ScreenTableData two = ScreenTable::Build({{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}});
    EXPECT_EQ(JingXiMode::ModeRect(QRect(1920, 0, 1920, 1080), QPoint(0, 0), two), QRect(1920, 15, 320, 210));
}

TEST(FineMode, OpensClosesAndReleasesEveryTablet)
{
    TwoScreens();
    TabletMessages messages;
    messages.SetCursorSource([] { return QPoint(1930, 5); });
    RecordingTablet keypad(0, 4);
    RecordingTablet tablet(1, 1);

    // From the keypad the mode is for the first other tablet.
    messages.ReceivActionMsg(0, kMsgFineMode, 0);
    JingXiMode *window = messages.FineModeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->CoveredRect(), QRect(1920, 0, 1920, 1080));
    EXPECT_EQ(tablet.TabletXMLData->FineMode, 1);
    EXPECT_EQ(keypad.TabletXMLData->FineMode, 0);
    window->EmitModeRect();
    EXPECT_EQ(tablet.TabletXMLData->FineX, 1920);
    EXPECT_EQ(tablet.TabletXMLData->FineY, 15);
    EXPECT_EQ(tablet.TabletXMLData->FineW, 320);
    EXPECT_EQ(tablet.TabletXMLData->FineH, 210);

    // The fine-mode key again closes it.
    messages.ReceivActionMsg(1, kMsgFineMode, 0);
    EXPECT_EQ(messages.FineModeWindow(), nullptr);
    EXPECT_EQ(tablet.TabletXMLData->FineMode, 0);

    // Escape in the window closes it too.
    messages.ReceivActionMsg(1, kMsgFineMode, 0);
    window = messages.FineModeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(tablet.TabletXMLData->FineMode, 1);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window, &escape);
    EXPECT_EQ(messages.FineModeWindow(), nullptr);
    EXPECT_EQ(tablet.TabletXMLData->FineMode, 0);
    EXPECT_EQ(keypad.TabletXMLData->FineMode, 0);
}

TEST(TabletMessages, TouchRingCommandsAndRestore)
{
    TabletMessages messages;
    RecordingTablet shown(0, 2);
    RecordingTablet other(1, 2);
    other.TabletXMLData->Orientation = 3;
    messages.SetCurrentTablet(&shown);
    QSignalSpy radio(&messages, &TabletMessages::TouchRingMode);

    messages.ReceivActionMsg(1, kMsgTrackPad, 0);
    messages.ReceivActionMsg(1, kMsgTrackPad, 0);
    EXPECT_EQ(other.commands, (QStringList{"2,1,3", "2,3,0"}));
    messages.ReceivActionMsg(0, kMsgTrackPad, 0);
    ASSERT_EQ(radio.count(), 1);
    EXPECT_TRUE(radio.at(0).at(0).toBool());
    EXPECT_TRUE(shown.commands.isEmpty());

    other.commands.clear();
    messages.ReceivActionMsg(1, kMsgReannounced, 0); // no touch ring in the profile
    other.TabletXMLData->CommonAPP.TRPresent = 1;
    other.TabletXMLData->CommonAPP.TRMode = 1;
    messages.ReceivActionMsg(1, kMsgReannounced, 0);
    other.TabletXMLData->CommonAPP.TRMode = 0;
    messages.ReceivActionMsg(1, kMsgReannounced, 0);
    EXPECT_EQ(other.commands, (QStringList{"2,1,3", "2,3,0"}));
}

TEST(TabletMessages, RingFunctionsUsageAndLivePressure)
{
    TabletMessages messages;
    RecordingTablet tablet(0, 1);
    messages.SetCurrentTablet(&tablet);
    RingItemConfig &custom = tablet.TabletXMLData->CommonAPP.ring.items[2];
    custom.id = 2;
    std::strcpy(custom.custom, "4|Brush size|[|]|219:26|221:27");
    tablet.TabletXMLData->CommonAPP.ring.id = 3;

    // The list travels as a pointer the sender keeps.
    QStringList shown;
    QList<int> highlights;
    const QMetaObject::Connection connection = QObject::connect(
        ActionCaption::MyLrc(), &ActionCaption::EmitRingLrc, [&](QStringList *lines, int highlight) {
            shown = lines ? *lines : QStringList();
            highlights << highlight;
        });
    QSignalSpy page(&messages, &TabletMessages::RingFunctionChanged);
    messages.ReceivActionMsg(0, kMsgRing1Function, QString());
    messages.ReceivActionMsg(0, kMsgRing1Function, QString());
    EXPECT_EQ(tablet.TabletXMLData->CommonAPP.ring.id, 1);
    QObject::disconnect(connection);
    EXPECT_EQ(highlights, (QList<int>{0, 1}));
    EXPECT_EQ(shown.value(2), QStringLiteral("Brush size"));
    EXPECT_EQ(shown.value(0), QStringLiteral("Ring function 1"));
    ASSERT_EQ(page.count(), 2);
    EXPECT_EQ(page.at(0).at(1).toInt(), 0);

    QSignalSpy usage(&messages, &TabletMessages::UsageRecord);
    messages.ReceivActionMsg(0, kMsgUsageRecord, QStringLiteral("\"KeyAction\":{}"));
    ASSERT_EQ(usage.count(), 1);
    EXPECT_EQ(usage.at(0).at(0).toString(), QStringLiteral("\"tablet\":\"Sim Tablet\",\"KeyAction\":{}"));

    // A 2047-level pen reports in the 0..8191 range; the bar shows its own levels.
    tablet.m_DeviceAttributes.MaxPressure = 2047;
    messages.SetPenPageShown(true);
    QSignalSpy pressure(&messages, &TabletMessages::PressureChanged);
    MultiData data{};
    data.flags = PacketPen;
    data.pressure = 8188;
    messages.ReceivMultiData(&tablet, data);
    RecordingTablet other(1, 1);
    messages.ReceivMultiData(&other, data); // not the tablet shown
    ASSERT_EQ(pressure.count(), 1);
    EXPECT_EQ(pressure.at(0).at(0).toInt(), 2047);
    EXPECT_EQ(pressure.at(0).at(1).toInt(), 2047);
}

// Every paint sends the work area again; outside the box the screen is dimmed, inside
// the work area it is left clear.
TEST(FineMode, PaintSendsTheWorkAreaAndDimsTheRest)
{
    OneScreen();
    JingXiMode window(QRect(0, 0, 1920, 1080), QPoint(1000, 500));
    QSignalSpy rects(&window, &JingXiMode::GetModeRect);
    const QImage image = window.grab().toImage();
    ASSERT_GE(rects.count(), 1);
    EXPECT_EQ(rects.last().at(0).toRect(), QRect(840, 403, 320, 210));
    EXPECT_EQ(window.LastModeRect(), QRect(840, 403, 320, 210));
    EXPECT_NEAR(qAlpha(image.pixel(100, 100)), 125, 2);
    EXPECT_NEAR(qAlpha(image.pixel(1900, 1000)), 125, 2);
    EXPECT_EQ(qAlpha(image.pixel(1000, 500)), 0);
    window.grab();
    EXPECT_GE(rects.count(), 2);
    EXPECT_FALSE(window.OutlineOnly()); // the test platform composes translucency

    // Without a compositor: only the strip and the outline are window, input passes.
    JingXiMode outline(QRect(0, 0, 1920, 1080), QPoint(1000, 500), nullptr, JingXiMode::Look::OutlineOnly);
    QSignalSpy outlineRects(&outline, &JingXiMode::GetModeRect);
    outline.grab();
    ASSERT_GE(outlineRects.count(), 1);
    EXPECT_EQ(outlineRects.last().at(0).toRect(), QRect(840, 403, 320, 210));
    EXPECT_TRUE(outline.windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_FALSE(outline.testAttribute(Qt::WA_TranslucentBackground));
    const QRegion mask = outline.mask();
    EXPECT_TRUE(mask.contains(QPoint(845, 390)));  // title strip
    EXPECT_TRUE(mask.contains(QPoint(839, 500)));  // left edge of the work area
    EXPECT_FALSE(mask.contains(QPoint(1000, 500))); // the work area itself
    EXPECT_FALSE(mask.contains(QPoint(100, 100)));  // the rest of the screen
}

TEST(TabletMessages, BatteryWidgetKeepsItsRange)
{
    BatteryWidget widget;
    widget.SetBattery(140, false);
    EXPECT_EQ(widget.Level(), 100);
    widget.SetBattery(-1, false);
    EXPECT_EQ(widget.Level(), 0);
    widget.SetBattery(20, false);
    EXPECT_TRUE(widget.Low());
    widget.SetBattery(20, true);
    EXPECT_FALSE(widget.Low());
}
