// The settings pages on simulated tablets with the installation's default profiles:
// which pages a model gets, the controls' writes into the profile (ink and mouse mode,
// custom entries, the ring radio numbering), the application bar, Confirm and Cancel
// against the profile file, and the usage records the controls post.

#include "app/appcore.h"
#include "app/diagnosisfunction.h"
#include "app/importsettingdialog.h"
#include "app/mainwindow.h"
#include "app/mappingmodel.h"
#include "app/penpage.h"
#include "app/ringpage.h"
#include "app/settingform.h"
#include "app/startupoptions.h"
#include "action/actionservices.h"
#include "base/usagerecord.h"
#include "config/profilerecords.h"
#include "device/ctablet.h"
#include "online/updateserver.h"
#include "platform/locale/localebackend.h"
#include "sim/simhidbackend.h"
#include "sim/simmodel.h"
#include "sim/simreports.h"
#include "sim/simtablet.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMutex>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

class RecordingSink : public UsageRecordSink {
public:
    void AddRecord(const QString &record) override
    {
        QMutexLocker lock(&m_mutex);
        m_records << record;
    }
    QStringList records() const
    {
        QMutexLocker lock(&m_mutex);
        return m_records;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_records;
};

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One window on its own data folder with the given simulated tablets plugged in.
class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
    }
    void TearDown() override
    {
        m_core.reset();
        qputenv("XDG_CONFIG_HOME", m_savedHome);
    }

    MainWindow &open(std::initializer_list<uint16_t> products, AppCore::StartOrder order = AppCore::StartOrder::Now)
    {
        auto hid = std::make_unique<SimHidBackend>();
        m_sim = hid.get();
        for (uint16_t pid : products)
            m_tablets.push_back(hid->plug(*SimModels::find(pid)));
        m_core = std::make_unique<AppCore>(qEnvironmentVariable("INKORA_BIN_DIR"), FixedLocaleBackend(1033),
                                           std::move(hid), order);
        m_window = &m_core->window();
        return *m_window;
    }
    void reopen(std::initializer_list<uint16_t> products)
    {
        m_core.reset();
        m_tablets.clear();
        open(products);
    }

    QTemporaryDir m_home;
    QByteArray m_savedHome;
    std::vector<std::shared_ptr<SimTablet>> m_tablets;
    SimHidBackend *m_sim = nullptr; // owned by the core
    std::unique_ptr<AppCore> m_core;
    MainWindow *m_window = nullptr; // the core's
};

int ListIndexOf(QComboBox *list, int actionId)
{
    return list->findData(actionId);
}

// --- pages by capability ------------------------------------------------------------------

TEST_F(SettingsWindowTest, PagesFollowTheModelsCapabilities)
{
    MainWindow &w = open({0x0935});
    CTablet *tablet = w.currentTablet();
    ASSERT_NE(tablet, nullptr);
    EXPECT_EQ(w.listedPages(), (QVector<SettingsPage>{PageWorkArea, PagePen, PageShortcutKey}));
    EXPECT_EQ(w.shownPage(), int(PageWorkArea));

    // No keys and no rings: only the work area and the pen. The page shown before (the
    // keys) is gone, so the first one is selected.
    w.selectPage(PageShortcutKey);
    EXPECT_EQ(w.shownPage(), int(PageShortcutKey));
    tablet->TabletXMLData->DeviceKeyNum = 0;
    tablet->TabletXMLData->DeviceRingNum = 0;
    w.UpdateUIByAppChange();
    EXPECT_EQ(w.listedPages(), (QVector<SettingsPage>{PageWorkArea, PagePen}));
    EXPECT_EQ(w.shownPage(), int(PageWorkArea));

    // A ring on a model with key groups belongs to the key-group page, not the TR item;
    // a touch pad still brings the TR item. The stack shows the key-group page whatever
    // item is selected.
    tablet->TabletXMLData->DeviceRingNum = 1;
    tablet->TabletXMLData->SupportGroupKeys = 1;
    w.UpdateUIByAppChange();
    EXPECT_EQ(w.listedPages(), (QVector<SettingsPage>{PageWorkArea, PagePen}));
    EXPECT_EQ(w.shownPage(), int(PageKeyGroup));
    tablet->TabletXMLData->DeviceTrackPad = 1;
    w.UpdateUIByAppChange();
    EXPECT_EQ(w.listedPages(), (QVector<SettingsPage>{PageWorkArea, PagePen, PageTR}));
}

// The keypad: no pen pages, ten keys and its dial (the last two key bytes of its report)
// with the ring functions.
TEST_F(SettingsWindowTest, KeypadHasNoPenPagesAndRingModelsGetTheRingPage)
{
    MainWindow &w = open({0x0201});
    EXPECT_EQ(w.listedPages(), (QVector<SettingsPage>{PageShortcutKey, PageTR}));
    EXPECT_EQ(w.shownPage(), int(PageShortcutKey));
    EXPECT_FALSE(w.keyList(9)->isHidden());
    EXPECT_TRUE(w.keyList(10)->isHidden());
    EXPECT_EQ(w.findChild<QListWidget *>(QStringLiteral("listWidget_pages"))->item(1)->text(), QStringLiteral("Dial"));
    w.selectPage(PageTR);
    ASSERT_NE(w.ringRadio(2), nullptr);
    w.ringRadio(2)->click();
    EXPECT_EQ(w.currentApp()->ring.id, 2);
    reopen({0x0074});
    EXPECT_EQ(m_window->listedPages(), (QVector<SettingsPage>{PageWorkArea, PagePen, PageShortcutKey, PageTR}));
}

