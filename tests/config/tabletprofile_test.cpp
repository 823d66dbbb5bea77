// A tablet's profiles: loading at open and on cancel, saving, the copy for a second
// tablet of the model, application edits while its reading thread runs, and the
// support tool's view of a profile file.

#include "config/profilestore.h"
#include "config/profiletext.h"
#include "device/ctablet.h"
#include "tests/config/profiletestsupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

namespace {

class TabletProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.filePath(QStringLiteral("config.xml"));
        ASSERT_TRUE(WriteAll(m_path, ReadAll(DefaultConfigPath())));
    }
    std::unique_ptr<CTablet> tablet()
    {
        auto t = std::make_unique<CTablet>(0);
        t->profileStore.setPath(m_path);
        t->m_DeviceAttributes.WidthInch100 = 882;
        t->m_DeviceAttributes.HeightInch100 = 582;
        // Screen 0 is the whole desktop: two screens side by side.
        t->SetScreenRectProvider([](int index, QRect *rect) {
            if (index != 0)
                return false;
            *rect = QRect(-1920, 0, 3840, 1080);
            return true;
        });
        return t;
    }
    QTemporaryDir m_dir;
    QString m_path;
};

TEST_F(TabletProfileTest, LoadFillsEmptyAreasFromTheDeviceAndTheScreen)
{
    auto t = tablet();
    {
        ProfileLog log;
        ASSERT_TRUE(t->LoadProfile(QStringLiteral("InkoraPadM")));
        EXPECT_TRUE(log.has(QStringLiteral("Function  LoadConfig success"))) << qPrintable(log.all());
    }
    const TabletXMLData &p = *t->TabletXMLData;
    EXPECT_EQ(t->profileKey, QStringLiteral("InkoraPadM"));
    EXPECT_EQ(p.DeviceKeyNum, 8);
    EXPECT_EQ(p.TW, 882);
    EXPECT_EQ(p.TH, 582);
    EXPECT_EQ(p.SX, -1920);
    EXPECT_EQ(p.SW, 3840);
    EXPECT_EQ(t->SX, -1920);
    EXPECT_EQ(t->SW, 3840);
    EXPECT_EQ(t->SH, 1080);
    EXPECT_EQ(t->mappingChanged.load(), 1);

    // A screen index the table does not have leaves the area empty.
    auto other = tablet();
    other->SetScreenRectProvider([](int, QRect *) { return false; });
    ASSERT_TRUE(other->LoadProfile(QStringLiteral("InkoraPadM")));
    EXPECT_EQ(other->TabletXMLData->SW, 0);
    EXPECT_EQ(other->mappingChanged.load(), 0);

    // A failed load changes nothing.
    ProfileLog log;
    EXPECT_FALSE(t->LoadProfile(QStringLiteral("NoSuchModel")));
    EXPECT_TRUE(log.has(QStringLiteral("ReadXml Failed!")));
    EXPECT_EQ(t->profileKey, QStringLiteral("InkoraPadM"));
    EXPECT_EQ(t->TabletXMLData->DeviceKeyNum, 8);
    EXPECT_EQ(t->TabletXMLData->SX, -1920);
}

