// udev facts of hidraw nodes -> Windows-form interface texts, and those texts against the
// supported-model tables.
#include "platform/hid/linux/hidrawfacts.h"

#include "device/modelmatch.h"
#include "tests/platform_hid/fakehidrawsystem.h"

#include <gtest/gtest.h>

namespace {

const char kHidClass[] = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

HidrawFacts Parse(const HidrawTree &tree)
{
    HidrawFacts f;
    QString why;
    EXPECT_TRUE(ParseHidrawTree(tree, &f, &why)) << why.toStdString();
    return f;
}

QStringList Paths(const QVector<HidDeviceInfo> &list)
{
    QStringList paths;
    for (const HidDeviceInfo &i : list)
        paths << i.path;
    return paths;
}

QString ModelOf(const QString &path)
{
    const UsbModelEntry *e = MatchUsbModel(path);
    return e ? QString::fromLatin1(e->model) + QStringLiteral("/col%1").arg(e->collection) : QString();
}

} // namespace

TEST(HidrawFacts, UsbTreeParsesIntoIdentityInterfaceAndParentDevice)
{
    HidrawTree tree = UsbTabletTree(QStringLiteral("hidraw3"), 0x0935, Descriptors::PenMouseVendor());
    const HidrawFacts f = Parse(tree);
    EXPECT_EQ(f.bus, kBusUsb);
    EXPECT_EQ(f.vendorId, 0x28BD);
    EXPECT_EQ(f.productId, 0x0935);
    EXPECT_EQ(f.interfaceNumber, 2);
    EXPECT_EQ(f.collections, 3);
    EXPECT_EQ(f.usbBusnum, 1);
    EXPECT_EQ(f.usbDevnum, 7);
    EXPECT_EQ(f.devnode, QStringLiteral("/dev/hidraw3"));
    EXPECT_EQ(f.product, QStringLiteral("Inkora Pad M"));
    EXPECT_FALSE(f.lowEnergy);

    // sysfs writes bInterfaceNumber in hex: "0a" is interface 10, not a parse failure.
    tree.interfaceNumber = QStringLiteral("0a");
    EXPECT_EQ(Parse(tree).interfaceNumber, 10);
    // Without a devnode in the udev data the node name still leads to /dev.
    tree.devnode.clear();
    EXPECT_EQ(Parse(tree).devnode, QStringLiteral("/dev/hidraw3"));
}

TEST(HidrawFacts, TreesWithoutUsableIdentityAreRefusedWithAReason)
{
    HidrawFacts f;
    QString why;
    HidrawTree noParent = UsbTabletTree();
    noParent.hidSyspath.clear();
    EXPECT_FALSE(ParseHidrawTree(noParent, &f, &why));
    EXPECT_TRUE(why.contains(QLatin1String("hidraw3")));

    for (const char *id : {"", "0003:000028BD", "0003:XYZ:00000935", "0003:000128BD:00000935", "junk"}) {
        HidrawTree bad = UsbTabletTree();
        bad.hidId = QString::fromLatin1(id);
        why.clear();
        EXPECT_FALSE(ParseHidrawTree(bad, &f, &why)) << id;
        EXPECT_FALSE(why.isEmpty());
    }
}

TEST(HidrawFacts, UsbTextsCarryInterfaceCollectionAndNode)
{
    // Three collections: one text each, numbered from 1.
    const auto three = BuildInterfaceTexts(Parse(UsbTabletTree(QStringLiteral("hidraw3"), 0x0935,
                                                               Descriptors::PenMouseVendor())));
    ASSERT_EQ(three.size(), 3);
    EXPECT_EQ(three[0].path, QStringLiteral("\\\\?\\hid#vid_28bd&pid_0935&mi_02&col01#hidraw3") + QLatin1String(kHidClass));
    EXPECT_EQ(three[2].path, QStringLiteral("\\\\?\\hid#vid_28bd&pid_0935&mi_02&col03#hidraw3") + QLatin1String(kHidClass));
    EXPECT_EQ(three[1].collection, 2);
    EXPECT_EQ(three[1].interfaceNumber, 2);
    EXPECT_EQ(three[1].bus, 3);

    // One collection: no "&col" part, collection 0.
    const auto one = BuildInterfaceTexts(Parse(UsbTabletTree(QStringLiteral("hidraw4"), 0x0934)));
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].path, QStringLiteral("\\\\?\\hid#vid_28bd&pid_0934&mi_02#hidraw4") + QLatin1String(kHidClass));
    EXPECT_EQ(one[0].collection, 0);

    // A descriptor that could not be read (or has no application collection) still
    // makes the one interface Windows would show.
    HidrawTree unreadable = UsbTabletTree(QStringLiteral("hidraw6"));
    unreadable.reportDescriptor.clear();
    EXPECT_EQ(Paths(BuildInterfaceTexts(Parse(unreadable))),
              QStringList{QStringLiteral("\\\\?\\hid#vid_28bd&pid_0935&mi_02#hidraw6") + QLatin1String(kHidClass)});
}

