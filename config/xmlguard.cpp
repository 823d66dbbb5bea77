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

bool checkXmlLimits(const QByteArray &data, XmlParseError *error, int maxDepth, XmlRootScan *scan)
{
    if (data.size() > kXmlMaxFileBytes) {
        setError(error, QStringLiteral("file larger than %1 bytes").arg(kXmlMaxFileBytes), 0, 0);
        return false;
    }
    QXmlStreamReader reader(data);
    int depth = 0;
    QPair<int, int> *child = nullptr; // the first of its tag, while inside it
    while (!reader.atEnd()) {
        // About where the next token starts (see XmlRootScan::children).
        const qint64 tokenStart = reader.characterOffset();
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartDocument && scan) {
            scan->encoding = reader.documentEncoding().toString();
        } else if (token == QXmlStreamReader::StartElement) {
            if (scan && depth == 0 && !scan->rootFound) {
                scan->rootFound = true;
                scan->rootTag = reader.name().toString();
                const QXmlStreamAttributes attributes = reader.attributes();
                scan->rootHasVersion = attributes.hasAttribute(QLatin1String("version"));
                scan->rootVersion = attributes.value(QLatin1String("version")).toString();
            } else if (scan && depth == 1) {
                scan->rootHasChild = true;
                if (scan->listChildren && !scan->children.contains(reader.name().toString())) {
                    child = &scan->children[reader.name().toString()];
                    *child = qMakePair(int(tokenStart), -1);
                }
            }
            if (++depth > maxDepth) {
                setError(error, QStringLiteral("elements nested deeper than %1 levels").arg(maxDepth),
                         int(reader.lineNumber()), int(reader.columnNumber()));
                return false;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (child && depth == 1) {
                child->second = int(reader.characterOffset());
                child = nullptr;
            }
        } else if (token == QXmlStreamReader::DTD) {
            // Our files never declare a document type. Refusing one keeps entity
            // definitions (nested expansion, external files) away from the DOM parser.
            setError(error, QStringLiteral("document type declarations are not accepted"), int(reader.lineNumber()),
                     int(reader.columnNumber()));
            return false;
        }
    }
    if (reader.hasError()) {
        setError(error, reader.errorString(), int(reader.lineNumber()), int(reader.columnNumber()));
        return false;
    }
    return true;
}

QByteArray readXmlBytes(QIODevice *device)
{
    const qint64 limit = kXmlMaxFileBytes + 1;
    const qint64 left = device->isSequential() ? 0 : device->size() - device->pos();
    // One more than the size, so a file that grew meanwhile still reads past its size.
    return device->read(left > 0 && left < limit ? left + 1 : limit);
}

bool readGuardedXml(QIODevice *device, QDomDocument *document, XmlParseError *error)
{
    const QByteArray data = readXmlBytes(device);
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
