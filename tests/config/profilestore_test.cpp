// The profile file: the shipped defaults, load -> save -> load, the walk of the
// document (positions, tag rules, defaults), the application list on saving, atomic
// replacement of the file, and files that are damaged or hostile.

#include "config/configversion.h"
#include "config/modeltables.h"
#include "config/profilestore.h"
#include "config/profiletext.h"
#include "config/xmlguard.h"
#include "device/decoder.h"
#include "sim/simmodel.h"
#include "tests/config/profiletestsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDomDocument>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

#include <functional>

namespace {

// DeviceInfo, Common and CommonAPP of a small model; apps is the content of Apps.
QByteArray Model(const QByteArray &key, const QByteArray &deviceInfo, const QByteArray &commonApp,
                 const QByteArray &apps = QByteArray(), const QByteArray &common = QByteArray())
{
    const QByteArray defaultCommon =
        "<Common><ScreenMapping id=\"1\"><SX>10</SX><SY>20</SY><SW>300</SW><SH>200</SH></ScreenMapping>"
        "<TabletPannel Orientation=\"2\"><TX>1</TX><TY>2</TY><TW>3</TW><TH>4</TH></TabletPannel>"
        "<DisableInfo>1</DisableInfo><DisableQuickKey>0</DisableQuickKey>"
        "<DisablePressure>1</DisablePressure><DisableSlope>0</DisableSlope>"
        "<Rects><Rect X=\"1.9\" Y=\"-2.7\" W=\"3\" H=\"4\"/></Rects>"
        "<SC fKX=\"1.5\" fKY=\"0.5\" fXLC=\"2\" fYLC=\"-3\"/></Common>";
    return "<" + key + "><DeviceInfo>" + deviceInfo + "</DeviceInfo>" + (common.isEmpty() ? defaultCommon : common)
           + "<CommonAPP>" + commonApp + "</CommonAPP><Apps>" + apps + "</Apps></" + key + ">";
}

struct Loaded {
    DeviceProfile profile;
    bool ok = false;
    int code = -1;
};

std::unique_ptr<Loaded> Load(const QByteArray &document, const QString &key = QStringLiteral("M"))
{
    auto l = std::make_unique<Loaded>();
    l->ok = LoadConfigFromData(document, key, &l->profile.data(), &l->profile.apps(), &l->code);
    return l;
}

// The model keys of both tables, each once, with the kind of device.
QVector<QPair<QString, int>> TableKeys()
{
    QVector<QPair<QString, int>> keys;
    QSet<QString> seen;
    const auto add = [&](const char *model, int kind) {
        const QString key = QString::fromLatin1(model);
        if (!seen.contains(key)) {
            seen.insert(key);
            keys.append({key, kind});
        }
    };
    for (const UsbModelEntry &e : kUsbModels)
        add(e.model, e.kind);
    for (const BleModelEntry &e : kBleModels)
        add(e.model, e.kind);
    return keys;
}

class ProfileFileTest : public ::testing::Test {
protected:
    QString put(const QByteArray &bytes, const QString &name = QStringLiteral("config.xml"))
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }
    QTemporaryDir m_dir;
};

// ---------------------------------------------------------------------------
// The shipped defaults

TEST(DefaultProfiles, EveryModelOfBothTablesLoads)
{
    const QByteArray file = ReadAll(DefaultConfigPath());
    ASSERT_FALSE(file.isEmpty()) << qPrintable(DefaultConfigPath());
    int code = -1;
    EXPECT_EQ(GetConfigXMLFileVersion(DefaultConfigPath(), &code), QStringLiteral("1.3"));
    EXPECT_EQ(code, 0);

    const auto keys = TableKeys();
    EXPECT_EQ(keys.size(), 61); // 73 rows; some models have two interfaces in the table
    for (const auto &key : keys) {
        auto l = Load(file, key.first);
        ASSERT_TRUE(l->ok) << qPrintable(key.first) << " code " << l->code;
        const TabletXMLData &p = l->profile.data();
        EXPECT_TRUE(l->profile.apps().empty()) << qPrintable(key.first);
        EXPECT_EQ(p.DevicePenNum == 0, key.second == kKindKeypad) << qPrintable(key.first);
        for (int pen = 0; pen < p.DevicePenNum; ++pen)
            EXPECT_EQ(p.CommonAPP.pens[pen].buttons[0].Actid, 27) << qPrintable(key.first);
        // Pen displays carry a calibration, and it is the identity.
        EXPECT_EQ(p.fKX == 1.0f && p.fKY == 1.0f, key.second == kKindPenDisplay) << qPrintable(key.first);
        if (p.SupportGroupKeys) {
            for (const KeyGroupConfig &g : p.CommonAPP.groups)
                EXPECT_EQ(g.enabled, 1) << qPrintable(key.first);
        }
    }
}

// Every model's keys and rings are what its key and ring reports can carry: no key the
// settings offer that never reports, and the keypad's dial (the last two of its twelve
// key bytes) is its ring, not keys 11 and 12.
TEST(DefaultProfiles, KeysAndRingsFollowTheReportRules)
{
    const QByteArray file = ReadAll(DefaultConfigPath());
    const auto check = [&](int productId, const char *model) {
        auto l = Load(file, QString::fromLatin1(model));
        ASSERT_TRUE(l->ok) << model;
        const TabletXMLData &p = l->profile.data();
        const ReportRule rule = ReportRuleOf(productId);
        EXPECT_LE(p.DeviceKeyNum, rule.keys) << model;
        EXPECT_LE(p.DeviceRingNum, rule.rings) << model;
        EXPECT_GE(p.DeviceRingNum, rule.fixedRings) << model;
    };
    for (const UsbModelEntry &e : kUsbModels)
        check(e.productId, e.model);
    for (const BleModelEntry &e : kBleModels)
        check(e.productId, e.model);
    EXPECT_EQ(ReportRuleOf(0x0201).keys, 10);
    EXPECT_EQ(ReportRuleOf(0x0201).fixedRings, 1);
}