// Every action list offers what the model has: ring functions with the ring, the touch-pad
// mode with the touch pad, the next key group with key groups, the eraser default on the
// eraser end only.
TEST_F(SettingsWindowTest, ActionListsOfferWhatTheModelHas)
{
    const auto offers = [](QComboBox *list, std::initializer_list<int> actions) {
        QString got;
        for (int a : actions)
            got += list->findData(a) >= 0 ? QLatin1Char('+') : QLatin1Char('-');
        return got;
    };
    //                                  27  103 104 105 106 107 110 111
    const std::initializer_list<int> a{27, 103, 104, 105, 106, 107, 110, 111};
    MainWindow &w = open({0x0935}); // keys, no ring, no touch pad
    EXPECT_EQ(offers(w.keyList(0), a), QStringLiteral("-++----+"));
    EXPECT_EQ(offers(w.penButtonList(1), a), QStringLiteral("-++----+"));
    EXPECT_EQ(offers(w.penButtonList(0), a), QStringLiteral("+++----+"));
    EXPECT_FALSE(w.penButtonList(1)->itemText(w.penButtonList(1)->findData(208)).isEmpty());
    reopen({0x0933}); // a ring and the touch pad
    EXPECT_EQ(offers(m_window->keyList(0), a), QStringLiteral("-+++++-+"));
    reopen({0x0201}); // the keypad: its dial; pen and fine mode act on the other tablets
    EXPECT_EQ(offers(m_window->keyList(0), a), QStringLiteral("-+++---+"));
    // A stored action the model does not offer is still shown as it is.
    m_window->currentApp()->keys[0].Actid = 110;
    m_window->UpdateUIByAppChange();
    EXPECT_EQ(m_window->keyList(0)->currentData().toInt(), 110);
    EXPECT_EQ(m_window->keyList(1)->findData(110), -1);
}

TEST(PageRules, PenButtonListsByPenType)
{
    const PenButtonLists shown{true, true};
    const PenButtonLists hidden{false, false};
    EXPECT_FALSE(PenButtonVisibility(0, shown).showBtn0);
    EXPECT_TRUE(PenButtonVisibility(6, hidden).showBtn2);
    EXPECT_FALSE(PenButtonVisibility(3, shown).showBtn2);
    EXPECT_TRUE(PenButtonVisibility(4, hidden).showBtn0);
    EXPECT_FALSE(PenButtonVisibility(4, shown).showBtn2);
    EXPECT_TRUE(PenButtonVisibility(5, hidden).showBtn2);
    // Unknown types keep what is there.
    EXPECT_TRUE(PenButtonVisibility(7, shown).showBtn0);
    EXPECT_FALSE(PenButtonVisibility(9, hidden).showBtn2);
}

// --- ring numbering -------------------------------------------------------------------------

TEST_F(SettingsWindowTest, RingRadiosWriteTheirRingByTheNumberingRules)
{
    MainWindow &w = open({0x0934}); // two rings
    CTablet *tablet = w.currentTablet();
    ASSERT_NE(tablet, nullptr);
    AppConfigNode *app = w.currentApp();
    w.selectPage(PageTR);
    ASSERT_NE(w.ringRadio(6), nullptr);
    w.ringRadio(6)->click(); // second ring, function III
    EXPECT_EQ(app->ring2.id, 2);
    EXPECT_EQ(app->ring.id, 0);
    w.ringRadio(1)->click();
    EXPECT_EQ(app->ring.id, 1);
    EXPECT_EQ(app->ring2.id, 2);
    // One group per ring: each shows its own choice, also when the page opens again.
    EXPECT_TRUE(w.ringRadio(6)->isChecked());
    EXPECT_TRUE(w.ringRadio(1)->isChecked());
    app->ring.id = 3;
    w.UpdateUIByAppChange();
    EXPECT_TRUE(w.ringRadio(3)->isChecked());
    EXPECT_TRUE(w.ringRadio(6)->isChecked());

    // With key groups the four buttons count from 8 and all belong to the first ring.
    tablet->TabletXMLData->SupportGroupKeys = 1;
    tablet->TabletXMLData->DeviceRingNum = 1;
    w.UpdateUIByAppChange();
    w.ringRadio(11)->click();
    EXPECT_EQ(app->ring.id, 3);
    EXPECT_EQ(app->ring2.id, 2);
}

// --- pen page -------------------------------------------------------------------------------

TEST_F(SettingsWindowTest, WindowsInkAndMouseModeExcludeEachOther)
{
    MainWindow &w = open({0x0935});
    const PenConfig &pen = w.currentApp()->pens[0];
    w.selectPage(PagePen);
    w.OnShowDriver();

    w.windowsInkCheckBox()->setChecked(false);
    w.mouseModeCheckBox()->click();
    EXPECT_EQ(pen.RelativeCoords, 1);
    EXPECT_EQ(pen.TablePC, 0);
    EXPECT_TRUE(w.speedSlider()->isEnabled());

    w.windowsInkCheckBox()->click();
    EXPECT_EQ(pen.TablePC, 1);
    EXPECT_EQ(pen.RelativeCoords, 0);
    EXPECT_FALSE(w.mouseModeCheckBox()->isChecked());
    EXPECT_FALSE(w.speedSlider()->isEnabled());

    w.mouseModeCheckBox()->click();
    EXPECT_EQ(pen.TablePC, 0);
    EXPECT_FALSE(w.windowsInkCheckBox()->isChecked());

    // Turning mouse mode off leaves ink off: neither switch turns the other on.
    w.mouseModeCheckBox()->click();
    EXPECT_EQ(pen.RelativeCoords, 0);
    EXPECT_EQ(pen.TablePC, 0);
    EXPECT_FALSE(w.speedSlider()->isEnabled());
}

