// The diagnosis dialog: system description, the Wintab and driver checks, and the live
// fields fed by a simulated tablet.
#include "usbtestenv.h"
#include "action/caction.h"

#include "app/diagnosisfunction.h"
#include "base/languagetexts.h"

#include "config/modeltables.h"
#include "device/cusbtablet.h"
#include "device/tablettable.h"
#include "driverlink/cwintabmap.h"
#include "driverlink/driverlink.h"
#include "platform/input/inputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/vhid/recordingvhid.h"
#include "sim/simhidbackend.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <vector>

namespace {

QString label(const DiagnosisFunction &dialog, const char *key)
{
    QLabel *l = dialog.valueLabel(QString::fromLatin1(key));
    return l ? l->text() : QStringLiteral("<no field>");
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

struct DriverLinkGuard {
    ~DriverLinkGuard() { DriverLink::Close(); }
};

} // namespace

TEST(SystemDescription, WindowsElevenIsToldByTheKernelBuild)
{
    const QString win10 = QStringLiteral("Windows 10 Version 22H2");
    EXPECT_EQ(Diagnosis::DescribeWindows(win10, QStringLiteral("10"), QStringLiteral("windows"), QStringLiteral("x86_64"),
                                         QStringLiteral("10.0.19045")),
              QStringLiteral("Windows 10 Version 22H2 x86_64 10.0.19045"));
    EXPECT_EQ(Diagnosis::DescribeWindows(win10, QStringLiteral("10"), QStringLiteral("windows"), QStringLiteral("x86_64"),
                                         QStringLiteral("10.0.22631")),
              QStringLiteral("Windows 11 x86_64 10.0.22631"));
    EXPECT_EQ(Diagnosis::DescribeWindows(win10, QStringLiteral("10"), QStringLiteral("windows"), QStringLiteral("arm64"),
                                         QStringLiteral("10.0.22000")),
              QStringLiteral("Windows 11 arm64 10.0.22000"))
        << "the first Windows 11 build";
    // A kernel version without three parts, or another product version, is not looked at.
    EXPECT_EQ(Diagnosis::DescribeWindows(win10, QStringLiteral("10"), QStringLiteral("windows"), QStringLiteral("x86_64"),
                                         QStringLiteral("10.0.22631.1")),
              QStringLiteral("Windows 10 Version 22H2 x86_64 10.0.22631.1"));
    EXPECT_EQ(Diagnosis::DescribeWindows(QStringLiteral("Windows Server"), QStringLiteral("2022"),
                                         QStringLiteral("windows"), QStringLiteral("x86_64"), QStringLiteral("10.0.25000")),
              QStringLiteral("Windows Server x86_64 10.0.25000"));
}

TEST(SystemDescription, LinuxFromOsReleaseAndKernel)
{
    QTemporaryDir dir;
    const QString debian = writeFile(dir, QStringLiteral("debian"),
                                     "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                                     "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n# comment\n\nBROKEN\n");
    EXPECT_EQ(Diagnosis::DescribeLinux(debian, QStringLiteral("x86_64"), QStringLiteral("6.1.0-18-amd64")),
              QStringLiteral("Debian GNU/Linux 12 (bookworm) x86_64 6.1.0-18-amd64"));
    const QString bare = writeFile(dir, QStringLiteral("bare"), "NAME=Alpine\nVERSION_ID='3.19'");
    EXPECT_EQ(Diagnosis::DescribeLinux(bare, QStringLiteral("aarch64"), QStringLiteral("6.6.7")),
              QStringLiteral("Alpine 3.19 aarch64 6.6.7"))
        << "no PRETTY_NAME, single quotes, no final line break";
    EXPECT_EQ(Diagnosis::DescribeLinux(dir.filePath(QStringLiteral("missing")), QStringLiteral("x86_64"),
                                       QStringLiteral("6.1.0")),
              QStringLiteral("Linux x86_64 6.1.0"));
    EXPECT_FALSE(Diagnosis::SystemVersion().isEmpty());
}

TEST(WintabTest, MapPresenceAndLayout)
{
    QString result;
    EXPECT_FALSE(Diagnosis::TestWintabMap(nullptr, &result));
    EXPECT_EQ(result, QStringLiteral("Wintab map does not exist"));

    // A map made by this program carries the layout the driver reads.
    QTemporaryDir dir;
    PosixIpcBackend ipc(dir.path());
    CWintabMap map(ipc);
    ASSERT_TRUE(map.Create());
    EXPECT_TRUE(Diagnosis::TestWintabMap(map.Data(), &result));
    EXPECT_TRUE(result.startsWith(QStringLiteral("Wintab map"))) << "the field says what was tested";

    // A map of another layout (here: another pressure maximum) fails.
    std::vector<uint8_t> other(map.Data(), map.Data() + kWintabMapSize);
    const int32_t pressure = 1023;
    std::memcpy(&other[kWintabPressureMaxOffset], &pressure, 4);
    EXPECT_FALSE(Diagnosis::TestWintabMap(other.data(), &result));
    EXPECT_EQ(result, QStringLiteral("Wintab map layout differs"));
}

TEST(DiagnosisEnvironmentTest, WithoutAndWithTheDriverLink)
{
    DriverLinkGuard guard;
    DriverLink::Close();
    DiagnosisEnvironment none = Diagnosis::CollectEnvironment(QStringLiteral("1.3"), QStringLiteral("3.0.0"));
    EXPECT_EQ(none.wintabTest, QStringLiteral("Fail"));
    EXPECT_FALSE(none.driverInstalled);
    EXPECT_EQ(none.xmlVersion, QStringLiteral("1.3"));

    QTemporaryDir dir;
    DriverLinkBackends backends;
    backends.vhid = std::make_unique<RecordingVhidBackend>(
        QVector<VhidDeviceInfo>{{QStringLiteral("HID\\Inkora&COL05"), QStringLiteral("virtual")}});
    backends.ipc = std::make_unique<PosixIpcBackend>(dir.path());
    ASSERT_TRUE(DriverLink::Open(std::move(backends)));
    DiagnosisEnvironment linked = Diagnosis::CollectEnvironment(QStringLiteral("1.3"), QStringLiteral("3.0.0"));
    EXPECT_TRUE(linked.wintabTest.startsWith(QStringLiteral("Wintab map"))) << linked.wintabTest.toStdString();
    EXPECT_TRUE(linked.driverInstalled);

    DiagnosisFunction dialog(nullptr);
    dialog.SetEnvironmentInfo(linked);
    EXPECT_EQ(label(dialog, "DiagnosisFunction.driverinstalltest"), QStringLiteral("pass"));
    dialog.SetEnvironmentInfo(none);
    EXPECT_EQ(label(dialog, "DiagnosisFunction.driverinstalltest"), QStringLiteral("fail"));
    EXPECT_EQ(label(dialog, "DiagnosisFunction.wintabletest"), QStringLiteral("Fail"));
}

TEST(DiagnosisDialog, CaptionsFromTheLanguageFileWithFullWidthColonFallbacks)
{
    QTemporaryDir dir;
    QSettings language(dir.filePath(QStringLiteral("language.ini")), QSettings::IniFormat);
    language.beginGroup(QStringLiteral("German"));
    language.setValue(QStringLiteral("DiagnosisFunction.product"), QStringLiteral("Produkt："));
    language.setValue(QStringLiteral("DiagnosisFunction.pass"), QStringLiteral("bestanden"));
    language.sync();
    const LanguageTexts texts = LanguageTexts::load(language.fileName(), QStringLiteral("German"));
    DiagnosisFunction dialog(&texts);
    QStringList captions;
    for (QLabel *l : dialog.findChildren<QLabel *>())
        captions << l->text();
    EXPECT_TRUE(captions.contains(QStringLiteral("Produkt：")));
    EXPECT_TRUE(captions.contains(QStringLiteral("current presure：")));
    EXPECT_TRUE(captions.contains(QStringLiteral("System version：")));
    EXPECT_TRUE(captions.contains(QStringLiteral("Configuration version:")));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Diagnosis Tool"));
    DiagnosisEnvironment env;
    env.driverInstalled = true;
    dialog.SetEnvironmentInfo(env);
    EXPECT_EQ(label(dialog, "DiagnosisFunction.driverinstalltest"), QStringLiteral("bestanden"));
}

TEST(DiagnosisDialog, LiveFieldsFollowPenRecordsOfTheCurrentTabletOnly)
{
    DiagnosisFunction dialog(nullptr);
    CTablet current(0);
    CTablet other(1);

    MultiData pen{};
    pen.flags = 0x01;
    pen.screenX = 1234.5;
    pen.screenY = 77.125;
    pen.pressure = 8191;
    dialog.OnMultiData(&other, pen); // no current tablet: any tablet's pen counts
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currentx"), QStringLiteral("1234.50"));
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currenty"), QStringLiteral("77.13"));
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currentz"), QStringLiteral("8191"));

    MultiData key{};
    key.flags = 0x02;
    dialog.OnMultiData(&other, key);
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currentz"), QStringLiteral("8191")) << "a key record is no pen sample";

    dialog.SetCurrentTablet(&current);
    pen.pressure = 5;
    dialog.OnMultiData(&other, pen);
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currentz"), QStringLiteral("8191")) << "another tablet's pen";
    dialog.OnMultiData(&current, pen);
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currentz"), QStringLiteral("5"));
}

TEST(DiagnosisDialog, CloseSignalAndUsageRecord)
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 400, 300);
    DiagnosisFunction dialog(nullptr, &mainWindow);
    QSignalSpy closed(&dialog, &DiagnosisFunction::CloseDiagnosisFunction);
    QSignalSpy usage(&dialog, &DiagnosisFunction::PostUsageRecord);