TEST(DefaultProfiles, SimulatedModelsAgreeWithTheirProfiles)
{
    const QByteArray file = ReadAll(DefaultConfigPath());
    for (const SimModel &m : SimModels::all()) {
        auto l = Load(file, QString::fromLatin1(m.modelKey));
        ASSERT_TRUE(l->ok) << m.modelKey;
        const TabletXMLData &p = l->profile.data();
        EXPECT_EQ(p.DeviceKeyNum, m.keys) << m.modelKey;
        EXPECT_EQ(p.DeviceRingNum, m.rings) << m.modelKey;
        EXPECT_EQ(p.DevicePenNum, m.pens) << m.modelKey;
        EXPECT_EQ(p.DeviceControl != 0, m.lights) << m.modelKey;
        EXPECT_EQ(p.DeviceTrackPad != 0, m.touchRing) << m.modelKey;
    }
}

// Edits every stored field of the common profile and of two new application profiles
// the way the settings window would, within what the model's file elements hold.
void EditLikeTheSettingsWindow(DeviceProfile &profile, bool calibrated)
{
    TabletXMLData &p = profile.data();
    p.ScreenId = 2;
    p.SX = -1920;
    p.SY = 30;
    p.SW = 1920;
    p.SH = 1080;
    p.TX = 100;
    p.TY = 50;
    p.TW = 800;
    p.TH = 500;
    p.Orientation = 3;
    p.DisableInfo = 1;
    p.DisableQuickKey = 1;
    p.DisablePressure = 1;
    p.DisableSlope = 1;
    p.DeviceCurPenID = p.DevicePenNum > 1 ? 1 : 0;
    p.PenMoveInTablet = 3;
    if (calibrated) {
        p.fKX = 1.25f;
        p.fKY = 0.75f;
        p.fXLC = -12.5f;
        p.fYLC = 3.0f;
    }
    for (const char *path : {"/usr/bin/krita", "/opt/gimp/bin/gimp-2.10"})
        ASSERT_EQ(AddApplication(p, profile.apps(), QString::fromLatin1(path)), AppEditResult::Done);

    const int keyCount = p.DeviceKeyNum;
    std::vector<AppConfigNode *> targets{&p.CommonAPP};
    for (auto &entry : profile.apps())
        targets.push_back(entry.second);
    int n = 0;
    for (AppConfigNode *app : targets) {
        ++n;
        for (int pen = 0; pen < p.DevicePenNum; ++pen) {
            PenConfig &c = app->pens[pen];
            c.RelativeCoords = 1;
            c.TablePC = 0;
            c.Speed = int16_t(7 + n);
            c.Press = SPresslvPoints{0.125f, 0.25f, 0.75f, 0.875f};
            c.buttons[1].id = 1;
            SetProfileText(c.buttons[1].custom, QStringLiteral("0|Ctrl+Click|4+6 ") + QString::number(n));
            c.buttons[2].Actid = 103;
        }
        app->SelectID = p.SupportGroupKeys ? 2 : 0;
        KeyConfig *sets[5] = {app->keys, nullptr, nullptr, nullptr, nullptr};
        if (p.SupportGroupKeys) {
            for (int g = 0; g < kProfileKeyGroups; ++g) {
                sets[g] = app->groups[g].keys;
                app->groups[g].enabled = int16_t(g % 2);
            }
        }
        for (KeyConfig *keys : sets) {
            if (!keys || keyCount == 0)
                continue;
            keys[0].Actid = 211;
            keys[0].Motid = 2;
            keys[0].Show = 0;
            KeyConfig &last = keys[keyCount - 1];
            last.id = 1;
            SetProfileText(last.custom, QStringLiteral("1|Säve|Ctrl+S|17:29+83:31"));
        }
        // Application elements always have a first ring; the common profile only when
        // the model has one.
        if (p.DeviceRingNum >= 1 || app != &p.CommonAPP) {
            app->ring.id = 3;
            app->ring.items[3].id = 2;
            SetProfileText(app->ring.items[3].custom, QStringLiteral("4|Zoom|-|+|109:74|107:78"));
        }
        if (p.DeviceRingNum == 2 || p.DeviceTrackPad) {
            app->ring2.id = 1;
            app->ring2.items[0].id = 2;
            SetProfileText(app->ring2.items[0].custom, QStringLiteral("4|Rotate|[|]|219:26|221:27"));
        }
        if (p.DeviceTrackPad)
            app->TRMode = app->TRMode ? 0 : 1;
    }
}

// The default file cut into one file per model: the same elements, a fraction of the
// parsing.
QByteArray SingleModelDocument(const QDomDocument &defaults, const QString &key)
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = doc.createElement(defaults.documentElement().tagName());
    root.setAttribute(QStringLiteral("version"), defaults.documentElement().attribute(QStringLiteral("version")));
    doc.appendChild(root);
    root.appendChild(doc.importNode(defaults.documentElement().firstChildElement(key), true));
    return doc.toByteArray(2);
}

TEST_F(ProfileFileTest, EveryDefaultProfileSurvivesLoadSaveLoadUnchangedAndEdited)
{
    QDomDocument defaults;
    ASSERT_TRUE(defaults.setContent(ReadAll(DefaultConfigPath())));
    for (const auto &key : TableKeys()) {
        SCOPED_TRACE(key.first.toStdString());
        const ProfileStore store(put(SingleModelDocument(defaults, key.first)));
        DeviceProfile first;
        ASSERT_TRUE(store.LoadConfig(key.first, &first.data(), &first.apps()));
        ASSERT_TRUE(store.SaveConfig(key.first, first.data(), first.apps()));
        DeviceProfile second;
        ASSERT_TRUE(store.LoadConfig(key.first, &second.data(), &second.apps()));
        EXPECT_TRUE(SameProfile(first, second));

        EditLikeTheSettingsWindow(first, key.second == kKindPenDisplay);
        ASSERT_TRUE(store.SaveConfig(key.first, first.data(), first.apps()));
        DeviceProfile third;
        ASSERT_TRUE(store.LoadConfig(key.first, &third.data(), &third.apps()));
        ASSERT_EQ(third.apps().size(), 2u);
        EXPECT_TRUE(SameProfile(first, third));
    }
}

