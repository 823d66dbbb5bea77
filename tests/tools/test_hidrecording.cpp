#include "tools/hidrecording.h"
#include "tools/jsonline.h"

#include <gtest/gtest.h>

TEST(HidRecording, ReadsEventsIdentityAndIgnoresRecorderHeaders)
{
    const QByteArray text =
        "# recorded on a pen tablet\n"
        "D: 0\n"
        "R: 3 05 0d 09\n"
        "N: Some Tablet\n"
        "P: usb-0000:00:14.0-1/input2\n"
        "I: 3 28bd 0935\n"
        "\n"
        "E: 000000.000000 10 02 a1 10 27 20 4e 00 10 05 fb\r\n"
        "E: 000001.5 4 02 B0 04 01\n";
    HidRecording rec;
    QString error;
    ASSERT_TRUE(ParseHidRecording(text, &rec, &error)) << error.toStdString();
    EXPECT_TRUE(rec.hasIdentity);
    EXPECT_EQ(rec.bus, 3);
    EXPECT_EQ(rec.vendorId, 0x28BD);
    EXPECT_EQ(rec.productId, 0x0935);
    ASSERT_EQ(rec.reports.size(), 2);
    EXPECT_EQ(rec.reports[0].line, 8);
    EXPECT_EQ(rec.reports[0].bytes, QByteArray::fromHex("02a11027204e001005fb"));
    EXPECT_EQ(rec.reports[1].timeUs, 1500000); // ".5" is half a second
    EXPECT_EQ(rec.reports[1].bytes, QByteArray::fromHex("02b00401"));
}

TEST(HidRecording, BadInputNamesTheLine)
{
    struct Case {
        const char *text;
        const char *expect;
    } cases[] = {
        {"E: 0.0 3 02 a1\n", "line 1: length field says 3 bytes but the line has 2"},
        {"# ok\nE: 0.0 2 02 a\n", "line 2: \"a\" is not a hex byte"},
        {"E: 0.0 2 02 0g1\n", "is not a hex byte"},
        {"E: 0.0 x 02\n", "bad length field"},
        {"E: 0.0 65 " "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n",
         "longer than 64"},
        {"E: yesterday 1 02\n", "bad time stamp"},
        {"E:\n", "needs a time stamp"},
        {"X: 1 2 3\n", "line 1: unknown line tag \"X:\""},
        {"hello\n", "expected a tag"},
        {"I: 3 28bd\n", "identity needs"},
        {"I: 3 28bd 10000\n", "at most 4 digits"},
    };
    for (const Case &c : cases) {
        HidRecording rec;
        QString error;
        EXPECT_FALSE(ParseHidRecording(QByteArray(c.text), &rec, &error)) << c.text;
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.expect))) << error.toStdString();
    }
}

TEST(JsonLine, KeepsKeyOrderAndEscapes)
{
    const uint8_t keys[3] = {1, 0, 1};
    JsonLine line("log");
    line.add("level", QStringLiteral("info"))
        .add("text", QStringLiteral("a \"quoted\"\\ line\r\n\x01"))
        .add("n", qint64(-3))
        .add("d", 0.5)
        .addArray("keys", keys, 3);
    EXPECT_EQ(line.text(),
              QByteArray("{\"event\":\"log\",\"level\":\"info\",\"text\":\"a \\\"quoted\\\"\\\\ line\\r\\n\\u0001\","
                         "\"n\":-3,\"d\":0.5,\"keys\":[1,0,1]}"));
}