    DiagnosisEnvironment env;
    env.xmlVersion = QStringLiteral("1.3");
    env.driverVersion = QStringLiteral("3.0.0");
    env.systemVersion = QStringLiteral("Debian x86_64 6.1");
    env.wintabTest = QStringLiteral("Fail");
    dialog.DiagnosisFun(nullptr, env);
    ASSERT_EQ(usage.count(), 1);
    EXPECT_EQ(usage[0][0].toString(), QStringLiteral("DiagnosisInfo"));
    const auto pairs = usage[0][1].value<QVector<QPair<QString, QString>>>();
    const QVector<QPair<QString, QString>> expected = {{QStringLiteral("XmlVersion"), QStringLiteral("1.3")},
                                                       {QStringLiteral("DriverVersion"), QStringLiteral("3.0.0")},
                                                       {QStringLiteral("SystemVersion"), QStringLiteral("Debian x86_64 6.1")},
                                                       {QStringLiteral("TestWintab"), QStringLiteral("Fail")}};
    EXPECT_EQ(pairs, expected);
    EXPECT_GE(dialog.x(), mainWindow.frameGeometry().right()) << "placed beside the main window";

    // The system check runs off the GUI thread (the event loop turns meanwhile) and
    // fills its list when done; asking again while it runs starts no second one.
    EXPECT_TRUE(dialog.systemCheckRunning());
    dialog.StartSystemCheck();
    auto *check = dialog.findChild<QPlainTextEdit *>(QStringLiteral("plainTextEdit_systemcheck"));
    ASSERT_TRUE(check);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.systemCheckRunning(); }, 20000));
    EXPECT_TRUE(check->toPlainText().contains(QLatin1String("udev rules"))) << qPrintable(check->toPlainText());

    dialog.show();
    dialog.close();
    EXPECT_EQ(closed.count(), 1);
    dialog.show();
    dialog.reject(); // Esc
    EXPECT_EQ(closed.count(), 2);
}