TEST_F(ProfileFileTest, SavingOneModelLeavesTheOthersAsTheyWere)
{
    const QString path = put(ReadAll(DefaultConfigPath()));
    const ProfileStore store(path);
    DeviceProfile edited;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("InkoraStudio16"), &edited.data(), &edited.apps()));
    EditLikeTheSettingsWindow(edited, true);
    ASSERT_TRUE(store.SaveConfig(QStringLiteral("InkoraStudio16"), edited.data(), edited.apps()));

    const QByteArray before = ReadAll(DefaultConfigPath());
    for (const auto &key : TableKeys()) {
        DeviceProfile now;
        DeviceProfile shipped;
        ASSERT_TRUE(store.LoadConfig(key.first, &now.data(), &now.apps()));
        ASSERT_TRUE(LoadConfigFromData(before, key.first, &shipped.data(), &shipped.apps()));
        if (key.first == QStringLiteral("InkoraStudio16"))
            EXPECT_TRUE(SameProfile(now, edited));
        else
            EXPECT_TRUE(SameProfile(now, shipped)) << qPrintable(key.first);
    }
    int code = -1;
    EXPECT_EQ(GetConfigXMLFileVersion(path, &code), QStringLiteral("1.3"));
}

// A tablet's load parses its model's element alone, found by character offsets in the
// decoded text: line ends of two characters and characters of several bytes before it
// must not move it. Each variant gives every model as the whole document's way (a byte
// order mark takes that way) does.
TEST(DefaultProfiles, AModelReadAloneEqualsTheWholeDocumentsReading)
{
    const QByteArray plain = ReadAll(DefaultConfigPath());
    QByteArray crlf = plain;
    crlf.replace("\n", "\r\n");
    const int root = crlf.indexOf("<", crlf.indexOf("?>"));
    crlf.insert(crlf.indexOf(">", root) + 1, "<!-- \xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80 -->\r\n");
    const QByteArray bom = "\xEF\xBB\xBF" + crlf;
    for (const auto &key : TableKeys()) {
        SCOPED_TRACE(key.first.toStdString());
        const auto whole = Load(bom, key.first);
        ASSERT_TRUE(whole->ok);
        for (const QByteArray *variant : {&plain, static_cast<const QByteArray *>(&crlf)}) {
            const auto alone = Load(*variant, key.first);
            ASSERT_TRUE(alone->ok);
            EXPECT_TRUE(SameProfile(alone->profile, whole->profile));
        }
    }
}

// A save rewrites only the model's lines of a file in the writer's form: for every model
// in turn (each save on the text the last one wrote, whose scan the save left behind)
// the bytes are the whole document's way's, and every model then reads as the whole
// document's reading gives it.
TEST(DefaultProfiles, ASaveOfTheModelsLinesEqualsTheWholeDocumentsSave)
{
    QByteArray text = ReadAll(DefaultConfigPath());
    std::vector<std::unique_ptr<Loaded>> edited;
    for (const auto &key : TableKeys()) {
        SCOPED_TRACE(key.first.toStdString());
        edited.push_back(Load(text, key.first));
        ASSERT_TRUE(edited.back()->ok);
        DeviceProfile &p = edited.back()->profile;
        EditLikeTheSettingsWindow(p, key.second == kKindPenDisplay);
        const std::vector<ProfileEntry> entries{{key.first, &p.data(), &p.apps()}};
        QByteArray whole = text;
        ASSERT_TRUE(SaveWholeDocument(&whole, entries));
        ASSERT_TRUE(SaveConfigToData(&text, entries));
        ASSERT_EQ(text, whole);
    }
    const QByteArray bom = "\xEF\xBB\xBF" + text;
    for (int i = 0; i < TableKeys().size(); ++i) {
        const QString key = TableKeys().at(i).first;
        const auto saved = Load(text, key);
        ASSERT_TRUE(saved->ok) << qPrintable(key);
        EXPECT_TRUE(SameProfile(saved->profile, Load(bom, key)->profile)) << qPrintable(key);
        EXPECT_TRUE(SameProfile(saved->profile, edited[size_t(i)]->profile)) << qPrintable(key);
    }
}

// Attribute names per tag, first seen first.
static QHash<QString, QStringList> AttributeOrders(const QByteArray &document)
{
    QHash<QString, QStringList> orders;
    QXmlStreamReader reader(document);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        QStringList &names = orders[reader.qualifiedName().toString()];
        for (const QXmlStreamAttribute &a : reader.attributes()) {
            if (!names.contains(a.qualifiedName().toString()))
                names << a.qualifiedName().toString();
        }
    }
    return orders;
}

// The DOM keeps attributes in a hash whose order changes with the hash seed of each
// run: saves must not reorder them (noisy diffs for users who keep the file under
// version control). Two runs give the same bytes, in the default file's order.
TEST_F(ProfileFileTest, SavesKeepTheAttributeOrderOfTheFile)
{
    const QByteArray shipped = ReadAll(DefaultConfigPath());
    const QString path = put(shipped);
    const ProfileStore store(path);
    DeviceProfile edited;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("InkoraPadGlowW"), &edited.data(), &edited.apps()));
    EditLikeTheSettingsWindow(edited, true);
    QByteArray saves[2];
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(WriteAll(path, shipped));
        qSetGlobalQHashSeed(run + 1); // as two runs of the program
        EXPECT_TRUE(store.SaveConfig(QStringLiteral("InkoraPadGlowW"), edited.data(), edited.apps()));
        saves[run] = ReadAll(path);
    }
    qSetGlobalQHashSeed(-1);
    EXPECT_EQ(saves[0], saves[1]);
    const QHash<QString, QStringList> expected = AttributeOrders(shipped);
    const QHash<QString, QStringList> saved = AttributeOrders(saves[0]);
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(saved.value(it.key()), it.value()) << qPrintable(it.key());
}