TEST_F(SettingsWindowTest, CustomEntryCancelledLeavesTheButtonAlone)
{
    MainWindow &w = open({0x0933});
    PenButtonConfig &button = w.currentApp()->pens[0].buttons[1];
    QComboBox *list = w.penButtonList(1);
    const int custom = list->count() - 1;

    const PenButtonConfig before = button;
    const int shownBefore = list->currentIndex();
    // The editor changes its text but is cancelled: nothing is stored.
    int editorCalls = 0;
    QString preset;
    w.setCustomEditor([&](QWidget *, QString *text, int, int) {
        ++editorCalls;
        preset = *text;
        *text = QStringLiteral("changed but cancelled");
        return false;
    });
    list->setCurrentIndex(custom);
    w.penPage()->comboBoxPbtn1Activated(custom);
    EXPECT_EQ(editorCalls, 1);
    EXPECT_EQ(preset, QString::fromUtf8(before.custom));
    EXPECT_EQ(list->currentIndex(), shownBefore);
    EXPECT_EQ(button.id, before.id);
    EXPECT_EQ(button.Actid, before.Actid);
    EXPECT_STREQ(button.custom, before.custom);

    // Accepted: the text is stored as the custom function; a predefined entry later
    // empties it again.
    w.setCustomEditor([&](QWidget *, QString *text, int, int) {
        *text = QStringLiteral("3|Pen/Eraser|3");
        return true;
    });
    w.penPage()->comboBoxPbtn1Activated(custom);
    EXPECT_EQ(button.id, 1);
    EXPECT_STREQ(button.custom, "3|Pen/Eraser|3");
    EXPECT_EQ(list->itemText(custom), QStringLiteral("Custom: Pen/Eraser")); // its name, not just "Custom"
    // A cancelled edit of a custom entry keeps the custom entry shown.
    w.setCustomEditor([](QWidget *, QString *, int, int) { return false; });
    list->setCurrentIndex(0);
    w.penPage()->comboBoxPbtn1Activated(custom);
    EXPECT_EQ(list->currentIndex(), custom);
    EXPECT_STREQ(button.custom, "3|Pen/Eraser|3");

    const int rightClick = ListIndexOf(list, 207);
    w.penPage()->comboBoxPbtn1Activated(rightClick);
    EXPECT_EQ(button.id, 0);
    EXPECT_EQ(button.Actid, 207);
    EXPECT_STREQ(button.custom, "");
}

TEST_F(SettingsWindowTest, OverlongCustomTextIsCutToTheRecord)
{
    MainWindow &w = open({0x0935});
    PenButtonConfig &button = w.currentApp()->pens[0].buttons[1];
    // Two-byte characters across the end of the field: the cut lands on a character
    // boundary and the NUL still fits.
    w.setCustomEditor([](QWidget *, QString *text, int, int) {
        *text = QStringLiteral("3|") + QString(2000, QChar(0x00e9));
        return true;
    });
    w.penPage()->comboBoxPbtn1Activated(w.penButtonList(1)->count() - 1);
    const QByteArray stored(button.custom);
    EXPECT_LT(stored.size(), int(sizeof button.custom));
    EXPECT_GT(stored.size(), int(sizeof button.custom) - 3);
    EXPECT_TRUE(QString::fromUtf8(stored).toUtf8() == stored);
}

// The pen menu lists the pens the tablet has seen; removing one asks first and is an edit
// like any other: Cancel brings the pen back, OK writes its removal, and the pen returns
// when it is next used.
TEST_F(SettingsWindowTest, PenMenuRemovesAPenOnlyAsAConfirmedEdit)
{
    MainWindow &w = open({0x0934}); // two pens
    QComboBox *menu = w.penMenu();
    EXPECT_EQ(menu->count(), 1); // the pen in use, until the tablet sees another
    auto usePen = [&](int id) {
        SimPenSample sample;
        sample.x = 1000;
        sample.y = 1000;
        sample.penId = id;
        m_tablets[0]->queuePen(sample);
    };
    usePen(0);
    usePen(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->count() == 2; }, 5000));
    w.penPage()->ComboBoxPenSetClicked(1);
    EXPECT_EQ(w.currentPenSlot(), 1);
    w.mouseModeCheckBox()->click();
    EXPECT_EQ(w.currentApp()->pens[1].RelativeCoords, 1);
    EXPECT_EQ(w.currentApp()->pens[0].RelativeCoords, 0);
    w.ConfirmButtonClicked();
    const QByteArray saved = ReadFile(w.core().configPath());

    auto *remove = w.findChild<QPushButton *>(QStringLiteral("pushButton_penRemove"));
    auto removeSelected = [&](QMessageBox::StandardButton answer) {
        remove->click();
        auto *question = w.findChild<QMessageBox *>(QStringLiteral("penRemoveQuestion"));
        ASSERT_NE(question, nullptr);
        question->button(answer)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the answered question goes
    };
    removeSelected(QMessageBox::No);
    EXPECT_EQ(menu->count(), 2);
    removeSelected(QMessageBox::Yes);
    ASSERT_EQ(menu->count(), 1);
    EXPECT_EQ(w.currentPenSlot(), 0);
    EXPECT_EQ(w.currentApp()->pens[1].RelativeCoords, 1); // its settings stay
    EXPECT_FALSE(remove->isEnabled());                   // the last pen stays
    EXPECT_EQ(ReadFile(w.core().configPath()), saved);
    w.CancelButtonClicked();
    EXPECT_EQ(menu->count(), 2);

    // Removed again, the pen comes back as soon as the tablet sees it.
    w.penPage()->ComboBoxPenSetClicked(1);
    removeSelected(QMessageBox::Yes);
    ASSERT_EQ(menu->count(), 1);
    usePen(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->count() == 2; }, 5000));

    // OK writes a removal: after a restart only the second pen is listed.
    w.penPage()->ComboBoxPenSetClicked(0);
    removeSelected(QMessageBox::Yes);
    w.ConfirmButtonClicked();
    reopen({0x0934});
    ASSERT_EQ(m_window->penMenu()->count(), 1);
    EXPECT_EQ(m_window->penMenu()->itemData(0).toInt(), 1);
    EXPECT_EQ(m_window->currentPenSlot(), 1);
}

