#include "sim/simhidbackend.h"
#include "sim/simtablet.h"

#include <QThread>

#include <gtest/gtest.h>

#include <thread>

namespace {

QByteArray cmd(std::initializer_list<int> list, int length)
{
    QByteArray b(length, '\0');
    int i = 0;
    for (int v : list)
        b[i++] = char(v);
    return b;
}

int send(SimTablet &t, const QByteArray &b)
{
    return t.write(reinterpret_cast<const uint8_t *>(b.constData()), b.size());
}

QByteArray readOne(SimTablet &t, int timeoutMs = 0)
{
    uint8_t buf[64];
    const int n = t.read(buf, sizeof buf, timeoutMs);
    return n > 0 ? QByteArray(reinterpret_cast<const char *>(buf), n) : QByteArray();
}

} // namespace

TEST(SimTablet, AnswersModeLightAndAttributeCommands)
{
    SimTablet t(*SimModels::find(0x0933));
    send(t, cmd({0x02, 0xB0, 0x04}, 10));
    EXPECT_EQ(t.mode(), 4);
    EXPECT_EQ(readOne(t), cmd({0x02, 0xB0, 0x04, 0x01}, 4));

    send(t, cmd({0x02, 0xB4, 0x01, 0x01, 0x02, 0x05}, 12)); // set tablet light to 5
    EXPECT_EQ(t.lightLevel(2), 5);
    EXPECT_EQ(readOne(t), cmd({0x02, 0xB4, 0x01, 0x00, 0x02, 0x05}, 6));
    send(t, cmd({0x02, 0xB4, 0x01, 0x00, 0x01}, 12)); // query wheel light
    EXPECT_EQ(readOne(t), cmd({0x02, 0xB4, 0x01, 0x00, 0x01, 0x03}, 6));

    send(t, cmd({0x80, 0x06, 100}, 10));
    const QByteArray geometry = readOne(t);
    ASSERT_GE(geometry.size(), 16);
    EXPECT_EQ(geometry.left(4), cmd({0x02, 0x06, 100, 0x01}, 4));
    EXPECT_EQ(geometry.mid(4), SimReports::geometry(t.model()));

    send(t, cmd({0x80, 0x06, 103}, 10)); // no such attribute: failure byte
    EXPECT_EQ(readOne(t), cmd({0x02, 0x06, 103, 0x00}, 4));
    EXPECT_EQ(t.commands().size(), 5);
}

TEST(SimTablet, KeypadModeFormAndModelWithoutLights)
{
    SimTablet keypad(*SimModels::find(0x0201));
    send(keypad, cmd({0x03, 0x01, 0x02}, 10));
    EXPECT_EQ(keypad.mode(), 2);
    EXPECT_EQ(readOne(keypad), cmd({0x02, 0xB0, 0x02, 0x01}, 4));
    // the keypad's geometry string has a zero pen area; a device may lack it
    uint8_t raw[64];
    EXPECT_EQ(keypad.rawStringDescriptor(100, raw, sizeof raw), 12);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(raw), 12), QByteArray(12, '\0'));
    keypad.setWithoutGeometry();
    EXPECT_EQ(keypad.rawStringDescriptor(100, raw, sizeof raw), -1);

    SimTablet plain(*SimModels::find(0x0074));
    send(plain, cmd({0x02, 0xB4, 0x01, 0x00, 0x02}, 12));
    EXPECT_TRUE(readOne(plain).isEmpty()); // a model without lights stays silent
}

TEST(SimTablet, StringDescriptors)
{
    SimTablet t(*SimModels::find(0x0935), 3);
    QString text;
    ASSERT_TRUE(t.stringDescriptor(4, &text));
    EXPECT_EQ(text, QStringLiteral("KPX2000A-A"));
    uint8_t raw[64];
    EXPECT_EQ(t.rawStringDescriptor(110, raw, sizeof raw), 64);
    EXPECT_EQ(t.rawStringDescriptor(131, raw, 8), 8);
    // text strings come raw as UTF-16LE
    ASSERT_EQ(t.rawStringDescriptor(2, raw, sizeof raw), 2 * int(strlen(t.model().product)));
    EXPECT_EQ(raw[0], uint8_t('I'));
    EXPECT_EQ(raw[1], 0);
    EXPECT_FALSE(t.stringDescriptor(77, &text));
}