// ---------------------------------------------------------------------------
// The walk of the document

TEST(ProfileWalk, DeviceCommonAndCalibrationByPosition)
{
    auto l = Load(ProfileDocument(Model("Other", "", "") + Model("M", "<DeviceKeyNum>8</DeviceKeyNum><Unknown>5</Unknown>"
                                                                     "<DeviceRingNum>2</DeviceRingNum>",
                                                                 "")));
    ASSERT_TRUE(l->ok) << l->code;
    const TabletXMLData &p = l->profile.data();
    EXPECT_EQ(p.DeviceKeyNum, 8);
    EXPECT_EQ(p.DeviceRingNum, 2);
    EXPECT_EQ(p.DevicePenNum, 1); // not in DeviceInfo: one pen
    EXPECT_EQ(p.ScreenId, 1);
    EXPECT_EQ(p.SX, 10);
    EXPECT_EQ(p.SH, 200);
    EXPECT_EQ(p.Orientation, 2);
    EXPECT_EQ(p.TH, 4);
    EXPECT_EQ(p.DisableInfo, 1);
    EXPECT_EQ(p.DisablePressure, 1);
    EXPECT_EQ(p.rects[0].X, 1);  // 1.9 truncated
    EXPECT_EQ(p.rects[0].Y, -2); // -2.7 truncated toward zero
    EXPECT_FLOAT_EQ(p.fKX, 1.5f);
    EXPECT_FLOAT_EQ(p.fYLC, -3.0f);

    // Common's children count by position: a renamed first child is still the screen
    // area, and calibration comes only from an SC right after the rectangle list.
    const QByteArray common = "<Common><Area id=\"4\"><SX>7</SX></Area><TabletPannel/><A>1</A><B>1</B><C>1</C>"
                              "<D>1</D><Rects/><NotSC fKX=\"9\"/><SC fKX=\"8\"/></Common>";
    auto keep = std::make_unique<Loaded>();
    keep->profile.data().fKX = 2.5f;
    keep->ok = LoadConfigFromData(ProfileDocument(Model("M", "", "", "", common)), QStringLiteral("M"),
                                  &keep->profile.data(), &keep->profile.apps(), &keep->code);
    ASSERT_TRUE(keep->ok);
    EXPECT_EQ(keep->profile.data().ScreenId, 4);
    EXPECT_EQ(keep->profile.data().SX, 7);
    EXPECT_EQ(keep->profile.data().DisableSlope, 1);
    EXPECT_FLOAT_EQ(keep->profile.data().fKX, 2.5f);

    // No SC at all: the calibration the record had stays.
    const QByteArray noSC = "<Common><ScreenMapping/><TabletPannel/><A/><B/><C/><D/><Rects/></Common>";
    keep = std::make_unique<Loaded>();
    keep->profile.data().fKY = 0.25f;
    ASSERT_TRUE(LoadConfigFromData(ProfileDocument(Model("M", "", "", "", noSC)), QStringLiteral("M"),
                                   &keep->profile.data(), &keep->profile.apps()));
    EXPECT_FLOAT_EQ(keep->profile.data().fKY, 0.25f);

    // Scales 1 with offsets 0, as earlier default profiles shipped them, would move the
    // pen by half the display: read as the identity. Any other calibration stays as stored.
    const auto calibration = [](const char *sc) {
        const QByteArray common = QByteArray("<Common><ScreenMapping/><TabletPannel/><A/><B/><C/><D/><Rects/>") + sc
                                  + "</Common>";
        auto loaded = std::make_unique<Loaded>();
        EXPECT_TRUE(LoadConfigFromData(ProfileDocument(Model("M", "", "", "", common)), QStringLiteral("M"),
                                       &loaded->profile.data(), &loaded->profile.apps()));
        const TabletXMLData &d = loaded->profile.data();
        return QVector<float>{d.fKX, d.fKY, d.fXLC, d.fYLC};
    };
    EXPECT_EQ(calibration("<SC fKX=\"1\" fKY=\"1\" fXLC=\"0\" fYLC=\"0\"/>"), (QVector<float>{1, 1, 1, 1}));
    EXPECT_EQ(calibration("<SC fKX=\"1\" fKY=\"1\" fXLC=\"0\" fYLC=\"0.5\"/>"), (QVector<float>{1, 1, 0, 0.5f}));
    EXPECT_EQ(calibration("<SC fKX=\"1.02\" fKY=\"0.98\" fXLC=\"1.01\" fYLC=\"0.99\"/>"),
              (QVector<float>{1.02f, 0.98f, 1.01f, 0.99f}));
}

TEST(ProfileWalk, KeySetsWithAndWithoutGroups)
{
    const QByteArray sets = "<K><K1 id=\"0\" Actid=\"5\" Show=\"1\" Motid=\"1\">ignored text</K1>"
                            "<K2 id=\"1\" Actid=\"6\">1|Copy|Ctrl+C|17:29+67:46</K2></K>"
                            "<K_1 id=\"0\"><K1 Actid=\"2\"/></K_1>"
                            "<K_3 id=\"1\"><X Actid=\"4\"/></K_3>"
                            "<K_9 id=\"1\"><X Actid=\"7\"/></K_9>"
                            "<K><K1 Actid=\"9\"/></K>";
    // Without key groups every key set element fills the one set from its first key,
    // so the later element's keys overwrite the earlier one's.
    auto plain = Load(ProfileDocument(Model("M", "<SupportGroupKeys>0</SupportGroupKeys>", sets)));
    ASSERT_TRUE(plain->ok);
    const AppConfigNode &a = plain->profile.data().CommonAPP;
    EXPECT_EQ(a.keys[0].Actid, 9);
    EXPECT_EQ(a.keys[0].Show, 1);
    EXPECT_STREQ(a.keys[0].custom, ""); // id 0: the text is not taken
    EXPECT_EQ(a.keys[1].Actid, 6);
    EXPECT_STREQ(a.keys[1].custom, "1|Copy|Ctrl+C|17:29+67:46");
    EXPECT_EQ(a.groups[0].keys[0].Actid, 0);

    // With key groups, K is group 0 and K_N group N; id is the group's switch.
    auto grouped = Load(ProfileDocument(Model("M", "<SupportGroupKeys>1</SupportGroupKeys>", sets)));
    ASSERT_TRUE(grouped->ok);
    const AppConfigNode &g = grouped->profile.data().CommonAPP;
    EXPECT_EQ(g.groups[0].keys[0].Actid, 9);
    EXPECT_EQ(g.groups[1].enabled, 0);
    EXPECT_EQ(g.groups[1].keys[0].Actid, 2);
    EXPECT_EQ(g.groups[2].keys[0].Actid, 0);
    EXPECT_EQ(g.groups[3].enabled, 1);
    EXPECT_EQ(g.groups[3].keys[0].Actid, 4);
    EXPECT_EQ(g.keys[0].Actid, 0);
    for (const KeyGroupConfig &group : g.groups)
        EXPECT_NE(group.keys[0].Actid, 7); // K_9 is no group of the record
}