TEST_F(SettingsWindowTest, LightSliderOnlyForModelsWithTheLight)
{
    MainWindow &w = open({0x0933});
    w.OnShowDriver();
    w.selectPage(PagePen);
    EXPECT_TRUE(w.tabletLightSlider()->isVisibleTo(&w));
    const int before = m_tablets[0]->commands().size();
    w.tabletLightSlider()->setValue(3);
    ASSERT_GT(m_tablets[0]->commands().size(), before);
    const QByteArray set = m_tablets[0]->commands().last();
    ASSERT_GE(set.size(), 6);
    EXPECT_EQ(uchar(set[1]), 0xB4);
    EXPECT_EQ(uchar(set[4]), 2);   // the tablet light
    EXPECT_EQ(uchar(set[5]), 150); // three steps of 50

    reopen({0x0935});
    m_window->OnShowDriver();
    m_window->selectPage(PagePen);
    EXPECT_FALSE(m_window->tabletLightSlider()->isVisibleTo(m_window));
}

TEST_F(SettingsWindowTest, TouchAndWheelTellTheTablet)
{
    MainWindow &w = open({0x0074});
    AppConfigNode *app = w.currentApp();
    w.currentTablet()->TabletXMLData->Orientation = 1;
    const int before = m_tablets[0]->commands().size();
    auto *touch = w.findChild<QAbstractButton *>(QStringLiteral("radioButton_touch"));
    auto *wheel = w.findChild<QAbstractButton *>(QStringLiteral("radioButton_wheel"));
    ASSERT_TRUE(touch && wheel);
    wheel->click();
    EXPECT_EQ(app->TRMode, 0);
    touch->click();
    EXPECT_EQ(app->TRMode, 1);
    const QVector<QByteArray> commands = m_tablets[0]->commands().mid(before);
    ASSERT_EQ(commands.size(), 2);
    EXPECT_EQ(uchar(commands[0][2]), 0x02);
    EXPECT_EQ(uchar(commands[0][5]), 3); // wheel
    EXPECT_EQ(uchar(commands[1][5]), 1); // touch, with the orientation
    EXPECT_EQ(uchar(commands[1][6]), 1);
}

// --- application bar ------------------------------------------------------------------------

TEST_F(SettingsWindowTest, ApplicationBarRules)
{
    MainWindow &w = open({0x0935});
    QListWidget *bar = w.applicationBar();
    ASSERT_EQ(bar->count(), 1);
    EXPECT_FALSE(w.deleteAppButton()->isEnabled());

    ASSERT_TRUE(w.addApplicationPath(QStringLiteral("/usr/bin/paint")));
    EXPECT_EQ(bar->count(), 2);
    EXPECT_EQ(w.currentAppPath(), QStringLiteral("/usr/bin/paint"));
    EXPECT_TRUE(w.deleteAppButton()->isEnabled());
    // Edits go to the application's profile, not the common one.
    w.mouseModeCheckBox()->click();
    EXPECT_EQ(w.currentApp()->pens[0].RelativeCoords, 1);

    // The common entry: delete is off and the common profile is edited.
    bar->setCurrentRow(0);
    EXPECT_TRUE(w.currentAppPath().isEmpty());
    EXPECT_FALSE(w.deleteAppButton()->isEnabled());
    EXPECT_EQ(w.currentApp()->pens[0].RelativeCoords, 0);
    w.OnDeleteApplication(); // nothing to delete on the common entry
    EXPECT_EQ(bar->count(), 2);

    // Seven applications fill the bar: add is off, an eighth is refused.
    for (int i = 2; i <= 7; ++i)
        ASSERT_TRUE(w.addApplicationPath(QStringLiteral("/opt/app%1").arg(i)));
    EXPECT_EQ(bar->count(), 8);
    EXPECT_FALSE(w.addAppButton()->isEnabled());
    EXPECT_FALSE(w.addApplicationPath(QStringLiteral("/opt/app8")));
    EXPECT_FALSE(w.addApplicationPath(QStringLiteral("/opt/app2")));

    w.OnDeleteApplication(); // the last added is current
    EXPECT_EQ(bar->count(), 7);
    EXPECT_TRUE(w.addAppButton()->isEnabled());
    EXPECT_TRUE(w.currentAppPath().isEmpty());
}