TEST_F(TabletProfileTest, CancelReloadsAndConfirmSaves)
{
    auto t = tablet();
    ASSERT_TRUE(t->LoadProfile(QStringLiteral("InkoraPadGlowL")));
    // Only an edit of what the file holds makes the profile one OK writes and Cancel
    // reloads; fine mode is not stored.
    EXPECT_FALSE(t->ProfileEdited());
    t->TabletXMLData->FineMode = 1;
    EXPECT_FALSE(t->ProfileEdited());
    // A pen tablet's profile has no calibration element: what the record holds stays.
    t->TabletXMLData->fKX = 1.75f;
    EXPECT_TRUE(t->ProfileEdited());
    t->TabletXMLData->DisableInfo = 1;
    ASSERT_EQ(t->AddApplication(QStringLiteral("/usr/bin/krita")), AppEditResult::Done);
    EXPECT_EQ(t->AddApplication(QStringLiteral("/usr/bin/krita")), AppEditResult::Duplicate);
    const uint32_t generation = t->appsGeneration;

    // Cancel: the file's state again.
    ASSERT_TRUE(t->LoadProfile(QStringLiteral("InkoraPadGlowL")));
    EXPECT_FALSE(t->ProfileEdited());
    EXPECT_TRUE(t->apps.empty());
    EXPECT_EQ(t->TabletXMLData->Apps, nullptr);
    EXPECT_EQ(t->TabletXMLData->DisableInfo, 0);
    EXPECT_FLOAT_EQ(t->TabletXMLData->fKX, 1.75f);
    EXPECT_NE(t->appsGeneration, generation);

    // Confirm: saved, and a later open of the model sees it.
    ASSERT_EQ(t->AddApplication(QStringLiteral("/usr/bin/krita")), AppEditResult::Done);
    ASSERT_EQ(t->AddApplication(QStringLiteral("/usr/bin/gimp")), AppEditResult::Done);
    ASSERT_TRUE(t->SaveProfile());
    EXPECT_FALSE(t->ProfileEdited());
    t->apps.at(QStringLiteral("/usr/bin/gimp"))->keys[11].Actid = 104; // an application's key too
    EXPECT_TRUE(t->ProfileEdited());
    t->TabletXMLData->Orientation = 1;
    EXPECT_EQ(t->DeleteApplication(QString()), AppEditResult::CommonProfile);
    ASSERT_TRUE(t->SaveProfile());
    EXPECT_FALSE(t->ProfileEdited());

    auto later = tablet();
    ASSERT_TRUE(later->LoadProfile(QStringLiteral("InkoraPadGlowL")));
    ASSERT_EQ(later->apps.size(), 2u);
    EXPECT_EQ(later->apps.at(QStringLiteral("/usr/bin/gimp"))->keys[11].Actid, 104);
    EXPECT_EQ(later->TabletXMLData->Orientation, 1);
}

// A keypad profile from before its dial was a ring (twelve keys, no ring element) is read
// as ten keys and the dial, and the ring function chosen for it is saved.
TEST_F(TabletProfileTest, KeypadDialOfAnEarlierProfileIsItsRing)
{
    QByteArray file = ReadAll(m_path);
    const int at = file.indexOf("<InkoraKeysK12>");
    const int end = file.indexOf("</InkoraKeysK12>", at);
    ASSERT_GT(at, 0);
    QByteArray model = file.mid(at, end - at);
    const int ring = model.indexOf("<R id=");
    model.remove(ring, model.indexOf("</R>", ring) + 4 - ring);
    model.replace("<DeviceRingNum>1</DeviceRingNum>", "<DeviceRingNum>0</DeviceRingNum>");
    model.replace("<DeviceKeyNum>10</DeviceKeyNum>", "<DeviceKeyNum>12</DeviceKeyNum>");
    ASSERT_TRUE(WriteAll(m_path, file.replace(at, end - at, model)));

    auto t = tablet();
    t->productId = 0x0201;
    ASSERT_TRUE(t->LoadProfile(QStringLiteral("InkoraKeysK12")));
    EXPECT_EQ(t->TabletXMLData->DeviceKeyNum, 10);
    EXPECT_EQ(t->TabletXMLData->DeviceRingNum, 1);
    t->TabletXMLData->CommonAPP.ring.id = 2;
    ASSERT_TRUE(t->SaveProfile());

    auto later = tablet();
    later->productId = 0x0201;
    ASSERT_TRUE(later->LoadProfile(QStringLiteral("InkoraKeysK12")));
    EXPECT_EQ(later->TabletXMLData->DeviceKeyNum, 10);
    EXPECT_EQ(later->TabletXMLData->DeviceRingNum, 1);
    EXPECT_EQ(later->TabletXMLData->CommonAPP.ring.id, 2);
}