TEST(ProfileWalk, PensRingsAndTheirDefaults)
{
    const QByteArray common =
        "<Pen><P0>0.25</P0><PenBtn1 id=\"2\" Actid=\"207\">not custom</PenBtn1></Pen>"
        "<Pen1><P0>0.75</P0><TablePC>1</TablePC><RelativeCoords Speed=\"9\">0</RelativeCoords></Pen1>"
        "<Pen2><PenBtn0 id=\"0\" Actid=\"103\"/></Pen2>"
        "<Pen9><P0>0.5</P0></Pen9>"
        "<R id=\"1\"><W1 id=\"2\">a</W1><W2 id=\"0\">b</W2><W3 id=\"2\">c</W3><W4 id=\"2\">d</W4>"
        "<W5 id=\"2\">e</W5></R>"
        "<R2 id=\"2\"/><TR id=\"3\" mode=\"1\"/>";
    const QByteArray apps = "<app><path>/usr/bin/krita</path><Pen1/><Pen2/><Pen3/></app>";
    auto l = Load(ProfileDocument(Model("M", "<DevicePenNum>3</DevicePenNum>", common, apps)));
    ASSERT_TRUE(l->ok);
    const AppConfigNode &c = l->profile.data().CommonAPP;
    // "Pen" and "Pen1" are both the first pen: the later element wins.
    EXPECT_FLOAT_EQ(c.pens[0].Press.P0, 0.75f);
    EXPECT_EQ(c.pens[0].Speed, 9);
    EXPECT_EQ(c.pens[0].TablePC, 1);
    EXPECT_STREQ(c.pens[0].buttons[1].custom, ""); // id 2 is not the custom entry
    // The eraser end defaults to the eraser in the common profile...
    EXPECT_EQ(c.pens[0].buttons[0].Actid, 27);
    EXPECT_EQ(c.pens[1].buttons[0].Actid, 103);
    EXPECT_EQ(c.pens[2].buttons[0].Actid, 0); // no element, no default
    // ... and to the common profile's choice in an application.
    ASSERT_EQ(l->profile.apps().size(), 1u);
    const AppConfigNode &app = *l->profile.apps().begin()->second;
    EXPECT_EQ(app.pens[0].buttons[0].Actid, 27);
    EXPECT_EQ(app.pens[1].buttons[0].Actid, 103);
    EXPECT_EQ(app.pens[1].buttons[0].id, 0);
    EXPECT_STREQ(app.path, "/usr/bin/krita");

    // Only four ring items; an item's text only for the custom entry (2).
    EXPECT_EQ(c.ring.id, 1);
    EXPECT_STREQ(c.ring.items[0].custom, "a");
    EXPECT_STREQ(c.ring.items[1].custom, "");
    EXPECT_STREQ(c.ring.items[3].custom, "d");
    // R2 and TR share the second ring; the later one wins and TR marks a touch ring.
    EXPECT_EQ(c.ring2.id, 3);
    EXPECT_EQ(c.TRMode, 1);
    EXPECT_EQ(c.TRPresent, 1);
}

// ---------------------------------------------------------------------------
// Saving

TEST_F(ProfileFileTest, ApplicationListFollowsMemoryInPathOrder)
{
    QByteArray five;
    for (const char *p : {"/e/5", "/d/4", "/c/3", "/b/2", "/a/1"})
        five += QByteArray("<app name=\"x\" id=\"9\"><path>") + p + "</path><Pen1><P0>0</P0></Pen1></app>";
    const QString path = put(ProfileDocument(Model("M", "<DevicePenNum>1</DevicePenNum>", "<Pen1/>", five)));
    const ProfileStore store(path);

    DeviceProfile p;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("M"), &p.data(), &p.apps()));
    ASSERT_EQ(p.apps().size(), 5u);
    std::unique_ptr<AppConfigNode> removed;
    for (const char *gone : {"/e/5", "/a/1"})
        ASSERT_EQ(DeleteApplication(p.data(), p.apps(), QString::fromLatin1(gone), &removed), AppEditResult::Done);
    ASSERT_EQ(AddApplication(p.data(), p.apps(), QStringLiteral("/0/new")), AppEditResult::Done);
    p.apps()[QStringLiteral("/0/new")]->pens[0].Press.P0 = 0.5f;
    ASSERT_EQ(p.apps().size(), 4u);
    ASSERT_EQ(DeleteApplication(p.data(), p.apps(), QStringLiteral("/b/2"), &removed), AppEditResult::Done);

    // Three in memory, five in the file: three elements remain, numbered in path order.
    ASSERT_TRUE(store.SaveConfig(QStringLiteral("M"), p.data(), p.apps()));
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(ReadAll(path)));
    const QDomElement apps = doc.documentElement().firstChildElement().lastChildElement();
    QStringList seen;
    for (QDomElement a = apps.firstChildElement(); !a.isNull(); a = a.nextSiblingElement())
        seen << a.attribute(QStringLiteral("id")) + QLatin1Char(':') + a.firstChildElement(QStringLiteral("path")).text();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("0:/0/new"), QStringLiteral("1:/c/3"), QStringLiteral("2:/d/4")}));

    DeviceProfile again;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("M"), &again.data(), &again.apps()));
    EXPECT_TRUE(SameProfile(p, again));
}

