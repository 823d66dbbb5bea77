// USB tablets end to end on simulated devices: open, identity, mode, reading thread,
// commands, close.
#include "usbtestenv.h"
#include "action/caction.h"

#include "config/modeltables.h"
#include "device/cusbtablet.h"
#include "device/devicethread.h"
#include "sim/simhidbackend.h"

#include <QSignalSpy>
#include <QTest>

#include <cstring>

namespace {

// Captures log lines for the checks on the open sequence's messages.
QStringList g_Log;
void Capture(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_Log << text;
}

struct LogCapture {
    LogCapture() { g_Log.clear(); m_previous = qInstallMessageHandler(Capture); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    bool contains(const QString &text) const
    {
        for (const QString &line : g_Log) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
    QtMessageHandler m_previous;
};

class UsbTablet : public UsbTestEnv {
protected:
    std::unique_ptr<CUSBTablet> Open(const std::shared_ptr<SimTablet> &sim, int slot = 0)
    {
        auto tablet = std::make_unique<CUSBTablet>(slot, &m_backend, m_names.get());
        AttachActionEngine(*tablet);
        const UsbModelEntry *entry = FindUsbModel(sim->model().productId);
        EXPECT_NE(entry, nullptr);
        EXPECT_TRUE(tablet->OpenUsbDevice(SimHidBackend::interfacePath(*sim).toLocal8Bit(), entry));
        return tablet;
    }
    SimHidBackend m_backend;
};

} // namespace

TEST_F(UsbTablet, OpensEverySimulatedModelWithItsIdentityAndMode)
{
    for (const SimModel &model : SimModels::all()) {
        auto sim = m_backend.plug(model);
        LogCapture log;
        auto tablet = Open(sim);
        const DeviceAttributes &a = tablet->m_DeviceAttributes;
        EXPECT_STREQ(a.ModelKey, model.modelKey);
        EXPECT_STREQ(a.ProductName, model.product);
        EXPECT_STREQ(a.ICVersion, model.firmware);
        EXPECT_EQ(a.MaxX, model.maxX) << model.modelKey;
        EXPECT_EQ(a.MaxPressure, model.maxPressure);
        EXPECT_EQ(a.Resolution, model.resolution ? model.resolution : 5080);
        EXPECT_EQ(a.WidthInch100, model.maxX * 100 / a.Resolution);
        EXPECT_EQ(a.TabletType[1], model.receiver ? 0x40 : 0x00);
        EXPECT_EQ(tablet->productId, model.productId);
        EXPECT_EQ(sim->mode(), FindUsbModel(model.productId)->mode) << model.modelKey;
        EXPECT_TRUE(log.contains(QStringLiteral("Function  LoadConfig success")));
        EXPECT_TRUE(log.contains(QStringLiteral("Get Max X:0x")));
        // The light query is answered only by models with lights; the open goes on anyway.
        EXPECT_EQ(log.contains(QStringLiteral("SentCmd(0,2,0) OK")), model.lights) << model.modelKey;
        EXPECT_EQ(log.contains(QStringLiteral("SentCmd(0,1,0) Failed")), !model.lights) << model.modelKey;

        const QVector<QByteArray> commands = sim->commands();
        ASSERT_FALSE(commands.isEmpty());
        if (model.productId == 0x0201) // keypad form of the mode command
            EXPECT_EQ(commands.first().left(3), QByteArray::fromHex("030102"));
        else
            EXPECT_EQ(commands.first().left(2), QByteArray::fromHex("02b0"));
        EXPECT_EQ(commands.first().size(), CUSBTablet::kCommandLength);

        tablet->CloseDevice();
        EXPECT_EQ(sim->mode(), 2); // the device is handed back in its idle mode
        m_backend.unplug(sim);
    }
}

TEST_F(UsbTablet, KeypadWithoutGeometryStringOpensWithDefaultResolution)
{
    auto sim = m_backend.plug(*SimModels::find(0x0201));
    {
        // The simulated keypad answers with a zero pen area: no warning that would send
        // a user looking for udev rules.
        LogCapture log;
        Open(sim);
        EXPECT_FALSE(log.contains(QStringLiteral("Unable to read indexed string 100")));
    }
    sim->setWithoutGeometry();
    LogCapture log;
    auto tablet = Open(sim);
    EXPECT_TRUE(log.contains(QStringLiteral("Unable to read indexed string 100")));
    EXPECT_EQ(tablet->m_DeviceAttributes.Resolution, 5080);
    EXPECT_EQ(tablet->m_DeviceAttributes.MaxX, 0);
    EXPECT_EQ(tablet->m_DeviceAttributes.WidthInch100, 0);
}

TEST_F(UsbTablet, DisplayNameComesFromTheNameTableByConnection)
{
    m_names->setValue(QStringLiteral("Common/PID_0935"), QStringLiteral("My Pad"));
    m_names->setValue(QStringLiteral("Dongle/PID_0934"), QStringLiteral("Pad over the air"));
    m_names->setValue(QStringLiteral("Common/PID_0934"), QStringLiteral("wrong group"));
    auto wired = Open(m_backend.plug(*SimModels::find(0x0935)), 0);
    auto wireless = Open(m_backend.plug(*SimModels::find(0x0934)), 1);
    auto unnamed = Open(m_backend.plug(*SimModels::find(0x0074)), 2);
    EXPECT_STREQ(wired->m_DeviceAttributes.DisplayName, "My Pad");
    EXPECT_STREQ(wireless->m_DeviceAttributes.DisplayName, "Pad over the air");
    EXPECT_STREQ(unnamed->m_DeviceAttributes.DisplayName, SimModels::find(0x0074)->product);
}

TEST_F(UsbTablet, ReportsFlowFromTheReadingThreadUntilClose)
{
    auto sim = m_backend.plug(*SimModels::find(0x0935));
    auto tablet = Open(sim);
    tablet->emitToUi = 1;
    // Queued to this thread, as the main window receives them.
    QObject receiver;
    QVector<MultiData> results;
    QVector<int> messages;
    QObject::connect(tablet.get(), &CTablet::SentMultiData, &receiver,
                     [&](CTablet *, MultiData m) { results << m; }, Qt::QueuedConnection);
    QObject::connect(tablet.get(), qOverload<int, int, int>(&CTablet::PostActionMsg), &receiver,
                     [&](int, int id, int) { messages << id; }, Qt::QueuedConnection);

    sim->queueStroke(1000, 1000, 20000, 15000, 10, 3000);
    // hover, 10 samples, tip up, out of range
    ASSERT_TRUE(QTest::qWaitFor([&] { return results.size() >= 13; }, 5000)) << results.size();
    EXPECT_TRUE(results.last().flags & PacketPen);

    sim->queueBattery(42, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.contains(88); }, 5000));
    EXPECT_EQ(tablet->batteryLevel.load(), 42);