// A simulated tablet opened on its own reading thread: its pen records reach the open
// dialog through the same queued signal the main window uses.
class DiagnosisOnSimulatedTablet : public UsbTestEnv {
protected:
    SimHidBackend m_backend;
};

TEST_F(DiagnosisOnSimulatedTablet, ShowsTheTabletAndItsLivePen)
{
    auto sim = m_backend.plug(*SimModels::find(0x0935));
    auto tablet = std::make_unique<CUSBTablet>(0, &m_backend, m_names.get());
    AttachActionEngine(*tablet);
    ASSERT_TRUE(tablet->OpenUsbDevice(SimHidBackend::interfacePath(*sim).toLocal8Bit(),
                                      FindUsbModel(sim->model().productId)));
    tablet->emitToUi = 1;

    DiagnosisFunction dialog(nullptr);
    dialog.DiagnosisFun(tablet.get(), Diagnosis::CollectEnvironment(QStringLiteral("1.3"), QStringLiteral("3.0.0")));
    const DeviceAttributes attributes = tablet->CopyAttributes();
    EXPECT_EQ(label(dialog, "DiagnosisFunction.product"), QString::fromUtf8(attributes.ProductName));
    EXPECT_FALSE(label(dialog, "DiagnosisFunction.device").isEmpty());
    EXPECT_EQ(label(dialog, "DiagnosisFunction.icversion"), QString::fromUtf8(attributes.ICVersion));
    EXPECT_EQ(label(dialog, "DiagnosisFunction.serialnum"), QString::fromUtf8(attributes.SerialNumber));
    EXPECT_TRUE(label(dialog, "DiagnosisFunction.currentx").isEmpty());

    QVector<MultiData> seen;
    QObject::connect(tablet.get(), &CTablet::SentMultiData, &dialog, &DiagnosisFunction::OnMultiData,
                     Qt::QueuedConnection);
    QObject::connect(tablet.get(), &CTablet::SentMultiData, &dialog,
                     [&](CTablet *, MultiData m) {
                         if (m.flags & 0x01)
                             seen << m;
                     },
                     Qt::QueuedConnection);
    dialog.show();
    sim->queueStroke(1000, 1000, 20000, 15000, 10, 3000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() >= 12; }, 5000)) << seen.size();
    const MultiData last = seen.last();
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currentx"), QString::number(last.screenX, 'f', 2));
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currenty"), QString::number(last.screenY, 'f', 2));
    EXPECT_EQ(label(dialog, "DiagnosisFunction.currentz"), QString::number(last.pressure));

    const QImage image = dialog.grab().toImage();
    ASSERT_FALSE(image.isNull());
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 2)
        for (int x = 0; x < image.width() && !varied; x += 2)
            varied = image.pixel(x, y) != image.pixel(0, 0);
    EXPECT_TRUE(varied) << "the dialog rendered offscreen";
    tablet->CloseDevice();
}