TEST_F(TabletProfileTest, SecondTabletOfAModelOwnsItsCopy)
{
    auto first = tablet();
    ASSERT_TRUE(first->LoadProfile(QStringLiteral("InkoraPadGlowW")));
    ASSERT_EQ(first->AddApplication(QStringLiteral("/usr/bin/krita")), AppEditResult::Done);
    auto second = tablet();
    second->CopyProfileFrom(*first);
    EXPECT_EQ(second->profileKey, QStringLiteral("InkoraPadGlowW"));
    EXPECT_EQ(second->TabletXMLData->DeviceRingNum, 2);
    ASSERT_EQ(second->apps.size(), 1u);
    EXPECT_NE(second->apps.begin()->second, first->apps.begin()->second);

    // The first tablet is unplugged: the second one's profiles live on (ASan checks).
    first.reset();
    EXPECT_EQ(ProfileText(second->apps.begin()->second->path), QStringLiteral("/usr/bin/krita"));
    EXPECT_EQ(second->DeleteApplication(QStringLiteral("/usr/bin/krita")), AppEditResult::Done);

    // SaveAll writes both open models into the one file.
    auto keypad = tablet();
    ASSERT_TRUE(keypad->LoadProfile(QStringLiteral("InkoraKeysK12")));
    keypad->TabletXMLData->CommonAPP.keys[0].Actid = 101;
    second->TabletXMLData->DisableSlope = 1;
    ASSERT_TRUE(SaveAllProfiles({second.get(), keypad.get()}));
    auto check = tablet();
    ASSERT_TRUE(check->LoadProfile(QStringLiteral("InkoraKeysK12")));
    EXPECT_EQ(check->TabletXMLData->CommonAPP.keys[0].Actid, 101);
    ASSERT_TRUE(check->LoadProfile(QStringLiteral("InkoraPadGlowW")));
    EXPECT_EQ(check->TabletXMLData->DisableSlope, 1);
}

// The settings window adds, deletes and reloads application profiles while the
// tablet's reading thread runs packets through the pen tracking and the engine. Run
// under the thread sanitizer this checks that both sides keep to the profile lock.
TEST_F(TabletProfileTest, ApplicationEditsWhilePacketsAreDecoded)
{
    auto t = tablet();
    ASSERT_TRUE(t->LoadProfile(QStringLiteral("InkoraPadGlowL"))); // two pens
    t->decodeEnabled = 1;
    t->productId = 0x0933;

    std::atomic<bool> stop{false};
    std::atomic<int> packets{0};
    std::thread reader([&] {
        // [0]=id [1]=0xA0 hover [2..5]=x,y [6..7]=pressure | pen id << 5 [8..9]=tilt
        quint8 report[10] = {0x02, 0xA0, 0x10, 0x27, 0x20, 0x4E, 0x00, 0x00, 0x00, 0x00};
        while (!stop) {
            report[7] = quint8((packets % 2) << 5); // pens 0 and 1 in turn
            t->ReceiveTabletPackets(report, int(sizeof report));
            ++packets;
        }
    });
    for (int round = 0; round < 200; ++round) {
        t->AddApplication(QStringLiteral("/usr/bin/app%1").arg(round % 9));
        t->DeleteApplication(QStringLiteral("/usr/bin/app%1").arg((round + 4) % 9));
        if (round % 50 == 0)
            t->LoadProfile(QStringLiteral("InkoraPadGlowL"));
    }
    // Let the reader see at least one packet after the last change.
    const int seen = packets;
    while (packets == seen)
        std::this_thread::yield();
    stop = true;
    reader.join();
    EXPECT_LE(int(t->apps.size()), kMaxApplications);
    EXPECT_EQ(int(t->apps.size()), ApplicationCount(*t->TabletXMLData));
}

