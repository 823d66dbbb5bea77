// The mapping preview, the pressure curve editor and the screen numbers, rendered on the
// offscreen platform and driven with synthetic mouse events.
#include "app/mappingmodel.h"
#include "device/ctablet.h"
#include "mapping/mappingwidget.h"
#include "mapping/pressurelevels.h"
#include "mapping/qpressadjustwedget.h"
#include "mapping/showscreenid.h"
#include "platform/display/displaybackend.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

void Send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void Drag(QWidget *w, QPoint from, QPoint to)
{
    Send(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
    Send(w, QEvent::MouseMove, to, Qt::LeftButton);
    Send(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

// More than one colour in the picture: something was drawn.
bool Drawn(QWidget &w)
{
    const QImage image = w.grab().toImage();
    if (image.isNull())
        return false;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != first)
                return true;
    return false;
}

QPoint HandleCentre(const QPressAdjustWedget &editor)
{
    return editor.HandleGeometry().topLeft() + QPoint(4, 4);
}

} // namespace

TEST(PressAdjust, HandleStaysBetweenStartAndEndAndInsideTheArea)
{
    QPressAdjustWedget editor;
    editor.resize(124, 124);
    EXPECT_TRUE(Drawn(editor));
    EXPECT_EQ(editor.HandleGeometry(), QRect(58, 58, 8, 8)); // centred on (62, 62)

    // Far right: the end point (124) minus 4 would allow 120, the area only 116.
    Drag(&editor, QPoint(62, 62), QPoint(400, -300));
    EXPECT_EQ(editor.HandleGeometry().topLeft(), QPoint(116, 0));
    EXPECT_FLOAT_EQ(editor.Points().P1X, 120.0f / 124.0f);
    EXPECT_FLOAT_EQ(editor.Points().P1Y, 4.0f / 124.0f);

    // With P0 at the middle the handle may go at most 10 px left of the start point.
    editor.SetPoints({0.5f, 0.75f, 0.5f, 1.0f});
    const QPoint from = HandleCentre(editor);
    Drag(&editor, from, from + QPoint(-200, 300));
    EXPECT_EQ(editor.HandleGeometry().topLeft(), QPoint(52, 116));

    // A press outside the handle drags nothing.
    const QRect before = editor.HandleGeometry();
    Drag(&editor, QPoint(5, 60), QPoint(100, 60));
    EXPECT_EQ(editor.HandleGeometry(), before);
}

TEST(PressAdjust, ReleaseReportsTheDraggedPointsAndTheirLevel)
{
    QPressAdjustWedget editor;
    editor.resize(124, 124);
    QSignalSpy changed(&editor, &QPressAdjustWedget::PressSensitivityChange);
    // Centre to (40, 84): rise 40 over run 40, slope 1.0.
    Drag(&editor, QPoint(62, 62), QPoint(40, 84));
    ASSERT_EQ(changed.count(), 1);
    const SPresslvPoints points = changed.at(0).at(0).value<SPresslvPoints>();
    EXPECT_FLOAT_EQ(points.P1X, 40.0f / 124.0f);
    EXPECT_FLOAT_EQ(points.P1Y, 84.0f / 124.0f);
    EXPECT_EQ(PressLevelFromPoints(points), 0);
    // Choosing the level from the points leaves the dragged points as they are.
    EXPECT_FLOAT_EQ(editor.Points().P1X, 40.0f / 124.0f);
}

TEST(PressAdjust, SlidersCannotPassTheControlPoint)
{
    QPressAdjustWedget editor;
    editor.SetLevel(3);
    EXPECT_EQ(editor.ControlPoint(), QPoint(115, 115));
    EXPECT_EQ(editor.P0Slider()->value(), 17); // 124 x 0.14
    EXPECT_EQ(editor.P2Slider()->value(), 0);

    editor.ResetPoints();
    editor.P0Slider()->setValue(100);
    EXPECT_EQ(editor.P0Slider()->value(), 62);
    EXPECT_FLOAT_EQ(editor.Points().P0, 0.5f);
    editor.P2Slider()->setValue(100);
    EXPECT_EQ(editor.P2Slider()->value(), 62);
    EXPECT_FLOAT_EQ(editor.Points().P2, 0.5f);
    EXPECT_EQ(editor.EndPoint(), QPoint(62, 0));

    editor.SetLevel(9); // not a level: points stay
    EXPECT_FLOAT_EQ(editor.Points().P0, 0.5f);
}

TEST(MappingPreview, DrawsWithoutAPictureAndDragsIntoTheProfile)
{
    ScreenTableData table = ScreenTable::Build({ScreenRect{0, 0, 1920, 1080}});
    mappingwidget preview;
    preview.resize(480, 200);
    preview.SetScreenTable(table, 1);
    preview.SetTablet(QStringLiteral("NoSuchModel"), 0, QSize(15200, 9500));
    preview.SetScreenArea(QRect(0, 0, 1920, 1080));
    preview.SetTabletArea(QRect(0, 0, 15200, 9500));
    EXPECT_FALSE(preview.HasTabletPicture());
    EXPECT_TRUE(Drawn(preview));
    EXPECT_EQ(preview.ScreenRubber(), QRect(QPoint(0, 0), preview.ScreenFrame().size()));

    // Turned a quarter, the tablet frame stands upright.
    preview.SetTablet(QStringLiteral("NoSuchModel"), 1, QSize(9500, 15200));
    EXPECT_GT(preview.TabletFrame().height(), preview.TabletFrame().width());
    preview.SetTablet(QStringLiteral("NoSuchModel"), 0, QSize(15200, 9500));

    QSignalSpy screenBand(&preview, &mappingwidget::ScreenRubberRectChange);
    QSignalSpy tabletBand(&preview, &mappingwidget::TabletRubberRectChange);
    // A new band drawn in the screen frame, from a quarter to three quarters.
    const QRect sf = preview.ScreenFrame();
    const QPoint a = sf.topLeft() + QPoint(sf.width() / 4, sf.height() / 4);
    const QPoint b = sf.topLeft() + QPoint(sf.width() * 3 / 4, sf.height() * 3 / 4);
    preview.SetScreenArea(QRect(0, 0, 10, 10)); // a small band, out of the way
    Drag(&preview, a, b);
    ASSERT_EQ(screenBand.count(), 1);
    const QRect band = screenBand.at(0).at(0).toRect();
    EXPECT_EQ(band.topLeft(), a - sf.topLeft());
    EXPECT_EQ(screenBand.at(0).at(1).toRect(), QRect(QPoint(0, 0), sf.size()));

    // Moving the whole tablet band far off keeps it inside its frame.
    const QRect tf = preview.TabletFrame();
    preview.SetTabletArea(QRect(0, 0, 7600, 4750));
    const QPoint inside = tf.topLeft() + QPoint(5, 5);
    Drag(&preview, inside, inside + QPoint(1000, 1000));
    ASSERT_EQ(tabletBand.count(), 1);
    const QRect moved = tabletBand.at(0).at(0).toRect();
    EXPECT_EQ(moved.bottomRight() + QPoint(1, 1), QPoint(tf.width(), tf.height()));

    // The preview's report, turned into hundredths of an inch by the model, reaches the
    // profile: the left half of the tablet frame is the left half of the tablet.
    FixedDisplayBackend display(FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080)}));
    MappingModel model(&display);
    model.EnumDisplay();
    CTablet tablet(0);
    tablet.m_DeviceAttributes.WidthInch100 = 15200;
    tablet.m_DeviceAttributes.HeightInch100 = 9500;
    model.SetTablet(&tablet);
    QObject::connect(&preview, &mappingwidget::TabletRubberRectChange, &model,
                     &MappingModel::on_TabletRubberRectChange);
    preview.SetTabletArea(QRect(0, 0, 1, 1));
    Drag(&preview, tf.topLeft() + QPoint(1, 1), tf.topLeft() + QPoint(tf.width() / 2, tf.height() - 1));
    const QRect area(tablet.TabletXMLData->TX, tablet.TabletXMLData->TY, tablet.TabletXMLData->TW,
                     tablet.TabletXMLData->TH);
    EXPECT_NEAR(area.width(), 7600, 15200 / tf.width() + 1);
    EXPECT_NEAR(area.height(), 9500, 2 * 9500 / tf.height() + 1);
    EXPECT_EQ(model.TabletValues(), area);
}

TEST(ScreenNumbers, OneShortLivedWindowPerMatchingScreen)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect g = screen->availableGeometry();

    // No table entry starts where the screen does: no number.
    ScreenTableData elsewhere = ScreenTable::Build({ScreenRect{g.left() + 1, g.top(), g.width(), g.height()}});
    EXPECT_TRUE(ShowScreenID::ShowAll(elsewhere).empty());

    ScreenTableData table = ScreenTable::Build({ScreenRect{-1280, 0, 1280, 1024}, ScreenRect{g.left(), g.top(), g.width(), g.height()}});
    const std::vector<ShowScreenID *> windows = ShowScreenID::ShowAll(table);
    ASSERT_EQ(windows.size(), 1u);
    ShowScreenID *w = windows[0];
    EXPECT_EQ(w->Text(), QStringLiteral("2"));
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w->windowFlags() & Qt::Tool);
    EXPECT_EQ(w->pos(), QPoint(g.left() + 50, g.bottom() - w->height() - 5));
    EXPECT_TRUE(Drawn(*w));

    QSignalSpy gone(w, &QObject::destroyed);
    EXPECT_TRUE(gone.wait(ShowScreenID::kShowMs + 3000));
}
