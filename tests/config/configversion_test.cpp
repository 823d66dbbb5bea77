// Profile version reading: result codes, the cut of the version text, the comparison
// that decides whether the user's files are replaced, and the limits that keep a
// hostile file away from the DOM parser.

#include "config/configversion.h"
#include "config/xmlguard.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace {

// Collects what the code under test logs, restoring the previous handler afterwards.
class LogCapture {
public:
    LogCapture() { s_lines.clear(); m_previous = qInstallMessageHandler(&LogCapture::handler); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    QString all() const { return s_lines.join(QLatin1Char('\n')); }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message) { s_lines << message; }
    static QStringList s_lines;
    QtMessageHandler m_previous;
};
QStringList LogCapture::s_lines;

class ConfigVersionTest : public ::testing::Test {
protected:
    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    QString profile(const QString &name, const char *version)
    {
        return write(name, QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<InkoraConfig version=\"")
                               + version + "\">\n</InkoraConfig>\n");
    }
    QTemporaryDir m_dir;
};

TEST(ConfigVersionCut, CutsBeforeTheLastDotUnlessItLeads)
{
    EXPECT_EQ(cutConfigVersion(QStringLiteral("1.2.9")), QStringLiteral("1.2"));
    EXPECT_EQ(cutConfigVersion(QStringLiteral("1.2.0")), QStringLiteral("1.2"));
    EXPECT_EQ(cutConfigVersion(QStringLiteral("1.3.0")), QStringLiteral("1.3"));
    EXPECT_EQ(cutConfigVersion(QStringLiteral("1.2")), QStringLiteral("1"));
    EXPECT_EQ(cutConfigVersion(QStringLiteral("1")), QStringLiteral("1"));
    EXPECT_EQ(cutConfigVersion(QStringLiteral(".5")), QStringLiteral(".5"));
    EXPECT_EQ(cutConfigVersion(QStringLiteral("2.")), QStringLiteral("2"));
}

TEST_F(ConfigVersionTest, ReadsTheRootVersionAttribute)
{
    int code = -1;
    EXPECT_EQ(GetConfigXMLFileVersion(profile(QStringLiteral("a.xml"), "1.2.3"), &code), QStringLiteral("1.2"));
    EXPECT_EQ(code, 0);
}

TEST_F(ConfigVersionTest, FailureCodesAndTheirLogLines)
{
    struct Case {
        const char *name;
        QByteArray content;   // null: the file does not exist
        int code;
        const char *logged;
    };
    const Case cases[] = {
        {"missing.xml", QByteArray(), 101, "failed, error:"},
        {"broken.xml", "<InkoraConfig version=\"1.2.0\"><Common></InkoraConfig>", 102, "parse file failed at line"},
        {"empty.xml", "", 103, "document is null!"},
        {"blank.xml", "\n  \n", 103, "document is null!"},
        {"noversion.xml", "<InkoraConfig><Common/></InkoraConfig>", 105, "document-rootElem has no version attribute"},
        {"emptyversion.xml", "<InkoraConfig version=\"\"/>", 105, "document-rootElem has no version attribute"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.content.isNull() ? m_dir.filePath(QLatin1String(c.name))
                                                : write(QLatin1String(c.name), c.content);
        LogCapture log;
        int code = 0;
        EXPECT_TRUE(GetConfigXMLFileVersion(path, &code).isEmpty());
        EXPECT_EQ(code, c.code);
        EXPECT_TRUE(log.all().contains(QLatin1String(c.logged))) << log.all().toStdString();
        if (c.code == 101) {
            EXPECT_TRUE(log.all().startsWith(QStringLiteral("open file ") + path)) << log.all().toStdString();
        }
    }
}

TEST_F(ConfigVersionTest, ParseFailureNamesLineAndColumn)
{
    LogCapture log;
    int code = 0;
    GetConfigXMLFileVersion(write(QStringLiteral("bad.xml"), "<a>\n<b>\n</a>\n"), &code);
    EXPECT_EQ(code, 102);
    EXPECT_TRUE(log.all().startsWith(QStringLiteral("parse file failed at line 3 ,column "))) << log.all().toStdString();
}

TEST_F(ConfigVersionTest, CompareDecidesOnTheCutVersions)
{
    const QString installed = profile(QStringLiteral("default.xml"), "1.2.0");
    int code = -1;
    QString defaultVersion;

    EXPECT_TRUE(compareVersion(installed, profile(QStringLiteral("patch.xml"), "1.2.9"), &code, &defaultVersion));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(defaultVersion, QStringLiteral("1.2"));

    EXPECT_FALSE(compareVersion(installed, profile(QStringLiteral("newer.xml"), "1.3.0"), &code, &defaultVersion));
    EXPECT_EQ(code, 104);

    EXPECT_FALSE(compareVersion(installed, m_dir.filePath(QStringLiteral("none.xml")), &code, &defaultVersion));
    EXPECT_EQ(code, 101);
    EXPECT_EQ(defaultVersion, QStringLiteral("1.2"));

    // An unreadable default reports its own code, and no version to remember.
    EXPECT_FALSE(compareVersion(m_dir.filePath(QStringLiteral("gone.xml")), installed, &code, &defaultVersion));
    EXPECT_EQ(code, 101);
    EXPECT_TRUE(defaultVersion.isEmpty());
}

TEST_F(ConfigVersionTest, DeepOrHugeFilesAreParseFailuresNotCrashes)
{
    // Far deeper than the DOM parser survives (it overflows the stack near 25,000).
    const int levels = 100000;
    QByteArray deep = "<InkoraConfig version=\"1.2.0\">";
    deep += QByteArray("<a>").repeated(levels);
    deep += QByteArray("</a>").repeated(levels);
    deep += "</InkoraConfig>";
    int code = 0;
    EXPECT_TRUE(GetConfigXMLFileVersion(write(QStringLiteral("deep.xml"), deep), &code).isEmpty());
    EXPECT_EQ(code, 102);

    // Well-formed but past the size limit: rejected before it is parsed.
    QByteArray huge = "<InkoraConfig version=\"1.2.0\"><!--";
    huge += QByteArray(int(kXmlMaxFileBytes), ' ');
    huge += "--></InkoraConfig>";
    code = 0;
    EXPECT_TRUE(GetConfigXMLFileVersion(write(QStringLiteral("huge.xml"), huge), &code).isEmpty());
    EXPECT_EQ(code, 102);
}

TEST(XmlGuard, DepthLimitIsInclusive)
{
    const auto nested = [](int levels) {
        return QByteArray("<a>").repeated(levels) + QByteArray("</a>").repeated(levels);
    };
    XmlParseError error;
    EXPECT_TRUE(checkXmlLimits(nested(kXmlMaxDepth), &error));
    EXPECT_FALSE(checkXmlLimits(nested(kXmlMaxDepth + 1), &error));
    EXPECT_EQ(error.line, 1);
    EXPECT_GT(error.column, 0);
    // Siblings do not add up: depth, not element count, is limited.
    EXPECT_TRUE(checkXmlLimits("<r>" + QByteArray("<a/>").repeated(10000) + "</r>", &error));
}

} // namespace