// --- confirm and cancel ---------------------------------------------------------------------

TEST_F(SettingsWindowTest, ConfirmWritesTheFileAndCancelRestoresIt)
{
    MainWindow &w = open({0x0935});
    const QString config = w.core().configPath();
    const QByteArray original = ReadFile(config);

    // Cancel: the edit is gone from memory and the file was never touched.
    w.windowsInkCheckBox()->setChecked(false);
    w.mouseModeCheckBox()->click();
    w.findChild<QCheckBox *>(QStringLiteral("checkBox_disablePress"))->click();
    ASSERT_EQ(w.currentTablet()->TabletXMLData->DisablePressure, 1);
    w.CancelButtonClicked();
    EXPECT_EQ(w.currentTablet()->TabletXMLData->DisablePressure, 0);
    EXPECT_EQ(w.currentApp()->pens[0].RelativeCoords, 0);
    EXPECT_FALSE(w.mouseModeCheckBox()->isChecked());
    EXPECT_EQ(ReadFile(config), original);

    // Confirm: written, and a restart reads it back.
    w.mouseModeCheckBox()->click();
    w.speedSlider()->setValue(7);
    w.findChild<QCheckBox *>(QStringLiteral("checkBox_disableSlope"))->click();
    w.ConfirmButtonClicked();
    EXPECT_NE(ReadFile(config), original);
    reopen({0x0935});
    EXPECT_EQ(m_window->currentTablet()->TabletXMLData->DisableSlope, 1);
    EXPECT_EQ(m_window->currentApp()->pens[0].RelativeCoords, 1);
    EXPECT_EQ(m_window->currentApp()->pens[0].Speed, 7);
    EXPECT_TRUE(m_window->mouseModeCheckBox()->isChecked());
    EXPECT_EQ(m_window->speedSlider()->value(), 7);
}

// Each editor the window opens for a tablet runs an event loop of its own, and the
// tablet may be unplugged meanwhile: the window then shows the other tablet, the result
// is dropped with a notice, and neither the freed tablet nor the shown one is written.
TEST_F(SettingsWindowTest, EditorsWhoseTabletIsUnpluggedDropTheirResult)
{
    const QByteArray edited("1|Edited|Ctrl+E|17:29+69:18");
    const std::vector<std::function<void(MainWindow &)>> editors = {
        [](MainWindow &w) { w.penPage()->comboBoxPbtn1Activated(w.penButtonList(1)->count() - 1); },
        [](MainWindow &w) { emit w.keyList(0)->activated(w.keyList(0)->count() - 1); },
        [](MainWindow &w) { w.ringPage()->WheelComboBoxActivated(0, 1, 2); },
        [](MainWindow &w) { w.openDeviceTransfer(false); },
    };
    for (size_t i = 0; i < editors.size(); ++i) {
        reopen({0x0933, 0x0935}); // Glow L is shown first
        MainWindow &w = *m_window;
        ASSERT_EQ(w.currentTablet()->productId, 0x0933);
        const auto unplugShown = [&] {
            m_sim->unplug(m_tablets[0]);
            return QTest::qWaitFor([&] { return w.currentTablet() && w.currentTablet()->productId == 0x0935; }, 5000);
        };
        const MainWindow::CustomEditor editor = [&](QWidget *, QString *text, int, int) {
            EXPECT_TRUE(unplugShown());
            *text = QString::fromLatin1(edited);
            return true;
        };
        w.setCustomEditor(editor);
        w.setRingEditor(editor);
        if (i == 3) {
            QTimer::singleShot(0, &w, [&] { // runs inside the transfer dialog's loop
                auto *transfer = w.findChild<ImportSettingDialog *>();
                ASSERT_NE(transfer, nullptr);
                EXPECT_TRUE(unplugShown());
                EXPECT_EQ(transfer->statusText(), w.languageText(QStringLiteral("DiagnosisFunction.fail"), QString()))
                    << "at once, not after the reply time";
                transfer->done(QDialog::Accepted); // the worst case: a result was there
            });
        }
        editors[i](w);
        EXPECT_EQ(w.core().userNotices().size(), 1) << "editor " << i;
        EXPECT_NE(w.findChild<QMessageBox *>(QStringLiteral("noticeBox")), nullptr);
        const AppConfigNode &shown = *w.currentApp();
        EXPECT_STRNE(shown.keys[0].custom, edited.constData());
        EXPECT_STRNE(shown.pens[0].buttons[1].custom, edited.constData());
    }
}

