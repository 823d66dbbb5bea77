#pragma once
// Limits every XML file must meet before the DOM parser sees it. The DOM parser of
// Qt 5.15 recurses once per nested element and overflows the stack at about 25,000
// levels, so a damaged or hostile profile could crash the program at start-up. Our
// files are a few hundred KiB and about ten levels deep; the limits leave wide room.

#include <QString>

class QByteArray;
class QDomDocument;
class QIODevice;

constexpr qint64 kXmlMaxFileBytes = 16 * 1024 * 1024;
constexpr int kXmlMaxDepth = 256;

struct XmlParseError {
    QString message;
    int line = 0;
    int column = 0;
};

// A streaming pass over data: false (with the place and reason) when it is larger than
// kXmlMaxFileBytes, nests deeper than maxDepth, carries a document type declaration
// (entity definitions), or is not well-formed XML.
// rootVersion, when given, receives the root element's "version" attribute (empty when
// it has none), and rootFound whether there is a root element: what the version check
// needs, without building a document.
bool checkXmlLimits(const QByteArray &data, XmlParseError *error, int maxDepth = kXmlMaxDepth,
                    QString *rootVersion = nullptr, bool *rootFound = nullptr);

// Reads the rest of device (at most kXmlMaxFileBytes), checks the limits and parses it
// into document. false with the reason on any failure; the document is then untouched.
bool readGuardedXml(QIODevice *device, QDomDocument *document, XmlParseError *error);