TEST_F(ProfileFileTest, EmptyListGetsATemplateThatHoldsTheWholeModel)
{
    // Twelve keys in four groups, two rings and no touch ring: a template of eight keys
    // in one group would lose keys 9 to 12 and three groups, and a TR element would
    // turn the second ring into a touch ring on the next load.
    const QByteArray info = "<DeviceKeyNum>12</DeviceKeyNum><SupportGroupKeys>1</SupportGroupKeys>"
                            "<DeviceRingNum>2</DeviceRingNum><DevicePenNum>2</DevicePenNum>";
    const QString path = put(ProfileDocument(Model("M", info, "<Pen1/><Pen2/>")));
    const ProfileStore store(path);
    DeviceProfile p;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("M"), &p.data(), &p.apps()));

    // Nothing in memory: no template is left behind.
    ASSERT_TRUE(store.SaveConfig(QStringLiteral("M"), p.data(), p.apps()));
    EXPECT_TRUE(ReadAll(path).contains("<Apps/>")) << ReadAll(path).constData();

    ASSERT_EQ(AddApplication(p.data(), p.apps(), QStringLiteral("/usr/bin/app")), AppEditResult::Done);
    AppConfigNode &app = *p.apps().begin()->second;
    app.groups[3].enabled = 1;
    app.groups[3].keys[11].Actid = 110;
    app.ring2.items[2].id = 2;
    SetProfileText(app.ring2.items[2].custom, QStringLiteral("4|x|a|b|1:2|3:4"));
    app.pens[1].Speed = 3;
    ASSERT_TRUE(store.SaveConfig(QStringLiteral("M"), p.data(), p.apps()));

    DeviceProfile again;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("M"), &again.data(), &again.apps()));
    EXPECT_TRUE(SameProfile(p, again));
    EXPECT_EQ(again.apps().begin()->second->TRPresent, 0);
}

TEST_F(ProfileFileTest, AFileThatDoesNotParseOrLacksTheModelIsNeverWritten)
{
    DeviceProfile p;
    p.data().SX = 99;
    int code = 0;
    for (const QByteArray &bad : {QByteArray("<InkoraConfig version=\"1.2.0\"><M><DeviceInfo>"), QByteArray(""),
                                  ProfileDocument("<N/>")}) {
        const QString path = put(bad);
        ProfileLog log;
        EXPECT_FALSE(ProfileStore(path).SaveConfig(QStringLiteral("M"), p.data(), p.apps(), &code));
        EXPECT_EQ(ReadAll(path), bad);
        EXPECT_FALSE(log.has(QStringLiteral("Function  LoadConfig Error:"))) << qPrintable(log.all());
    }
    EXPECT_EQ(code, ProfileModelMissing);
    EXPECT_FALSE(ProfileStore(m_dir.filePath(QStringLiteral("missing.xml"))).SaveConfig(QStringLiteral("M"), p.data(),
                                                                                         p.apps(), &code));
    EXPECT_EQ(code, ProfileOpenFailed);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("missing.xml"))));
}

TEST_F(ProfileFileTest, SaveAllWritesEveryModelWithOneReplacement)
{
    const QString path = put(ProfileDocument(Model("A", "", "<Pen1/>") + Model("B", "", "<Pen1/>")));
    DeviceProfile a;
    DeviceProfile b;
    const ProfileStore store(path);
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("A"), &a.data(), &a.apps()));
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("B"), &b.data(), &b.apps()));
    a.data().SX = 11;
    b.data().SX = 22;
    int code = -1;
    // A missing model is reported, the others are written all the same.
    EXPECT_FALSE(store.SaveAll({{QStringLiteral("A"), &a.data(), &a.apps()},
                                {QStringLiteral("Gone"), &b.data(), &b.apps()},
                                {QStringLiteral("B"), &b.data(), &b.apps()}},
                               &code));
    EXPECT_EQ(code, ProfileModelMissing);
    DeviceProfile check;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("B"), &check.data(), &check.apps()));
    EXPECT_EQ(check.data().SX, 22);
    check.clearApplications();
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("A"), &check.data(), &check.apps()));
    EXPECT_EQ(check.data().SX, 11);
}

// A full disk or a crash in the middle of a save: here the write fails past a file
// size limit (as root, permissions would not stop it). The old file stays whole and
// no temporary file is left behind.
TEST_F(ProfileFileTest, FailedWriteKeepsTheOldFile)
{
    const QByteArray before = ReadAll(DefaultConfigPath());
    const QString path = put(before);
    const ProfileStore store(path);
    DeviceProfile p;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("InkoraPadM"), &p.data(), &p.apps()));
    p.data().SX = 123;

    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int code = 0;
    const bool saved = store.SaveConfig(QStringLiteral("InkoraPadM"), p.data(), p.apps(), &code);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(code, ProfileWriteFailed);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("config.xml")});

    // And once the disk has room again the same save goes through.
    EXPECT_TRUE(store.SaveConfig(QStringLiteral("InkoraPadM"), p.data(), p.apps()));
    EXPECT_NE(ReadAll(path), before);
}