TEST(SimTablet, ProfileUploadAndDownload)
{
    SimTablet t(*SimModels::find(0x0201));
    const QByteArray profile = QByteArray("<KPD05App>").append(QByteArray(100, 'x')).append("</KPD05App>");

    // host -> device: start with the total, 29-byte data packets, end
    QByteArray start = cmd({0x02, 0xB6, 0x01}, 32);
    start[3] = char(profile.size());
    start[7] = char(0x01);
    send(t, start);
    EXPECT_EQ(readOne(t), cmd({0x02, 0xB6, 0x01, 0x01}, 4));
    for (int at = 0; at < profile.size(); at += 29) {
        QByteArray data = cmd({0x02, 0xB6, 0x03}, 3) + profile.mid(at, 29);
        data.append(QByteArray(32 - data.size() > 0 ? 32 - data.size() : 0, '\0'));
        send(t, data);
    }
    send(t, cmd({0x02, 0xB6, 0x02}, 32));
    EXPECT_EQ(readOne(t), cmd({0x02, 0xB6, 0x02, 0x02}, 4));
    EXPECT_EQ(t.onboardProfile(), profile);

    // device -> host: header with total and transfer id, data, end
    send(t, cmd({0x02, 0xB6, 0x00, 0x01}, 10));
    const QByteArray header = readOne(t);
    ASSERT_EQ(header.size(), 64);
    EXPECT_EQ(quint8(header[3]), 0x01);
    EXPECT_EQ(quint8(header[4]), profile.size());
    EXPECT_EQ(quint8(header[8]), 0x01);
    QByteArray collected;
    QByteArray r;
    while (!(r = readOne(t)).isEmpty() && quint8(r[2]) == 0x00)
        collected += r.mid(3);
    EXPECT_EQ(r, cmd({0x02, 0xB6, 0x02, 0x00}, 4));
    EXPECT_EQ(collected.left(profile.size()), profile);
}

TEST(SimTablet, ScriptedReportsKeepOrderAndTiming)
{
    SimTablet t(*SimModels::find(0x0935));
    t.queueKeys(0x1);
    t.queueReport(QByteArray("late"), 200);
    send(t, cmd({0x02, 0xB0, 0x02}, 10)); // reply goes ahead of the report not yet due
    EXPECT_EQ(quint8(readOne(t)[1]), 0xF0);
    EXPECT_EQ(quint8(readOne(t)[1]), 0xB0);
    EXPECT_TRUE(readOne(t, 0).isEmpty()); // not due yet
    EXPECT_EQ(readOne(t, 5000), QByteArray("late"));

    t.queueStroke(0, 0, 100, 100, 5, 4000);
    EXPECT_EQ(t.pendingReports(), 1 + 5 + 2);
}

// The latency benchmark stamps reports here: exactly the bytes read() hands out, once
// each, in order; a time-out or an unplugged device hands out nothing.
TEST(SimTablet, ReadObserverSeesEachReportAsHandedOut)
{
    SimTablet t(*SimModels::find(0x0935));
    QVector<QByteArray> seen;
    t.setReadObserver([&seen](const uint8_t *r, int n) { seen << QByteArray(reinterpret_cast<const char *>(r), n); });
    SimPenSample s;
    s.x = 0x1234;
    t.queuePen(s);
    t.queueKeys(0x2);
    const QByteArray pen = readOne(t);
    uint8_t shortBuffer[4];
    ASSERT_EQ(t.read(shortBuffer, sizeof shortBuffer, 0), 4); // cut to the buffer
    EXPECT_TRUE(readOne(t, 0).isEmpty());
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], pen);
    EXPECT_EQ(quint8(seen[0][2]), 0x34);
    EXPECT_EQ(seen[1], SimReports::keysAndRing(t.model(), 0x2, 0).left(4));

    t.setReadObserver(nullptr);
    t.queueKeys(0x0);
    EXPECT_FALSE(readOne(t).isEmpty());
    t.unplug();
    EXPECT_EQ(seen.size(), 2);
}

TEST(SimTablet, UnplugEndsAWaitingReader)
{
    auto tablet = std::make_shared<SimTablet>(*SimModels::find(0x0935));
    int result = 1;
    std::thread reader([&] {
        uint8_t buf[64];
        result = tablet->read(buf, sizeof buf, 60000);
    });
    QThread::msleep(20);
    tablet->unplug();
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(send(*tablet, cmd({0x02, 0xB0, 0x02}, 10)), -1);
}

TEST(SimHidBackend, EnumeratesBothInterfacesAndOpensByPath)
{
    SimHidBackend backend;
    ASSERT_TRUE(backend.init());
    auto t = backend.plug(*SimModels::find(0x0935));
    backend.plug(*SimModels::find(0x0201));

    const auto list = backend.enumerate(0x28BD);
    ASSERT_EQ(list.size(), 4); // 0x0935: mi_00 + mi_02; 0x0201: its vendor interface is 1, plus mi_00
    EXPECT_TRUE(list[1].path.contains(QStringLiteral("vid_28bd&pid_0935&mi_02&col01"), Qt::CaseInsensitive));
    EXPECT_EQ(list[1].interfaceNumber, 2);
    EXPECT_TRUE(backend.enumerate(0x1234).isEmpty());

    auto dev = backend.open(list[1].path.toUpper()); // case does not matter
    ASSERT_NE(dev, nullptr);
    const uint8_t mode[10] = {0x02, 0xB0, 0x04};
    EXPECT_EQ(dev->write(mode, 10), 10);
    uint8_t buf[64];
    EXPECT_EQ(dev->readTimeout(buf, sizeof buf, 100), 4);

    auto kernel = backend.open(list[0].path);
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(kernel->readTimeout(buf, sizeof buf, 1), 0);
    EXPECT_EQ(backend.open(QStringLiteral("\\\\?\\hid#vid_28bd&pid_9999&mi_00")), nullptr);

    backend.unplug(t);
    EXPECT_EQ(dev->readTimeout(buf, sizeof buf, 100), -1);
    EXPECT_EQ(backend.enumerate(0).size(), 2);
}
