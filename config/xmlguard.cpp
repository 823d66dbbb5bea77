#include "config/xmlguard.h"

#include <QByteArray>
#include <QDomDocument>
#include <QIODevice>
#include <QXmlStreamReader>

namespace {

void setError(XmlParseError *error, const QString &message, int line, int column)
{
    if (!error)
        return;
    error->message = message;
    error->line = line;
    error->column = column;
}

} // namespace

bool checkXmlLimits(const QByteArray &data, XmlParseError *error, int maxDepth, QString *rootVersion,
                    bool *rootFound)
{
    if (rootFound)
        *rootFound = false;
    if (data.size() > kXmlMaxFileBytes) {
        setError(error, QStringLiteral("file larger than %1 bytes").arg(kXmlMaxFileBytes), 0, 0);
        return false;
    }
    QXmlStreamReader reader(data);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (depth == 0 && rootFound && !*rootFound) {
                *rootFound = true;
                if (rootVersion)
                    *rootVersion = reader.attributes().value(QLatin1String("version")).toString();
            }
            if (++depth > maxDepth) {
                setError(error, QStringLiteral("elements nested deeper than %1 levels").arg(maxDepth),
                         int(reader.lineNumber()), int(reader.columnNumber()));
                return false;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::DTD) {
            // Our files never declare a document type. Refusing one keeps entity
            // definitions (nested expansion, external files) away from the DOM parser.
            setError(error, QStringLiteral("document type declarations are not accepted"),
                     int(reader.lineNumber()), int(reader.columnNumber()));
            return false;
        }
    }
    if (reader.hasError()) {
        setError(error, reader.errorString(), int(reader.lineNumber()), int(reader.columnNumber()));
        return false;
    }
    return true;
}

bool readGuardedXml(QIODevice *device, QDomDocument *document, XmlParseError *error)
{
    // One byte past the limit is enough to know the file is too large.
    const QByteArray data = device->read(kXmlMaxFileBytes + 1);
    if (!checkXmlLimits(data, error))
        return false;
    QDomDocument parsed;
    QString message;
    int line = 0;
    int column = 0;
    if (!parsed.setContent(data, &message, &line, &column)) {
        setError(error, message, line, column);
        return false;
    }
    *document = parsed;
    return true;
}