// Runs save in a child process that lacks the rights root has: as "nobody" when the
// test itself runs as root (root writes through any mode bits). The child's exit code:
// 0 the failure was reported with ProfileWriteFailed, 1 success was reported, 2 another
// outcome, 3 the rights could not be dropped.
static int SaveWithoutRootRights(const std::function<int()> &save)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0
            && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0
                || setresuid(65534, 65534, 65534) != 0))
            _exit(3);
        _exit(save());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST_F(ProfileFileTest, ReadOnlyFileOrFolderIsAReportedFailureAndTheFileStaysWhole)
{
    const QByteArray before = ReadAll(DefaultConfigPath());
    const QString path = put(before);
    const ProfileStore store(path);
    DeviceProfile p;
    ASSERT_TRUE(store.LoadConfig(QStringLiteral("InkoraPadM"), &p.data(), &p.apps()));
    p.data().SX = 321;
    const auto save = [&] {
        int code = 0;
        if (store.SaveConfig(QStringLiteral("InkoraPadM"), p.data(), p.apps(), &code))
            return 1;
        return code == ProfileWriteFailed ? 0 : 2;
    };
    using P = QFile::Permission;
    const QFile::Permissions readable = P::ReadOwner | P::ReadGroup | P::ReadOther;
    const QFile::Permissions enterable = readable | P::ExeOwner | P::ExeGroup | P::ExeOther;
    const QFile::Permissions writable = readable | P::WriteOwner | P::WriteGroup | P::WriteOther;
    const QFile::Permissions all = enterable | writable;

    struct Case {
        const char *what;
        QFile::Permissions file;
        QFile::Permissions folder;
    };
    const Case cases[] = {
        {"read-only file in a writable folder", readable, all},
        {"writable file in a read-only folder", writable, enterable},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(QFile::setPermissions(path, c.file));
        ASSERT_TRUE(QFile::setPermissions(m_dir.path(), c.folder));
        EXPECT_EQ(SaveWithoutRootRights(save), 0);
        ASSERT_TRUE(QFile::setPermissions(m_dir.path(), all));
        EXPECT_EQ(ReadAll(path), before);
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("config.xml")});
    }

    // Writable again: the same save goes through.
    ASSERT_TRUE(QFile::setPermissions(path, all));
    EXPECT_EQ(SaveWithoutRootRights(save), 1);
    EXPECT_NE(ReadAll(path), before);
}

// ---------------------------------------------------------------------------
// Damaged and hostile files

TEST_F(ProfileFileTest, LoadFailuresAreCodedAndLogged)
{
    struct Case {
        QByteArray bytes;
        int code;
        const char *log;
    };
    const Case cases[] = {
        {"", ProfileNullDocument, "Function  LoadConfig Error: document is null!"},
        {" \n", ProfileNullDocument, "Function  LoadConfig Error: document is null!"},
        {"this is not XML", ProfileParseFailed, "parse file failed at line"},
        {"<InkoraConfig version=\"1.2.0\"><M>", ProfileParseFailed, "parse file failed at line"},
        {"<InkoraConfig version=\"1.2.0\"/>", ProfileModelMissing,
         "Function  LoadConfig Error:pidElement.firstChildElement is Null."},
        {ProfileDocument("<N/><MM/>"), ProfileModelMissing, "can not find the pid xml."},
    };
    for (const Case &c : cases) {
        ProfileLog log;
        DeviceProfile p;
        int code = 0;
        EXPECT_FALSE(ProfileStore(put(c.bytes)).LoadConfig(QStringLiteral("M"), &p.data(), &p.apps(), &code));
        EXPECT_EQ(code, c.code) << c.bytes.constData();
        EXPECT_TRUE(log.has(QString::fromLatin1(c.log))) << qPrintable(log.all());
    }
    ProfileLog log;
    DeviceProfile p;
    int code = 0;
    EXPECT_FALSE(ProfileStore(m_dir.filePath(QStringLiteral("nothing.xml"))).LoadConfig(QStringLiteral("M"), &p.data(),
                                                                                        &p.apps(), &code));
    EXPECT_EQ(code, ProfileOpenFailed);
    EXPECT_TRUE(log.has(QStringLiteral("Function  LoadConfig Error: open file"))) << qPrintable(log.all());

    // A found model says so.
    ProfileLog found;
    ASSERT_TRUE(Load(ProfileDocument(Model("M", "", "")))->ok);
    EXPECT_TRUE(found.has(QStringLiteral("find the xml Config: M"))) << qPrintable(found.all());
    EXPECT_TRUE(found.has(QStringLiteral("APPS Num: 0")));
}

TEST_F(ProfileFileTest, HostileStructureIsAParseFailure)
{
    const QByteArray model = Model("M", "", "");
    const int levels = 100000; // the DOM parser alone would overflow its stack
    const QByteArray deep = "<InkoraConfig version=\"1.2.0\">" + model + QByteArray("<a>").repeated(levels)
                            + QByteArray("</a>").repeated(levels) + "</InkoraConfig>";
    const QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
                              "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">"
                              "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
                              "<InkoraConfig version=\"1.2.0\"><M><DeviceInfo/><Common/><CommonAPP><Pen1>"
                              "<PenBtn0 id=\"1\">&d;&d;&d;&d;</PenBtn0></Pen1></CommonAPP></M></InkoraConfig>";
    const QByteArray external = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                                "<InkoraConfig version=\"1.2.0\"><M><DeviceInfo/><Common/><CommonAPP><Pen1>"
                                "<PenBtn0 id=\"1\">&x;</PenBtn0></Pen1></CommonAPP></M></InkoraConfig>";
    QByteArray huge = ProfileDocument(model);
    huge.insert(huge.indexOf("</InkoraConfig>"), "<!--" + QByteArray(int(kXmlMaxFileBytes), ' ') + "-->");
    for (const QByteArray &bad : {deep, laughs, external, huge}) {
        ProfileLog log;
        DeviceProfile p;
        int code = 0;
        EXPECT_FALSE(ProfileStore(put(bad)).LoadConfig(QStringLiteral("M"), &p.data(), &p.apps(), &code));
        EXPECT_EQ(code, ProfileParseFailed);
        EXPECT_TRUE(log.has(QStringLiteral("parse file failed at line"))) << qPrintable(log.all().left(300));
    }
}