// ---------------------------------------------------------------------------
// inkora-hidtool

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun Hidtool(const QStringList &args)
{
    QProcess p;
    p.start(qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/inkora-hidtool"), args);
    ToolRun run;
    if (!p.waitForFinished(60000))
        return run;
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

TEST_F(TabletProfileTest, ProfileDumpShowsTheLoadedRecords)
{
    const ToolRun ok = Hidtool({QStringLiteral("profile"), QStringLiteral("dump"), QStringLiteral("--profile"), m_path,
                                QStringLiteral("--model"), QStringLiteral("InkoraPadGlowL")});
    ASSERT_EQ(ok.exitCode, 0) << ok.err.constData();
    const QJsonObject dump = QJsonDocument::fromJson(ok.out).object();
    const QJsonObject p = dump.value(QStringLiteral("profile")).toObject();
    EXPECT_EQ(p.value(QStringLiteral("DeviceControl")).toInt(), 1);
    EXPECT_EQ(p.value(QStringLiteral("DevicePenNum")).toInt(), 2);
    const QJsonObject common = p.value(QStringLiteral("CommonAPP")).toObject();
    EXPECT_EQ(common.value(QStringLiteral("pens")).toArray().size(), kProfilePens);
    EXPECT_EQ(common.value(QStringLiteral("pens")).toArray().at(1).toObject().value(QStringLiteral("buttons"))
                  .toArray().at(0).toObject().value(QStringLiteral("Actid")).toInt(),
              27);
    EXPECT_EQ(common.value(QStringLiteral("keys")).toArray().size(), kProfileKeys);
    EXPECT_EQ(common.value(QStringLiteral("TRMode")).toInt(), 1);
    EXPECT_TRUE(dump.value(QStringLiteral("log")).toArray().contains(QStringLiteral("find the xml Config: InkoraPadGlowL")));

    const ToolRun missing = Hidtool({QStringLiteral("profile"), QStringLiteral("dump"), QStringLiteral("--profile"), m_path,
                                     QStringLiteral("--model"), QStringLiteral("Nope")});
    EXPECT_EQ(missing.exitCode, 2);
    const QJsonObject failed = QJsonDocument::fromJson(missing.out).object();
    EXPECT_EQ(failed.value(QStringLiteral("error")).toInt(), ProfileModelMissing);
    EXPECT_TRUE(failed.value(QStringLiteral("log")).toArray().contains(QStringLiteral("can not find the pid xml. Nope")));

    EXPECT_EQ(Hidtool({QStringLiteral("profile"), QStringLiteral("dump"), QStringLiteral("--model")}).exitCode, 2);
}

TEST_F(TabletProfileTest, ReplayTakesTheModelsProfile)
{
    // Product 0x0935 (InkoraPadM, one pen): a pen hovering with pen id 1 is a new pen
    // only when the profile says the model has two.
    const QString recording = m_dir.filePath(QStringLiteral("pen.txt"));
    ASSERT_TRUE(WriteAll(recording, "I: 3 28bd 0935\nE: 0.000000 10 02 a0 10 27 20 4e 00 20 00 00\n"));
    QByteArray twoPens = ReadAll(m_path);
    const int at = twoPens.indexOf("<InkoraPadM>");
    ASSERT_GE(at, 0);
    const int pens = twoPens.indexOf("<DevicePenNum>1</DevicePenNum>", at);
    twoPens.replace(pens, int(qstrlen("<DevicePenNum>1</DevicePenNum>")), "<DevicePenNum>2</DevicePenNum>");
    const QString twoPenPath = m_dir.filePath(QStringLiteral("twopens.xml"));
    ASSERT_TRUE(WriteAll(twoPenPath, twoPens));

    const ToolRun plain = Hidtool({QStringLiteral("replay"), recording, QStringLiteral("--profile"), m_path});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.constData();
    EXPECT_FALSE(plain.out.contains("\"id\":89"));
    const ToolRun two = Hidtool({QStringLiteral("replay"), recording, QStringLiteral("--profile"), twoPenPath});
    ASSERT_EQ(two.exitCode, 0) << two.err.constData();
    EXPECT_TRUE(two.out.contains("\"event\":\"message\",\"line\":2,\"tablet\":0,\"id\":89,\"data\":1")) << two.out.constData();

    const QString broken = m_dir.filePath(QStringLiteral("broken.xml"));
    ASSERT_TRUE(WriteAll(broken, "<InkoraConfig version=\"1.2.0\"><InkoraPadM>"));
    const ToolRun failed = Hidtool({QStringLiteral("replay"), recording, QStringLiteral("--profile"), broken});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.contains("InkoraPadM")) << failed.err.constData();
}

} // namespace