TEST_F(SettingsWindowTest, ImportShowsTheImportedValues)
{
    MainWindow &w = open({0x0935});
    const QString saved = m_home.filePath(QStringLiteral("saved.pcfg"));
    w.findChild<QCheckBox *>(QStringLiteral("checkBox_disablePress"))->click();
    ASSERT_TRUE(w.addApplicationPath(QStringLiteral("/usr/bin/paint")));
    w.ConfirmButtonClicked();
    ASSERT_TRUE(w.core().exportConfigTo(saved));

    w.findChild<QCheckBox *>(QStringLiteral("checkBox_disablePress"))->click();
    w.OnDeleteApplication();
    w.ConfirmButtonClicked();
    ASSERT_EQ(w.applicationBar()->count(), 1);

    // Right root and version but no tablet profile: refused, naming the models it lacks;
    // the file and the tablet stay as they were.
    const QByteArray current = ReadFile(w.core().configPath());
    const QString hello = m_home.filePath(QStringLiteral("hello.pcfg"));
    {
        QFile file(hello);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<InkoraConfig version=\"1.3.0\"><Hello>world</Hello></InkoraConfig>");
    }
    EXPECT_EQ(w.core().importConfigFrom(hello), 110);
    EXPECT_TRUE(w.core().importMissing().contains(QStringLiteral("InkoraPadM")));
    EXPECT_EQ(ReadFile(w.core().configPath()), current);
    EXPECT_TRUE(w.core().importBackup().isEmpty());

    ASSERT_EQ(w.core().importConfigFrom(saved), 0);
    EXPECT_EQ(w.currentTablet()->TabletXMLData->DisablePressure, 1);
    EXPECT_TRUE(w.findChild<QCheckBox *>(QStringLiteral("checkBox_disablePress"))->isChecked());
    EXPECT_EQ(w.applicationBar()->count(), 2);

    // The replaced file is kept beside it and can be put back.
    EXPECT_EQ(ReadFile(w.core().importBackup()), current);
    ASSERT_EQ(w.core().restoreConfigBeforeImport(), 0);
    EXPECT_EQ(ReadFile(w.core().configPath()), current);
    EXPECT_EQ(w.currentTablet()->TabletXMLData->DisablePressure, 0);
    EXPECT_EQ(w.applicationBar()->count(), 1);
}

TEST_F(SettingsWindowTest, RingItemCustomFunctionShowsItsName)
{
    MainWindow &w = open({0x0074});
    RingItemConfig &item = w.currentApp()->ring.items[1];
    auto *list = w.findChild<QComboBox *>(QStringLiteral("comboBox_ring1_item2"));
    auto *label = w.findChild<QLabel *>(QStringLiteral("label_ring1_item2"));
    ASSERT_TRUE(list && label);
    const RingItemConfig before = item;
    w.setRingEditor([](QWidget *, QString *text, int, int) {
        *text = QStringLiteral("ignored");
        return false;
    });
    list->setCurrentIndex(2);
    w.ringPage()->WheelComboBoxActivated(0, 1, 2);
    EXPECT_EQ(list->currentIndex(), before.id);
    EXPECT_EQ(item.id, before.id);
    EXPECT_STREQ(item.custom, before.custom);

    w.setRingEditor([](QWidget *, QString *text, int, int) {
        *text = QStringLiteral("4|Brush|[|]|219:26|221:27");
        return true;
    });
    w.ringPage()->WheelComboBoxActivated(0, 1, 2);
    EXPECT_EQ(item.id, 2);
    EXPECT_STREQ(item.custom, "4|Brush|[|]|219:26|221:27");
    EXPECT_EQ(label->text(), QStringLiteral("Brush"));
    // The built-in function again: the name goes.
    w.ringPage()->WheelComboBoxActivated(0, 1, 0);
    EXPECT_EQ(item.id, 0);
    EXPECT_TRUE(label->text().isEmpty());
}

TEST_F(SettingsWindowTest, CancelDropsAnApplicationAddedSinceTheLastConfirm)
{
    MainWindow &w = open({0x0935});
    ASSERT_TRUE(w.addApplicationPath(QStringLiteral("/usr/bin/paint")));
    w.CancelButtonClicked();
    EXPECT_EQ(w.applicationBar()->count(), 1);
    EXPECT_TRUE(w.currentAppPath().isEmpty());
    // The window edits the reloaded profile, not a freed one.
    w.mouseModeCheckBox()->click();
    EXPECT_EQ(w.currentApp(), &w.currentTablet()->TabletXMLData->CommonAPP);
    EXPECT_EQ(w.currentApp()->pens[0].RelativeCoords, 1);
}

// The tray's settings form and the pen page show the same switches of the profile.
TEST_F(SettingsWindowTest, SettingFormSwitchesWriteTheProfileAndThePenPage)
{
    MainWindow &w = open({0x0935});
    TabletXMLData &profile = *w.currentTablet()->TabletXMLData;
    profile.DisableInfo = 1;
    w.core().OpenSettingForm();
    SettingForm *form = w.core().settingForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->States().tipsOff);
    EXPECT_FALSE(form->States().pressureOff);

    // Both say what the box does, as their sibling switches do.
    EXPECT_EQ(form->findChild<QCheckBox *>(QStringLiteral("checkBox_slope"))->text(), QStringLiteral("Disable Tilt"));
    EXPECT_EQ(w.findChild<QCheckBox *>(QStringLiteral("checkBox_disableSlope"))->text(), QStringLiteral("Disable Tilt"));

    form->onDisablePressureClick(true);
    form->onHotkeyChecked(true);
    EXPECT_EQ(profile.DisablePressure, 1);
    EXPECT_EQ(profile.DisableQuickKey, 1);
    EXPECT_TRUE(w.findChild<QCheckBox *>(QStringLiteral("checkBox_disablePress"))->isChecked());
    EXPECT_TRUE(w.findChild<QCheckBox *>(QStringLiteral("checkBox_disableHotkey"))->isChecked());
    form->onTipMessageChecked(false);
    EXPECT_EQ(profile.DisableInfo, 0);
}