TEST(HostileValues, NumbersThatDoNotFitFailTheLoad)
{
    for (const QByteArray &info : {QByteArray("<DeviceKeyNum>70000</DeviceKeyNum>"),
                                   QByteArray("<DevicePenNum>1e3</DevicePenNum>"),
                                   QByteArray("<DeviceRingNum>0x2</DeviceRingNum>")}) {
        ProfileLog log;
        auto l = Load(ProfileDocument(Model("M", info, "")));
        EXPECT_FALSE(l->ok) << info.constData();
        EXPECT_EQ(l->code, ProfileBadValue);
        EXPECT_TRUE(log.has(QStringLiteral("value out of range:"))) << qPrintable(log.all());
        EXPECT_EQ(l->profile.data().Apps, nullptr);
    }
    for (const QByteArray &app : {QByteArray("<Pen1><P0>nan</P0></Pen1>"), QByteArray("<Pen1><P2>1e99</P2></Pen1>"),
                                  QByteArray("<Pen1><RelativeCoords Speed=\"-40000\"/></Pen1>"),
                                  QByteArray("<TR mode=\"256\"/>"), QByteArray("<K><K1 Actid=\"32768\"/></K>")}) {
        auto l = Load(ProfileDocument(Model("M", "", app)));
        EXPECT_FALSE(l->ok) << app.constData();
        EXPECT_EQ(l->code, ProfileBadValue);
    }
    // A failing application element frees what was read so far (checked by ASan).
    auto l = Load(ProfileDocument(Model("M", "", "", "<app><path>/a</path></app><app><SelectID>z</SelectID></app>")));
    EXPECT_FALSE(l->ok);
    EXPECT_TRUE(l->profile.apps().empty());

    // Empty texts are 0, surrounding white space is no error.
    auto ok = Load(ProfileDocument(Model("M", "<DeviceKeyNum> 12 </DeviceKeyNum><DevicePenNum></DevicePenNum>", "")));
    ASSERT_TRUE(ok->ok);
    EXPECT_EQ(ok->profile.data().DeviceKeyNum, 12);
    EXPECT_EQ(ok->profile.data().DevicePenNum, 0);
}

TEST(HostileValues, IndexesAreKeptInsideTheRecord)
{
    auto l = Load(ProfileDocument(
        Model("M", "<DeviceKeyNum>41</DeviceKeyNum><DeviceRingNum>3</DeviceRingNum><DevicePenNum>20</DevicePenNum>"
                   "<DeviceCurPenID>-1</DeviceCurPenID>",
              "<SelectID>9</SelectID><R id=\"4\"/><R2 id=\"-2\"/>", "<app><path>/x</path><SelectID>-5</SelectID></app>")));
    ASSERT_TRUE(l->ok);
    const TabletXMLData &p = l->profile.data();
    EXPECT_EQ(p.DeviceKeyNum, 40);
    EXPECT_EQ(p.DeviceRingNum, 2);
    EXPECT_EQ(p.DevicePenNum, 8);
    EXPECT_EQ(p.DeviceCurPenID, 0);
    EXPECT_EQ(p.CommonAPP.SelectID, 3);
    EXPECT_EQ(p.CommonAPP.ring.id, 3);
    EXPECT_EQ(p.CommonAPP.ring2.id, 0);
    EXPECT_EQ(l->profile.apps().begin()->second->SelectID, 0);
}

TEST(HostileValues, LongTextsAreCutAndTheApplicationListIsBounded)
{
    const QByteArray longText = QString(3000, QChar(0x00E9)).toUtf8(); // two bytes each
    QByteArray apps;
    for (int i = 0; i < 20; ++i)
        apps += "<app><path>/bin/app" + QByteArray::number(i % 10) + "</path></app>";
    apps += "<app><path>/" + QByteArray(5000, 'p') + "</path></app>";
    ProfileLog log;
    auto l = Load(ProfileDocument(
        Model("M", "", "<K><K1 id=\"1\">" + longText + "</K1></K><Pen1><PenBtn2 id=\"1\">" + longText + "</PenBtn2></Pen1>"
                       "<Unknown><Deeper id=\"x\"/></Unknown>",
              apps)));
    ASSERT_TRUE(l->ok) << l->code;
    const AppConfigNode &c = l->profile.data().CommonAPP;
    // Cut on a character boundary so the NUL fits: 1022 bytes of 2-byte characters.
    EXPECT_EQ(qstrlen(c.keys[0].custom), 1022u);
    EXPECT_EQ(ProfileText(c.keys[0].custom), QString(511, QChar(0x00E9)));
    EXPECT_EQ(qstrlen(c.pens[0].buttons[2].custom), 1026u);
    EXPECT_TRUE(log.has(QStringLiteral("profile text cut to 1023 bytes")));
    // Seven applications at most, one per executable.
    EXPECT_EQ(l->profile.apps().size(), 7u);
    EXPECT_EQ(ApplicationCount(l->profile.data()), 7);
    EXPECT_TRUE(log.has(QStringLiteral("ignored")));
}

TEST(ProfileVersion, PatchLevelsOfOneVersionAreEqual)
{
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("user.xml"));
    const QString installed = dir.filePath(QStringLiteral("default.xml"));
    ASSERT_TRUE(WriteAll(user, "<InkoraConfig version=\"1.2.7\"/>"));
    ASSERT_TRUE(WriteAll(installed, "<InkoraConfig version=\"1.2.9\"/>"));
    int code = -1;
    QString version;
    EXPECT_TRUE(compareVersion(installed, user, &code, &version));
    EXPECT_EQ(version, QStringLiteral("1.2"));
    // A document type declaration is refused before parsing, here as everywhere.
    ASSERT_TRUE(WriteAll(user, "<!DOCTYPE r [<!ENTITY v \"1.2.9\">]><InkoraConfig version=\"&v;\"/>"));
    EXPECT_FALSE(compareVersion(installed, user, &code, &version));
    EXPECT_EQ(code, ConfigVersionParseFailed);
}

} // namespace
