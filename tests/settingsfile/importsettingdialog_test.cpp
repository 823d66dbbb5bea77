// The device transfer dialog end to end: a simulated keypad with an on-board profile
// store takes a profile in 29-byte chunks and gives it back.
#include "usbtestenv.h"

#include "app/importsettingdialog.h"
#include "config/modeltables.h"
#include "config/profilestore.h"
#include "device/cusbtablet.h"
#include "sim/simhidbackend.h"
#include "sim/simmodel.h"

#include <QSignalSpy>
#include <QTest>

#include <cstring>

namespace {

QString English(const QString &, const QString &fallback)
{
    return fallback;
}

class Transfer : public UsbTestEnv {
protected:
    void SetUp() override
    {
        UsbTestEnv::SetUp();
        for (const SimModel &m : SimModels::all()) {
            if (m.onboardProfile) {
                m_sim = m_backend.plug(m);
                break;
            }
        }
        ASSERT_TRUE(m_sim) << "no simulated model stores a profile on board";
        m_tablet = std::make_unique<CUSBTablet>(0, &m_backend, m_names.get());
        ASSERT_TRUE(m_tablet->OpenUsbDevice(SimHidBackend::interfacePath(*m_sim).toLocal8Bit(),
                                            FindUsbModel(m_sim->model().productId)));
    }
    void TearDown() override
    {
        m_tablet->CloseDevice();
        m_tablet.reset();
        UsbTestEnv::TearDown();
    }
    bool RunUntilResult(ImportSettingDialog &dialog)
    {
        return QTest::qWaitFor([&] { return dialog.statusText() != QStringLiteral("0%")
                                            && !dialog.statusText().endsWith(QLatin1Char('%')); },
                               5000);
    }

    SimHidBackend m_backend;
    std::shared_ptr<SimTablet> m_sim;
    std::unique_ptr<CUSBTablet> m_tablet;
};

} // namespace

TEST_F(Transfer, SendsTheCommonProfileInChunksAndFetchesItBack)
{
    AppConfigNode &common = m_tablet->TabletXMLData->CommonAPP;
    common.SelectID = 1;
    common.groups[1].enabled = 1;
    common.groups[1].keys[4].id = 1;
    std::strcpy(common.groups[1].keys[4].custom, "1|Paste|17:29+86:47");

    ImportSettingDialog send(m_tablet.get(), ImportSettingDialog::SendToDevice, QString(), English);
    send.setChunkPause(1);
    QSignalSpy chunks(&send, &ImportSettingDialog::ChunkSent);
    send.Start();
    ASSERT_TRUE(RunUntilResult(send));
    EXPECT_EQ(send.statusText(), QStringLiteral("Success"));
    EXPECT_TRUE(send.succeeded());

    const QByteArray expected = WriteKeypadDocument(common);
    EXPECT_EQ(m_sim->onboardProfile(), expected);
    EXPECT_EQ(chunks.count(), expected.size() / 29 + 1);
    for (const QList<QVariant> &c : chunks)
        EXPECT_EQ(c.at(1).toByteArray().size(), 29);

    // Change the profile here, then fetch the device's copy back into the tablet.
    std::strcpy(common.groups[1].keys[4].custom, "changed");
    ImportSettingDialog fetch(m_tablet.get(), ImportSettingDialog::FetchFromDevice, QString(), English);
    fetch.Start();
    ASSERT_TRUE(RunUntilResult(fetch));
    EXPECT_EQ(fetch.statusText(), QStringLiteral("Success"));
    ASSERT_TRUE(m_tablet->ApplyReceivedProfile());
    EXPECT_STREQ(common.groups[1].keys[4].custom, "1|Paste|17:29+86:47");
    EXPECT_EQ(common.SelectID, 1);
}

TEST_F(Transfer, ADeviceWithoutAStoredProfileSaysSoAndOffersRetry)
{
    m_sim->setOnboardProfile(QByteArray());
    ImportSettingDialog fetch(m_tablet.get(), ImportSettingDialog::FetchFromDevice, QString(), English);
    fetch.Start();
    ASSERT_TRUE(RunUntilResult(fetch));
    EXPECT_EQ(fetch.statusText(), QStringLiteral("There is no profile in the current device."));
    EXPECT_FALSE(fetch.succeeded());
    EXPECT_FALSE(m_tablet->ApplyReceivedProfile()); // nothing received, nothing changed

    // A document that does not parse is a failure too, and leaves the profile alone.
    m_sim->setOnboardProfile(QByteArray("<KPD05App><app><SelectID>2"));
    fetch.Start();
    ASSERT_TRUE(RunUntilResult(fetch));
    EXPECT_EQ(fetch.statusText(), QStringLiteral("Fail"));
}

TEST_F(Transfer, TabletGoneHalfWayEndsInFailureAndKeepsBothProfiles)
{
    const QByteArray stored = m_sim->onboardProfile();
    AppConfigNode &common = m_tablet->TabletXMLData->CommonAPP;
    std::strcpy(common.groups[1].keys[4].custom, "1|Copy|17:29+46:46");
    const QByteArray local = WriteKeypadDocument(common);
    ASSERT_NE(local, stored);

    // Sending: the tablet is pulled out after the third 29-byte chunk.
    ImportSettingDialog send(m_tablet.get(), ImportSettingDialog::SendToDevice, QString(), English);
    send.setChunkPause(1);
    send.setReplyTimeout(300);
    QObject::connect(&send, &ImportSettingDialog::ChunkSent, [&](int index, const QByteArray &) {
        if (index == 2)
            m_backend.unplug(m_sim);
    });
    send.Start();
    ASSERT_TRUE(RunUntilResult(send)) << send.statusText().toStdString();
    EXPECT_EQ(send.statusText(), QStringLiteral("Fail"));
    EXPECT_FALSE(send.succeeded());
    EXPECT_EQ(m_sim->onboardProfile(), stored); // a cut upload never replaces the stored one
    EXPECT_EQ(WriteKeypadDocument(common), local);

    // Fetching from a tablet that is gone: no answer at all is a failure too, and the
    // profile here stays as it was.
    ImportSettingDialog fetch(m_tablet.get(), ImportSettingDialog::FetchFromDevice, QString(), English);
    fetch.setReplyTimeout(300);
    fetch.Start();
    ASSERT_TRUE(RunUntilResult(fetch)) << fetch.statusText().toStdString();
    EXPECT_EQ(fetch.statusText(), QStringLiteral("Fail"));
    EXPECT_FALSE(m_tablet->ApplyReceivedProfile());
    EXPECT_EQ(WriteKeypadDocument(common), local);
}