// Showing another tablet or page never resizes the window or its title bar (Glow L's
// pen page has the tablet light that Pad M's lacks).
TEST_F(SettingsWindowTest, WindowKeepsItsSizeAcrossTabletsAndPages)
{
    MainWindow &w = open({0x0935, 0x0933});
    w.OnShowDriver();
    QApplication::processEvents();
    const QSize size = w.size();
    QWidget *titleBar = w.findChild<QWidget *>(QStringLiteral("titleBar"));
    EXPECT_EQ(titleBar->height(), 32);
    auto *selector = w.findChild<QComboBox *>(QStringLiteral("comboBox_device"));
    for (int i = selector->count() - 1; i >= 0; --i) {
        selector->setCurrentIndex(i);
        emit selector->activated(i);
        for (SettingsPage page : w.listedPages()) {
            w.selectPage(page);
            QApplication::processEvents();
            EXPECT_EQ(w.size(), size) << selector->itemText(i).toStdString() << " page " << int(page);
            EXPECT_EQ(titleBar->height(), 32);
        }
    }
}

// The diagnosis dialog describes the tablet the window shows, follows a switch to another,
// names our driver version, and its English captions end alike.
TEST_F(SettingsWindowTest, DiagnosisDescribesTheShownTablet)
{
    MainWindow &w = open({0x0935, 0x0933}); // Pad M 44800 x 29600, Glow L 60960 x 38100
    auto *selector = w.findChild<QComboBox *>(QStringLiteral("comboBox_device"));
    auto show = [&](const QString &name) {
        const int index = selector->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        selector->setCurrentIndex(index);
        emit selector->activated(index);
    };
    show(QStringLiteral("Inkora Pad Glow L"));
    w.core().OpenDiagnosis();
    auto *dialog = w.findChild<DiagnosisFunction *>();
    ASSERT_NE(dialog, nullptr);
    auto field = [&](const char *key) { return dialog->valueLabel(QLatin1String(key))->text(); };
    EXPECT_EQ(field("DiagnosisFunction.device"), QStringLiteral("Inkora Pad Glow L"));
    EXPECT_TRUE(field("DiagnosisFunction.wintabletest").startsWith(QStringLiteral("60960 x 38100")))
        << field("DiagnosisFunction.wintabletest").toStdString();
    EXPECT_EQ(field("DiagnosisFunction.deviceversion"), UpdateServer::InstalledDriverVersion());
    for (QLabel *caption : dialog->findChildren<QLabel *>())
        EXPECT_FALSE(caption->text().contains(QChar(0xFF1A))) << caption->text().toStdString();

    show(QStringLiteral("Inkora Pad M"));
    EXPECT_EQ(field("DiagnosisFunction.device"), QStringLiteral("Inkora Pad M"));
    EXPECT_TRUE(field("DiagnosisFunction.wintabletest").startsWith(QStringLiteral("44800 x 29600")));
}

// Under --simulate the fixed screen carries the simulated pen display's EDID and the fake
// monitor answers DDC/CI: the search finds it and the tray offers its settings.
TEST_F(SettingsWindowTest, SimulatedPenDisplayIsFoundWithItsSettingsEntry)
{
    const StartupOptions saved = startupOptions();
    StartupOptions simulated = saved;
    simulated.simulate = true;
    setStartupOptions(simulated);
    MainWindow &w = open({0x094B});
    w.core().createTrayIcon();
    EXPECT_TRUE(w.core().penDisplayFound());
    ASSERT_NE(w.core().displaySettingAction(), nullptr);
    EXPECT_TRUE(w.core().displaySettingAction()->isVisible());
    EXPECT_EQ(w.core().mappingModel()->PenDisplayMonitor(), 1);
    const auto calibrate = [this] {
        return m_window->findChild<QPushButton *>(QStringLiteral("pushButton_calibrate"));
    };
    EXPECT_FALSE(calibrate()->isHidden()); // calibration is a pen display's

    // Started as the program starts, the search runs off the GUI thread and its result
    // comes back through the event loop.
    m_core.reset();
    m_tablets.clear();
    open({0x094B}, AppCore::StartOrder::TrayFirst);
    EXPECT_FALSE(m_core->penDisplayFound());
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_core->penDisplayFound(); }, 10000));
    EXPECT_EQ(m_core->mappingModel()->PenDisplayMonitor(), 1);
    m_core.reset();
    setStartupOptions(saved);

    // Without a pen display the entry and the calibration stay hidden.
    open({0x0935});
    m_window->core().createTrayIcon();
    EXPECT_FALSE(m_window->core().penDisplayFound());
    EXPECT_FALSE(m_window->core().displaySettingAction()->isVisible());
    EXPECT_TRUE(calibrate()->isHidden());
}

// --- express keys and usage ---------------------------------------------------------------

