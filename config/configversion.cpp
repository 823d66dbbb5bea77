#include "config/configversion.h"

#include "config/xmlguard.h"

#include <QDebug>
#include <QFile>
#include <QXmlStreamReader>

QString cutConfigVersion(const QString &version)
{
    const int dot = version.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? version.left(dot) : version;
}

namespace {

// The root element's version as far as the first element, under the same limits as a
// whole read.
bool ReadRootVersion(const QByteArray &data, QString *version, bool *rootFound, XmlParseError *error)
{
    *rootFound = false;
    if (data.size() > kXmlMaxFileBytes) {
        *error = XmlParseError{QStringLiteral("file larger than %1 bytes").arg(kXmlMaxFileBytes), 0, 0};
        return false;
    }
    QXmlStreamReader reader(data);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD) {
            *error = XmlParseError{QStringLiteral("document type declarations are not accepted"),
                                   int(reader.lineNumber()), int(reader.columnNumber())};
            return false;
        }
        if (token == QXmlStreamReader::StartElement) {
            *rootFound = true;
            *version = reader.attributes().value(QLatin1String("version")).toString();
            return true;
        }
    }
    if (reader.hasError()) {
        *error = XmlParseError{reader.errorString(), int(reader.lineNumber()), int(reader.columnNumber())};
        return false;
    }
    return true;
}

} // namespace

QString GetConfigXMLFileVersion(const QString &path, int *code, VersionRead read)
{
    int ignored = 0;
    int &result = code ? *code : ignored;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning().noquote() << "open file" << path << "failed, error:" << file.errorString();
        result = ConfigVersionOpenFailed;
        return QString();
    }

    XmlParseError error;
    // A file with nothing in it holds no document at all, which is not a parse error.
    const bool blank = file.peek(4096).trimmed().isEmpty() && file.size() < 4096;
    if (blank) {
        qWarning() << "document is null!";
        result = ConfigVersionNullDocument;
        return QString();
    }
    // The guards' streaming pass checks the whole file and reads the root's attribute:
    // at every start both profile files are checked, and a document tree of them would
    // cost several times as much.
    QString version;
    bool rootFound = false;
    const QByteArray data = readXmlBytes(&file);
    XmlRootScan scan;
    const bool readOk = read == VersionRead::RootOnly ? ReadRootVersion(data, &version, &rootFound, &error)
                                                      : checkXmlLimits(data, &error, kXmlMaxDepth, &scan);
    if (read == VersionRead::WholeFile) {
        version = scan.rootVersion;
        rootFound = scan.rootFound;
    }
    if (!readOk) {
        qWarning().noquote() << "parse file failed at line" << error.line << ",column" << error.column << ","
                             << error.message;
        result = ConfigVersionParseFailed;
        return QString();
    }
    if (!rootFound) {
        qWarning() << "document is null!";
        result = ConfigVersionNullDocument;
        return QString();
    }

    // An empty attribute is as useless as a missing one: reporting it as success would
    // make the caller replace the user's files with code 0.
    if (version.isEmpty()) {
        qWarning() << "document-rootElem has no version attribute";
        result = ConfigVersionNoAttribute;
        return QString();
    }
    result = ConfigVersionOk;
    return cutConfigVersion(version);
}

bool compareVersion(const QString &defaultFile, const QString &userFile, int *code, QString *defaultVersion)
{
    int ignored = 0;
    int &result = code ? *code : ignored;

    const QString installed = GetConfigXMLFileVersion(defaultFile, &result, VersionRead::RootOnly);
    if (defaultVersion)
        *defaultVersion = installed;
    if (installed.isEmpty())
        return false;

    const QString user = GetConfigXMLFileVersion(userFile, &result);
    if (user.isEmpty())
        return false;
    if (user != installed) {
        result = ConfigVersionDiffers;
        return false;
    }
    result = ConfigVersionOk;
    return true;
}