TEST(HidrawFacts, UsbTextsMatchTheModelTableAsTheEntriesExpect)
{
    // 0x0935 is listed with collection 0: every collection of interface 2 matches it.
    for (const HidDeviceInfo &i : BuildInterfaceTexts(Parse(UsbTabletTree(QStringLiteral("hidraw3"), 0x0935,
                                                                          Descriptors::PenMouseVendor()))))
        EXPECT_EQ(ModelOf(i.path), QStringLiteral("InkoraPadM/col0")) << i.path.toStdString();

    // 0x0933 is listed with collection 1: only "&col01" matches, and a single-collection
    // interface (no "&col") does not.
    const auto glow = BuildInterfaceTexts(Parse(UsbTabletTree(QStringLiteral("hidraw3"), 0x0933,
                                                              Descriptors::PenMouseVendor())));
    EXPECT_EQ(ModelOf(glow[0].path), QStringLiteral("InkoraPadGlowL/col1"));
    EXPECT_EQ(ModelOf(glow[1].path), QString());
    EXPECT_EQ(ModelOf(glow[2].path), QString());
    EXPECT_EQ(ModelOf(BuildInterfaceTexts(Parse(UsbTabletTree(QStringLiteral("hidraw3"), 0x0933)))[0].path), QString());

    // 0x0946 is listed for collections 1 and 2 (first match wins per text).
    const auto studio = BuildInterfaceTexts(Parse(UsbTabletTree(QStringLiteral("hidraw3"), 0x0946,
                                                                Descriptors::PenMouseVendor())));
    EXPECT_EQ(ModelOf(studio[0].path), QStringLiteral("InkoraStudio22/col1"));
    EXPECT_EQ(ModelOf(studio[1].path), QStringLiteral("InkoraStudio22/col2"));
    EXPECT_EQ(ModelOf(studio[2].path), QString());

    // The kernel's interface 0 of the same device matches nothing.
    HidrawTree kernel = UsbTabletTree(QStringLiteral("hidraw2"), 0x0935);
    kernel.interfaceNumber = QStringLiteral("00");
    const QString path = BuildInterfaceTexts(Parse(kernel))[0].path;
    EXPECT_TRUE(IsMakerUsbPath(path));
    EXPECT_EQ(ModelOf(path), QString());
}

TEST(HidrawFacts, BluetoothLowEnergyTextsMatchTheBluetoothTable)
{
    const HidrawFacts f = Parse(BleKeypadTree());
    EXPECT_TRUE(f.lowEnergy);
    EXPECT_EQ(f.version, 3);
    EXPECT_EQ(f.interfaceNumber, -1);
    EXPECT_EQ(f.usbBusnum, -1);
    const auto texts = BuildInterfaceTexts(f);
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0].path, QStringLiteral("\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&0228bd_pid&0801"
                                            "_rev&0003_c8dfd0bf5b5e&col01#hidraw5")
                                 + QLatin1String(kHidClass));
    EXPECT_EQ(texts[0].bus, 5);
    EXPECT_FALSE(IsMakerUsbPath(texts[0].path));
    EXPECT_TRUE(IsMakerBlePath(texts[0].path));

    const BleModelEntry *e = MatchBleModel(texts[0].path);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->productId, 0x0801);
    // The table wants collection 1.
    EXPECT_EQ(MatchBleModel(texts[1].path), nullptr);

    // A Bluetooth classic HID device of the vendor has the other Windows form: it
    // contains "0228bd_pid" but no "Dev_VID", so the LE table does not take it.
    HidrawTree classic = BleKeypadTree();
    classic.hidSyspath = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-5/1-5:1.0/bluetooth/hci0/hci0:256/0005:28BD:0801.000A");
    const QString classicPath = BuildInterfaceTexts(Parse(classic))[0].path;
    EXPECT_TRUE(classicPath.startsWith(QLatin1String("\\\\?\\hid#{00001124-0000-1000-8000-00805f9b34fb}_vid&000228bd_pid&0801&col01#")));
    EXPECT_EQ(MatchBleModel(classicPath), nullptr);
}

TEST(HidrawFacts, OnlyAWellFormedHidrawNodeComesOutOfAText)
{
    EXPECT_EQ(HidrawNodeOfPath(QStringLiteral("\\\\?\\hid#vid_28bd&pid_0935&mi_02#hidraw12#{4d1e55b2-f16f-11cf-88cb-001111000030}")),
              QStringLiteral("hidraw12"));
    for (const char *bad : {"\\\\?\\hid#vid_28bd&pid_0935&mi_02#../../dev/sda#{x}",
                            "\\\\?\\hid#vid_28bd&pid_0935&mi_02#hidraw3x#{x}",
                            "\\\\?\\hid#vid_28bd&pid_0935&mi_02#hidraw#{x}",
                            "\\\\?\\hid#vid_28bd#hidraw3",
                            "/dev/hidraw3",
                            "\\\\?\\hid#a#hidraw3#b#c",
                            ""})
        EXPECT_EQ(HidrawNodeOfPath(QString::fromLatin1(bad)), QString()) << bad;
}
