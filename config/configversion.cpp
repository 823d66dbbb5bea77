#include "config/configversion.h"

#include "config/xmlguard.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>

QString cutConfigVersion(const QString &version)
{
    const int dot = version.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? version.left(dot) : version;
}

QString GetConfigXMLFileVersion(const QString &path, int *code)
{
    int ignored = 0;
    int &result = code ? *code : ignored;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning().noquote() << "open file" << path << "failed, error:" << file.errorString();
        result = ConfigVersionOpenFailed;
        return QString();
    }

    QDomDocument document;
    XmlParseError error;
    // A file with nothing in it holds no document at all, which is not a parse error.
    const bool blank = file.peek(4096).trimmed().isEmpty() && file.size() < 4096;
    if (blank) {
        qWarning() << "document is null!";
        result = ConfigVersionNullDocument;
        return QString();
    }
    if (!readGuardedXml(&file, &document, &error)) {
        qWarning().noquote() << "parse file failed at line" << error.line << ",column"
                             << error.column << "," << error.message;
        result = ConfigVersionParseFailed;
        return QString();
    }
    if (document.isNull()) {
        qWarning() << "document is null!";
        result = ConfigVersionNullDocument;
        return QString();
    }

    const QDomElement root = document.documentElement();
    const QString version = root.attribute(QStringLiteral("version"));
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

bool compareVersion(const QString &defaultFile, const QString &userFile, int *code,
                    QString *defaultVersion)
{
    int ignored = 0;
    int &result = code ? *code : ignored;

    const QString installed = GetConfigXMLFileVersion(defaultFile, &result);
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