TEST_F(SettingsWindowTest, KeyListsStoreTheActionAndPostUsage)
{
    RecordingSink sink;
    MainWindow &w = open({0x0935});
    SetUsageRecordSink(&sink); // in place of the window's upload
    KeyConfig &key = w.currentApp()->keys[2];
    QComboBox *list = w.keyList(2);
    ASSERT_NE(list, nullptr);
    const int undo = ListIndexOf(list, 6);
    list->setCurrentIndex(undo);
    emit list->activated(undo);
    EXPECT_EQ(key.id, 0);
    EXPECT_EQ(key.Actid, 6);
    EXPECT_EQ(QString::fromUtf8(key.custom), list->itemText(undo));
    // The fourth key's list exists but the ninth is not shown on an eight-key model.
    w.OnShowDriver();
    w.selectPage(PageShortcutKey);
    EXPECT_TRUE(w.keyList(7)->isVisibleTo(&w));
    EXPECT_FALSE(w.keyList(8)->isVisibleTo(&w));

    const QStringList records = sink.records();
    ClearUsageRecordSink(&sink);
    EXPECT_TRUE(records.contains(UsageRecordText(QStringLiteral("ComboBoxKeyActivated"),
                                                 QString::fromLatin1(SimModels::find(0x0935)->product))))
        << records.join(QLatin1Char('\n')).toStdString();
}

// The Language menu: the open window, the tray and the reading threads' captions switch
// at once, the window keeps what it showed, and the choice outlives the run; "System"
// goes back to the desktop's language.
TEST_F(SettingsWindowTest, LanguageMenuSwitchesTheOpenWindowAndIsKept)
{
    MainWindow &w = open({0x0933});
    m_core->createTrayIcon();
    w.OnShowDriver();
    w.selectPage(PagePen);
    const MainWindow::View before = w.currentView();
    const auto entry = [](MainWindow &window, const QString &group) -> QAction * {
        auto *menu = window.findChild<QMenu *>(QStringLiteral("menu_language"));
        for (QAction *action : menu ? menu->actions() : QList<QAction *>()) {
            if (action->data().toString() == group)
                return action;
        }
        return nullptr;
    };
    ASSERT_NE(entry(w, QString()), nullptr);
    EXPECT_TRUE(entry(w, QString())->isChecked());
    ASSERT_NE(entry(w, QStringLiteral("German")), nullptr);
    entry(w, QStringLiteral("German"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    MainWindow &german = m_core->window();
    EXPECT_TRUE(german.isVisible());
    EXPECT_EQ(german.currentView().tablet, before.tablet);
    EXPECT_EQ(german.currentView().pageRow, before.pageRow);
    EXPECT_EQ(german.findChild<QPushButton *>(QStringLiteral("pushButton_setting"))->text(),
              QStringLiteral("Einstellungen"));
    EXPECT_EQ(german.findChild<QListWidget *>(QStringLiteral("listWidget_pages"))->item(1)->text(),
              QStringLiteral("Stift"));
    EXPECT_TRUE(entry(german, QStringLiteral("German"))->isChecked());
    EXPECT_EQ(m_core->showAction()->text(), QStringLiteral("Anzeigen"));
    EXPECT_EQ(ActionServices::Text(QStringLiteral("TR.Item.1"), QStringLiteral("Zoom")), QStringLiteral("Zoomen"));

    reopen({0x0933});
    EXPECT_EQ(m_core->languageGroup(), QStringLiteral("German"));
    m_core->SetLanguageChoice(QString());
    EXPECT_EQ(m_core->languageGroup(), QStringLiteral("English"));
    EXPECT_EQ(m_core->languageChoice(), QString());
}

// In the longest languages every text of every page fits its label or button (a widget
// narrower or lower than its text needs is clipped), in a window of the English size.
TEST_F(SettingsWindowTest, TextsFitInGermanAndRussian)
{
    open({0x0935, 0x0933, 0x0201, 0x0074});
    QSize englishSize;
    for (const char *group : {"English", "German", "Russian"}) {
        m_core->SetLanguageChoice(QLatin1String(group));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        MainWindow &w = m_core->window();
        w.OnShowDriver();
        auto *selector = w.findChild<QComboBox *>(QStringLiteral("comboBox_device"));
        QStringList clipped;
        int checked = 0;
        for (int i = 0; i < selector->count(); ++i) {
            selector->setCurrentIndex(i);
            emit selector->activated(i);
            for (SettingsPage page : w.listedPages()) {
                w.selectPage(page);
                QApplication::processEvents();
                for (QWidget *widget : w.findChildren<QWidget *>()) {
                    if (!widget->isVisible())
                        continue;
                    const auto *label = qobject_cast<QLabel *>(widget);
                    const auto *button = qobject_cast<QAbstractButton *>(widget);
                    const QString text = label ? label->text() : button ? button->text() : QString();
                    if (text.isEmpty() || (label && label->wordWrap()))
                        continue;
                    ++checked;
                    const QSize need = widget->minimumSizeHint().expandedTo(label ? widget->sizeHint() : QSize());
                    if (widget->width() < need.width() || widget->height() < need.height())
                        clipped << QStringLiteral("%1 %2 page %3: %4 \"%5\" %6x%7 < %8x%9")
                                       .arg(QLatin1String(group), selector->itemText(i))
                                       .arg(int(page))
                                       .arg(widget->objectName(), text)
                                       .arg(widget->width())
                                       .arg(widget->height())
                                       .arg(need.width())
                                       .arg(need.height());
                }
            }
        }
        clipped.removeDuplicates();
        EXPECT_GT(checked, 200);
        EXPECT_TRUE(clipped.isEmpty()) << qPrintable(clipped.join(QLatin1Char('\n')));
        // The longer texts fit without making the window larger than in English.
        if (englishSize.isEmpty())
            englishSize = w.size();
        EXPECT_EQ(w.size(), englishSize) << group;
    }
}

} // namespace