    tablet->CloseDevice();
    EXPECT_EQ(tablet->readingThread(), nullptr);
    EXPECT_FALSE(tablet->isOpen());
}

TEST_F(UsbTablet, DeviceGoneEndsTheThreadAndCloseStillWorks)
{
    auto sim = m_backend.plug(*SimModels::find(0x0935));
    auto tablet = Open(sim);
    DeviceThread *thread = tablet->readingThread();
    ASSERT_NE(thread, nullptr);
    m_backend.unplug(sim);
    // isFinished() may be asked from any thread; a signal spy on the reading thread's own
    // finished signal would be filled on that thread while this one reads it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return thread->isFinished(); }, 5000));
    EXPECT_TRUE(thread->deviceGone());
    tablet->CloseDevice(); // the mode command goes nowhere; nothing hangs
    EXPECT_EQ(tablet->readingThread(), nullptr);
}

TEST_F(UsbTablet, CommandBytesAndTheirCapabilityConditions)
{
    auto lights = m_backend.plug(*SimModels::find(0x0934)); // lights, 0xB8
    auto plain = m_backend.plug(*SimModels::find(0x0074));  // neither
    auto a = Open(lights, 0);
    auto b = Open(plain, 1);
    const int before = plain->commands().size();
    b->SentCmd(0, 2, 0); // no light query without the capability
    b->SentCmd(4, 0, 0); // no 0xB8 without the capability
    b->SentCmd(9, 1, 1); // unknown type
    EXPECT_EQ(plain->commands().size(), before);

    a->SentCmd(1, 2, 7);
    EXPECT_EQ(lights->commands().last(), QByteArray::fromHex("02b401010207000000000000"));
    a->SentCmd(2, 1, 7);
    EXPECT_EQ(lights->commands().last(), QByteArray::fromHex("02b402010001070000000000"));
    a->SentCmd(2, 3, 7); // b only goes with a = 1
    EXPECT_EQ(lights->commands().last(), QByteArray::fromHex("02b402010003000000000000"));
    a->SentCmd(4, 0, 0);
    EXPECT_EQ(lights->commands().last(), QByteArray::fromHex("02b80400000000000000"));
    a->SentCmd(3, 4, 0);
    EXPECT_EQ(lights->commands().last(), QByteArray::fromHex("02b00400000000000000"));

    // transfer packets
    const quint8 data[29] = {'<', 'K'};
    a->SendProfileChunk(1, nullptr, 300);
    QByteArray start = QByteArray::fromHex("02b6012c0100000100");
    start.append(QByteArray(32 - start.size(), '\0'));
    EXPECT_EQ(lights->commands().last(), start);
    a->SendProfileChunk(3, data, 29);
    EXPECT_EQ(lights->commands().last().size(), 32);
    EXPECT_EQ(lights->commands().last().mid(3, 2), QByteArray("<K"));
    a->SendProfileChunk(2, nullptr, 0);
    EXPECT_EQ(lights->commands().last().left(3), QByteArray::fromHex("02b602"));
    a->ProfileTransferControl(2, 0);
    EXPECT_EQ(lights->commands().last(), QByteArray::fromHex("02b60002000000000000"));
    a->ProfileTransferControl(1, 0);
    EXPECT_EQ(lights->commands().last(), QByteArray::fromHex("02b60001000000000000"));
    a->ProfileTransferControl(5, 0);
    EXPECT_EQ(lights->commands().last(), QByteArray::fromHex("02b60200000000000000"));
}

TEST_F(UsbTablet, ASecondTabletOfAModelGetsAnIndependentCopyOfTheProfiles)
{
    auto first = Open(m_backend.plug(*SimModels::find(0x0935)), 0);
    TabletTable::Set(0, first.get());
    ASSERT_EQ(first->AddApplication(QStringLiteral("/usr/bin/app-one")), AppEditResult::Done);
    first->TabletXMLData->DisableInfo = 1;

    auto second = Open(m_backend.plug(*SimModels::find(0x0935)), 1);
    EXPECT_EQ(second->TabletXMLData->DisableInfo, 1);
    ASSERT_EQ(second->apps.size(), 1u);
    AppConfigNode *mine = second->apps.begin()->second;
    EXPECT_NE(mine, first->apps.begin()->second);

    // independent from here on
    first->TabletXMLData->DisableInfo = 0;
    std::strcpy(first->apps.begin()->second->keys[0].custom, "changed");
    EXPECT_EQ(second->TabletXMLData->DisableInfo, 1);
    EXPECT_STRNE(mine->keys[0].custom, "changed");
    TabletTable::Clear(0);
    first.reset();
    EXPECT_EQ(second->apps.begin()->second, mine); // still alive after the first went
}
