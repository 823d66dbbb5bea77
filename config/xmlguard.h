#pragma once
// Limits every XML file must meet before the DOM parser sees it. The DOM parser of
// Qt 5.15 recurses once per nested element and overflows the stack at about 25,000
// levels, so a damaged or hostile profile could crash the program at start-up. Our
// files are a few hundred KiB and about ten levels deep; the limits leave wide room.

#include <QHash>
#include <QPair>
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
//
// scan, when given, is filled on the way: the root element and, when listChildren is
// set, where the root's first child element of each tag lies in the text (so one model
// of a profile file can be parsed without the others).
struct XmlRootScan {
    bool listChildren = false;  // in
    QString encoding;           // as the XML declaration states it; empty without one
    bool rootFound = false;
    QString rootTag;
    bool rootHasVersion = false;
    QString rootVersion;
    bool rootHasChild = false;  // any child element
    // Tag -> character offsets in the decoded text of its first element. The reader
    // looks ahead: the start may stand just past the child's "<", the end just past its
    // closing ">".
    QHash<QString, QPair<int, int>> children;
};
bool checkXmlLimits(const QByteArray &data, XmlParseError *error, int maxDepth = kXmlMaxDepth,
                    XmlRootScan *scan = nullptr);

// The rest of device, cut one byte past kXmlMaxFileBytes: enough for the guards to
// refuse a file that is too large. Asks for a file's own size, not the limit, since a
// read reserves what it asks for and the text (often kept) would hold 16 MiB.
QByteArray readXmlBytes(QIODevice *device);

// Reads the rest of device (at most kXmlMaxFileBytes), checks the limits and parses it
// into document. false with the reason on any failure; the document is then untouched.
bool readGuardedXml(QIODevice *device, QDomDocument *document, XmlParseError *error);
