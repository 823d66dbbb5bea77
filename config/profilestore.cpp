#include "config/profilestore.h"

#include "config/appprofiles.h"
#include "config/profiletext.h"
#include "config/xmlguard.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QTextStream>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

const char kLoadPrefix[] = "Function  LoadConfig Error:";

const QString kPath = QStringLiteral("path");
const QString kPen = QStringLiteral("Pen");
const QString kSelectID = QStringLiteral("SelectID");
const QString kId = QStringLiteral("id");

void SetCode(int *code, int value)
{
    if (code)
        *code = value;
}

QDebug Failure(const char *prefix)
{
    QDebug d = qWarning().noquote();
    if (prefix && *prefix)
        d << prefix;
    return d;
}

// ---------------------------------------------------------------------------
// The document

bool ParseDocument(const QByteArray &data, QDomDocument *document, const char *prefix, int *code)
{
    // A file with nothing in it holds no document at all, which is not a parse error.
    if (data.trimmed().isEmpty()) {
        Failure(prefix) << "document is null!";
        SetCode(code, ProfileNullDocument);
        return false;
    }
    XmlParseError error;
    if (!checkXmlLimits(data, &error)) {
        Failure(prefix) << "parse file failed at line" << error.line << ",column" << error.column << ","
                        << error.message;
        SetCode(code, ProfileParseFailed);
        return false;
    }
    QDomDocument parsed;
    if (!parsed.setContent(data, &error.message, &error.line, &error.column)) {
        Failure(prefix) << "parse file failed at line" << error.line << ",column" << error.column << ","
                        << error.message;
        SetCode(code, ProfileParseFailed);
        return false;
    }
    if (parsed.isNull() || parsed.documentElement().isNull()) {
        Failure(prefix) << "document is null!";
        SetCode(code, ProfileNullDocument);
        return false;
    }
    *document = parsed;
    return true;
}

bool ReadFile(const QString &path, QByteArray *data, const char *prefix, int *code)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        Failure(prefix) << "open file" << path << "failed, error:" << file.errorString();
        SetCode(code, ProfileOpenFailed);
        return false;
    }
    *data = readXmlBytes(&file);
    return true;
}

QDomElement FindModel(const QDomDocument &document, const QString &key, const char *prefix, int *code)
{
    const QDomElement root = document.documentElement();
    if (root.hasAttribute(QStringLiteral("version")))
        qInfo().noquote() << root.tagName() << "version" << root.attribute(QStringLiteral("version"));
    else
        qInfo().noquote() << root.tagName();

    QDomElement model = root.firstChildElement();
    if (model.isNull()) {
        qWarning().noquote() << QLatin1String(prefix) + QStringLiteral("pidElement.firstChildElement is Null.");
        SetCode(code, ProfileModelMissing);
        return QDomElement();
    }
    while (!model.isNull() && model.tagName() != key)
        model = model.nextSiblingElement();
    if (model.isNull()) {
        qWarning().noquote() << "can not find the pid xml." << key;
        SetCode(code, ProfileModelMissing);
        return QDomElement();
    }
    qInfo().noquote() << "find the xml Config:" << model.tagName();
    return model;
}

// One profile document as the guards' pass saw it, with the byte range of the first
// element of each model.
struct ScannedDocument {
    QByteArray data;
    bool passed = false;
    XmlParseError error;
    XmlRootScan scan;
    QHash<QString, QPair<int, int>> models; // tag -> [start, end) in data
};

// Byte offsets in UTF-8 data of character offsets (UTF-16 units of the decoded text),
// in one walk; an offset the walk does not reach stays -1.
void ToByteOffsets(const QByteArray &data, std::vector<std::pair<int, int *>> *wanted)
{
    std::sort(wanted->begin(), wanted->end());
    int characters = 0;
    int at = 0;
    size_t next = 0;
    while (next < wanted->size()) {
        while (next < wanted->size() && (*wanted)[next].first == characters)
            *(*wanted)[next++].second = at;
        if (next < wanted->size() && (*wanted)[next].first < characters)
            *(*wanted)[next++].second = -1; // inside a character of two units
        if (at >= data.size())
            break;
        const uchar lead = uchar(data.at(at));
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 4;
        characters += length == 4 ? 2 : 1;
        at += length;
    }
}

// The document last scanned. The tablets that open one after another read the same
// file; the bytes are compared whole, so any change of the file is scanned anew. Any
// thread may load (the lock guards `last`; a scan is never changed once shared).
// A save puts the scan of the text it wrote here (see SpliceModels).
struct ScanCache {
    std::mutex lock;
    std::shared_ptr<const ScannedDocument> last;
};
ScanCache &LastScan()
{
    static ScanCache cache;
    return cache;
}

std::shared_ptr<const ScannedDocument> Scan(const QByteArray &data)
{
    std::mutex &lock = LastScan().lock;
    std::shared_ptr<const ScannedDocument> &last = LastScan().last;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (last && last->data == data)
            return last;
    }
    auto scanned = std::make_shared<ScannedDocument>();
    scanned->data = data;
    scanned->scan.listChildren = true;
    scanned->passed = checkXmlLimits(data, &scanned->error, kXmlMaxDepth, &scanned->scan);
    // The pass's offsets are characters of the text as decoded; only plain UTF-8 (no other
    // encoding, no byte order mark) is sliced by them, the rest takes the whole document's way.
    const QString &encoding = scanned->scan.encoding;
    const bool plainUtf8 = !data.startsWith("\xEF\xBB\xBF")
        && (encoding.isEmpty() || encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0);
    if (scanned->passed && plainUtf8) {
        const QString text = QString::fromUtf8(data);
        std::vector<std::pair<int, int *>> wanted;
        for (auto it = scanned->scan.children.cbegin(); it != scanned->scan.children.cend(); ++it) {
            // The reader looked ahead: its start may stand just past the "<", its end just
            // past the closing ">".
            const int start = text.indexOf(QLatin1Char('<'), std::max(0, it.value().first - 1));
            const int end = text.lastIndexOf(QLatin1Char('>'), it.value().second - 1) + 1;
            if (start < 0 || end <= start)
                continue;
            QPair<int, int> &range = scanned->models[it.key()];
            range = qMakePair(-1, -1);
            wanted.emplace_back(start, &range.first);
            wanted.emplace_back(end, &range.second);
        }
        ToByteOffsets(data, &wanted);
    }
    std::lock_guard<std::mutex> hold(lock);
    last = scanned;
    return last;
}

// The model's element alone, logged as FindModel logs it: only that element becomes a
// document tree, as a tablet needs one model of the many the file holds. A model that
// was not found or does not parse alone takes the whole document's way, with its logs.
bool ParseModel(const QByteArray &data, const QString &key, QDomDocument *document, QDomElement *model,
                const char *prefix, int *code)
{
    if (data.trimmed().isEmpty()) {
        Failure(prefix) << "document is null!";
        SetCode(code, ProfileNullDocument);
        return false;
    }
    const std::shared_ptr<const ScannedDocument> scanned = Scan(data);
    if (!scanned->passed) {
        const XmlParseError &error = scanned->error;
        Failure(prefix) << "parse file failed at line" << error.line << ",column" << error.column << ","
                        << error.message;
        SetCode(code, ProfileParseFailed);
        return false;
    }
    const QPair<int, int> range = scanned->models.value(key, qMakePair(-1, -1));
    if (range.first >= 0 && range.second > range.first) {
        const QByteArray element = data.mid(range.first, range.second - range.first);
        QDomDocument alone;
        if (element.startsWith('<' + key.toUtf8()) && alone.setContent(element)
            && alone.documentElement().tagName() == key) {
            const XmlRootScan &scan = scanned->scan;
            if (scan.rootHasVersion)
                qInfo().noquote() << scan.rootTag << "version" << scan.rootVersion;
            else
                qInfo().noquote() << scan.rootTag;
            qInfo().noquote() << "find the xml Config:" << key;
            *document = alone;
            *model = document->documentElement();
            return true;
        }
    }
    if (!ParseDocument(data, document, prefix, code))
        return false;
    *model = FindModel(*document, key, prefix, code);
    return !model->isNull();
}

int ChildElementCount(const QDomElement &parent)
{
    int count = 0;
    for (QDomElement c = parent.firstChildElement(); !c.isNull(); c = c.nextSiblingElement())
        ++count;
    return count;
}

// "Pen" and "Pen1" are pen slot 0, "Pen"N slot N-1; -1 beyond the eight slots.
int PenSlot(const QString &tag)
{
    const QString digits = tag.mid(tag.indexOf(kPen) + kPen.size());
    bool ok = false;
    const int n = digits.toInt(&ok, 10);
    if (!ok || n <= 1)
        return 0;
    return n <= kProfilePens ? n - 1 : -1;
}

// "K" is group 0, "K_"N group N (the number after the first two characters); -1 for a
// group the record does not have.
int KeyGroup(const QString &tag)
{
    bool ok = false;
    const int n = tag.mid(2).toInt(&ok, 10);
    if (!ok)
        return 0;
    return n >= 0 && n < kProfileKeyGroups ? n : -1;
}

int PenButton(const QString &tag)
{
    for (int b = 0; b < kProfileStoredPenButtons; ++b) {
        if (tag == QStringLiteral("PenBtn%1").arg(b))
            return b;
    }
    return -1;
}

// The device facts, matched by tag in any order.
struct DeviceField {
    const char *tag;
    int16_t TabletXMLData::*field;
};
const DeviceField kDeviceInfo[] = {
    {"DeviceRingNum", &TabletXMLData::DeviceRingNum},
    {"DeviceKeyNum", &TabletXMLData::DeviceKeyNum},
    {"DevicePenType", &TabletXMLData::DevicePenType},
    {"DeviceControl", &TabletXMLData::DeviceControl},
    {"DeviceTrackPad", &TabletXMLData::DeviceTrackPad},
    {"SupportGroupKeys", &TabletXMLData::SupportGroupKeys},
    {"DeviceKeyDirection", &TabletXMLData::DeviceKeyDirection},
    {"DevicePenNum", &TabletXMLData::DevicePenNum},
    {"PenMoveInTablet", &TabletXMLData::PenMoveInTablet},
    {"DeviceCurPenID", &TabletXMLData::DeviceCurPenID},
};
const DeviceField kScreenArea[] = {
    {"SX", &TabletXMLData::SX}, {"SY", &TabletXMLData::SY},
    {"SW", &TabletXMLData::SW}, {"SH", &TabletXMLData::SH},
};
const DeviceField kTabletArea[] = {
    {"TX", &TabletXMLData::TX}, {"TY", &TabletXMLData::TY},
    {"TW", &TabletXMLData::TW}, {"TH", &TabletXMLData::TH},
};
// The switch elements of Common, by position after the two areas.
int16_t TabletXMLData::*const kSwitches[] = {
    &TabletXMLData::DisableInfo, &TabletXMLData::DisableQuickKey,
    &TabletXMLData::DisablePressure, &TabletXMLData::DisableSlope,
};
struct CalibrationField {
    const char *name;
    float TabletXMLData::*field;
};
const CalibrationField kCalibration[] = {
    {"fKX", &TabletXMLData::fKX}, {"fKY", &TabletXMLData::fKY},
    {"fXLC", &TabletXMLData::fXLC}, {"fYLC", &TabletXMLData::fYLC},
};
const QString kSC = QStringLiteral("SC");

// ---------------------------------------------------------------------------
// Reading

// Turns element texts and attributes into record fields. A number that is not one, or
// does not fit its field, fails the load (the first is logged); an empty text is 0, an
// absent attribute leaves the field as it was.
class Reader {
public:
    bool ok() const { return m_ok; }

    void I16(int16_t *field, const QString &text, const QDomElement &where, const QString &what)
    {
        qint64 v = 0;
        if (Integer(text, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), &v,
                    where, what))
            *field = static_cast<int16_t>(v);
    }
    void I16Attribute(int16_t *field, const QDomElement &e, const QString &name)
    {
        if (e.hasAttribute(name))
            I16(field, e.attribute(name), e, name);
    }
    // Switches stored as one byte: any non-zero number is on.
    void Flag(uint8_t *field, const QString &text, const QDomElement &where, const QString &what)
    {
        qint64 v = 0;
        if (Integer(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), &v,
                    where, what))
            *field = v != 0 ? 1 : 0;
    }
    void FlagAttribute(uint8_t *field, const QDomElement &e, const QString &name)
    {
        if (e.hasAttribute(name))
            Flag(field, e.attribute(name), e, name);
    }
    void U8Attribute(uint8_t *field, const QDomElement &e, const QString &name)
    {
        qint64 v = 0;
        if (e.hasAttribute(name) && Integer(e.attribute(name), 0, 255, &v, e, name))
            *field = static_cast<uint8_t>(v);
    }
    void F32(float *field, const QString &text, const QDomElement &where, const QString &what)
    {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            *field = 0.0f;
            return;
        }
        bool ok = false;
        const float v = t.toFloat(&ok);
        if (!ok || !std::isfinite(v)) {
            Bad(where, what, text);
            return;
        }
        *field = v;
    }
    // A decimal number with fraction, stored truncated.
    void TruncatedI16Attribute(int16_t *field, const QDomElement &e, const QString &name)
    {
        if (!e.hasAttribute(name))
            return;
        const QString t = e.attribute(name).trimmed();
        if (t.isEmpty()) {
            *field = 0;
            return;
        }
        bool ok = false;
        const double v = std::trunc(t.toDouble(&ok));
        if (!ok || !(v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max())) {
            Bad(e, name, t);
            return;
        }
        *field = static_cast<int16_t>(v);
    }
    template <size_t N>
    void Text(char (&field)[N], const QString &text, const QDomElement &where)
    {
        if (!SetProfileText(field, text))
            qWarning().noquote() << "profile text cut to" << (N - 1) << "bytes: element" << where.tagName()
                                 << "at line" << where.lineNumber();
    }

private:
    bool Integer(const QString &text, qint64 lo, qint64 hi, qint64 *out, const QDomElement &where,
                 const QString &what)
    {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            *out = 0;
            return true;
        }
        bool ok = false;
        const qint64 v = t.toLongLong(&ok, 10);
        if (!ok || v < lo || v > hi) {
            Bad(where, what, t);
            return false;
        }
        *out = v;
        return true;
    }
    void Bad(const QDomElement &where, const QString &what, const QString &text)
    {
        if (m_ok) {
            qWarning().noquote() << kLoadPrefix << "value out of range:" << what << "=" << text.left(40)
                                 << "in" << where.tagName() << "at line" << where.lineNumber();
        }
        m_ok = false;
    }

    bool m_ok = true;
};

void ReadDeviceInfo(Reader &r, const QDomElement &info, TabletXMLData &p)
{
    for (QDomElement c = info.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        for (const DeviceField &f : kDeviceInfo) {
            if (c.tagName() == QLatin1String(f.tag)) {
                r.I16(&(p.*f.field), c.text(), c, c.tagName());
                break;
            }
        }
    }
}

void ReadFields(Reader &r, const QDomElement &parent, const DeviceField *fields, int count, TabletXMLData &p)
{
    for (QDomElement c = parent.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        for (int i = 0; i < count; ++i) {
            if (c.tagName() == QLatin1String(fields[i].tag)) {
                r.I16(&(p.*fields[i].field), c.text(), c, c.tagName());
                break;
            }
        }
    }
}

void ReadCommon(Reader &r, const QDomElement &common, TabletXMLData &p)
{
    QDomElement c = common.firstChildElement();
    if (c.isNull())
        return;
    r.I16Attribute(&p.ScreenId, c, kId); // ScreenMapping
    ReadFields(r, c, kScreenArea, 4, p);

    if ((c = c.nextSiblingElement()).isNull())
        return;
    r.I16Attribute(&p.Orientation, c, QStringLiteral("Orientation")); // TabletPannel
    ReadFields(r, c, kTabletArea, 4, p);

    for (int16_t TabletXMLData::*sw : kSwitches) {
        if ((c = c.nextSiblingElement()).isNull())
            return;
        r.I16(&(p.*sw), c.text(), c, c.tagName());
    }

    if ((c = c.nextSiblingElement()).isNull())
        return;
    int n = 0;
    for (QDomElement rc = c.firstChildElement(); !rc.isNull() && n < kProfileScreenRects;
         rc = rc.nextSiblingElement(), ++n) {
        r.TruncatedI16Attribute(&p.rects[n].X, rc, QStringLiteral("X"));
        r.TruncatedI16Attribute(&p.rects[n].Y, rc, QStringLiteral("Y"));
        r.TruncatedI16Attribute(&p.rects[n].W, rc, QStringLiteral("W"));
        r.TruncatedI16Attribute(&p.rects[n].H, rc, QStringLiteral("H"));
    }

    // Calibration only from an SC right after the rectangle list; otherwise the
    // record keeps the values it had.
    c = c.nextSiblingElement();
    if (c.isNull() || c.tagName() != kSC)
        return;
    for (const CalibrationField &f : kCalibration) {
        const QString name = QLatin1String(f.name);
        if (c.hasAttribute(name))
            r.F32(&(p.*f.field), c.attribute(name), c, name);
    }
    // Earlier default profiles shipped scales 1 with offsets 0, which moves the pen by half
    // the display; no calibration on screen gives that. It is read as the identity, and
    // the next save stores it so.
    if (p.fKX == 1.0f && p.fKY == 1.0f && p.fXLC == 0.0f && p.fYLC == 0.0f) {
        p.fXLC = 1.0f;
        p.fYLC = 1.0f;
        qInfo() << "calibration 1 1 0 0 of an earlier default profile read as the identity";
    }
}

void ReadPen(Reader &r, const QDomElement &e, PenConfig &pen)
{
    for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        const QString tag = c.tagName();
        const int b = PenButton(tag);
        if (b >= 0) {
            PenButtonConfig &button = pen.buttons[b];
            r.I16Attribute(&button.id, c, kId);
            r.I16Attribute(&button.Actid, c, QStringLiteral("Actid"));
            if (button.id == 1)
                r.Text(button.custom, c.text(), c);
        } else if (tag == QLatin1String("P0")) {
            r.F32(&pen.Press.P0, c.text(), c, tag);
        } else if (tag == QLatin1String("P1X")) {
            r.F32(&pen.Press.P1X, c.text(), c, tag);
        } else if (tag == QLatin1String("P1Y")) {
            r.F32(&pen.Press.P1Y, c.text(), c, tag);
        } else if (tag == QLatin1String("P2")) {
            r.F32(&pen.Press.P2, c.text(), c, tag);
        } else if (tag == QLatin1String("TablePC")) {
            r.Flag(&pen.TablePC, c.text(), c, tag);
        } else if (tag == QLatin1String("RelativeCoords")) {
            r.I16Attribute(&pen.Speed, c, QStringLiteral("Speed"));
            r.Flag(&pen.RelativeCoords, c.text(), c, tag);
        }
    }
}

void ReadKeys(Reader &r, const QDomElement &e, KeyConfig *keys)
{
    int k = 0;
    for (QDomElement c = e.firstChildElement(); !c.isNull() && k < kProfileKeys; c = c.nextSiblingElement(), ++k) {
        KeyConfig &key = keys[k];
        r.I16Attribute(&key.id, c, kId);
        r.FlagAttribute(&key.Show, c, QStringLiteral("Show"));
        r.I16Attribute(&key.Actid, c, QStringLiteral("Actid"));
        r.I16Attribute(&key.Motid, c, QStringLiteral("Motid"));
        if (key.id >= 1)
            r.Text(key.custom, c.text(), c);
    }
}

void ReadKeySet(Reader &r, const QDomElement &e, AppConfigNode &app, bool groups)
{
    if (!groups) {
        // Every key set element fills the one set from its first key.
        ReadKeys(r, e, app.keys);
        return;
    }
    const int g = KeyGroup(e.tagName());
    if (g < 0) {
        qWarning().noquote() << "key group" << e.tagName() << "ignored at line" << e.lineNumber();
        return;
    }
    r.I16Attribute(&app.groups[g].enabled, e, kId);
    ReadKeys(r, e, app.groups[g].keys);
}

void ReadRing(Reader &r, const QDomElement &e, RingConfig &ring)
{
    r.I16Attribute(&ring.id, e, kId);
    int i = 0;
    for (QDomElement c = e.firstChildElement(); !c.isNull() && i < kProfileRingItems; c = c.nextSiblingElement(), ++i) {
        r.I16Attribute(&ring.items[i].id, c, kId);
        if (ring.items[i].id == 2)
            r.Text(ring.items[i].custom, c.text(), c);
    }
}

// Reads an application profile element; common is null while reading the common
// profile itself.
void ReadApp(Reader &r, const QDomElement &e, AppConfigNode &app, const TabletXMLData &p,
             const AppConfigNode *common)
{
    for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        const QString tag = c.tagName();
        if (tag == kPath) {
            if (common)
                r.Text(app.path, c.text(), c);
        } else if (tag.contains(kPen)) {
            const int slot = PenSlot(tag);
            if (slot < 0) {
                qWarning().noquote() << "pen" << tag << "ignored at line" << c.lineNumber();
                continue;
            }
            PenConfig &pen = app.pens[slot];
            ReadPen(r, c, pen);
            // The eraser end's entry needs an action: the eraser in the common profile,
            // the common profile's choice in an application.
            if (pen.buttons[0].id == 0 && pen.buttons[0].Actid == 0)
                pen.buttons[0].Actid = common ? common->pens[slot].buttons[0].Actid : 27;
        } else if (tag == kSelectID) {
            r.I16(&app.SelectID, c.text(), c, tag);
        } else if (tag.contains(QLatin1Char('K'))) {
            ReadKeySet(r, c, app, p.SupportGroupKeys != 0);
        } else if (tag == QLatin1String("R")) {
            ReadRing(r, c, app.ring);
        } else if (tag == QLatin1String("R2")) {
            ReadRing(r, c, app.ring2);
        } else if (tag == QLatin1String("TR")) {
            ReadRing(r, c, app.ring2);
            r.U8Attribute(&app.TRMode, c, QStringLiteral("mode"));
            app.TRPresent = 1;
        }
    }
}

void Clamp(int16_t &value, int lo, int hi, const char *name)
{
    if (value >= lo && value <= hi)
        return;
    const int16_t clamped = static_cast<int16_t>(std::clamp<int>(value, lo, hi));
    qWarning().noquote() << "profile value out of range:" << name << value << "->" << clamped;
    value = clamped;
}

// Counts and indexes that other code uses to index the record's arrays.
void ClampIndexes(AppConfigNode &app)
{
    Clamp(app.SelectID, 0, kProfileKeyGroups - 1, "SelectID");
    Clamp(app.ring.id, 0, kProfileRingItems - 1, "R id");
    Clamp(app.ring2.id, 0, kProfileRingItems - 1, "R2 id");
}

void ClampIndexes(TabletXMLData &p)
{
    Clamp(p.DeviceRingNum, 0, 2, "DeviceRingNum");
    Clamp(p.DeviceKeyNum, 0, kProfileKeys, "DeviceKeyNum");
    Clamp(p.DevicePenNum, 0, kProfilePens, "DevicePenNum");
    Clamp(p.DeviceCurPenID, 0, kProfilePens - 1, "DeviceCurPenID");
    ClampIndexes(p.CommonAPP);
}

bool ReadModel(const QDomElement &model, TabletXMLData &p, std::vector<std::unique_ptr<AppConfigNode>> *nodes)
{
    Reader r;
    p.DevicePenNum = 1;
    QDomElement c = model.firstChildElement();
    if (!c.isNull()) {
        ReadDeviceInfo(r, c, p);
        c = c.nextSiblingElement();
    }
    if (!c.isNull()) {
        ReadCommon(r, c, p);
        c = c.nextSiblingElement();
    }
    if (!c.isNull()) {
        ReadApp(r, c, p.CommonAPP, p, nullptr);
        c = c.nextSiblingElement();
    }
    if (!c.isNull()) {
        qInfo() << "APPS Num:" << ChildElementCount(c);
        for (QDomElement a = c.firstChildElement(); !a.isNull(); a = a.nextSiblingElement()) {
            if (int(nodes->size()) == kMaxApplications) {
                qWarning() << "more than" << kMaxApplications << "applications: the rest are ignored";
                break;
            }
            if (nodes->empty())
                qInfo() << "stAppConfigPtr init";
            else
                qInfo() << "stAppConfigPtr next" << nodes->size();
            nodes->push_back(std::make_unique<AppConfigNode>());
            ReadApp(r, a, *nodes->back(), p, &p.CommonAPP);
        }
    }
    return r.ok();
}

// ---------------------------------------------------------------------------
// Writing

QString Number(int value)
{
    return QString::number(value);
}

QString Number(float value)
{
    return QString::number(double(value), 'g', 6);
}

// Replaces the element's first text child; an empty text removes it.
void SetText(QDomElement e, const QString &value)
{
    for (QDomNode n = e.firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (n.isText()) {
            if (value.isEmpty())
                e.removeChild(n);
            else
                n.toText().setData(value);
            return;
        }
    }
    if (!value.isEmpty())
        e.appendChild(e.ownerDocument().createTextNode(value));
}

void WriteFields(QDomElement parent, const DeviceField *fields, int count, const TabletXMLData &p)
{
    for (QDomElement c = parent.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        for (int i = 0; i < count; ++i) {
            if (c.tagName() == QLatin1String(fields[i].tag)) {
                SetText(c, Number(p.*fields[i].field));
                break;
            }
        }
    }
}

void WriteDeviceInfo(QDomElement info, const TabletXMLData &p)
{
    // The rest of the device facts belong to the model and are never written.
    static const DeviceField kWritten[] = {
        {"PenMoveInTablet", &TabletXMLData::PenMoveInTablet},
        {"DeviceCurPenID", &TabletXMLData::DeviceCurPenID},
    };
    WriteFields(info, kWritten, 2, p);
}

void WriteCommon(QDomElement common, const TabletXMLData &p)
{
    QDomElement c = common.firstChildElement();
    if (c.isNull())
        return;
    c.setAttribute(kId, Number(p.ScreenId));
    WriteFields(c, kScreenArea, 4, p);

    if ((c = c.nextSiblingElement()).isNull())
        return;
    c.setAttribute(QStringLiteral("Orientation"), Number(p.Orientation));
    WriteFields(c, kTabletArea, 4, p);

    for (int16_t TabletXMLData::*sw : kSwitches) {
        if ((c = c.nextSiblingElement()).isNull())
            return;
        SetText(c, Number(p.*sw));
    }
    // The rectangle list is read only.
    if ((c = c.nextSiblingElement()).isNull())
        return;
    c = c.nextSiblingElement();
    if (c.isNull() || c.tagName() != kSC)
        return;
    for (const CalibrationField &f : kCalibration)
        c.setAttribute(QLatin1String(f.name), Number(p.*f.field));
}

void WritePen(QDomElement e, const PenConfig &pen)
{
    for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        const QString tag = c.tagName();
        const int b = PenButton(tag);
        if (b >= 0) {
            const PenButtonConfig &button = pen.buttons[b];
            c.setAttribute(kId, Number(button.id));
            c.setAttribute(QStringLiteral("Actid"), Number(button.Actid));
            SetText(c, ProfileText(button.custom));
        } else if (tag == QLatin1String("P0")) {
            SetText(c, Number(pen.Press.P0));
        } else if (tag == QLatin1String("P1X")) {
            SetText(c, Number(pen.Press.P1X));
        } else if (tag == QLatin1String("P1Y")) {
            SetText(c, Number(pen.Press.P1Y));
        } else if (tag == QLatin1String("P2")) {
            SetText(c, Number(pen.Press.P2));
        } else if (tag == QLatin1String("TablePC")) {
            SetText(c, Number(int(pen.TablePC)));
        } else if (tag == QLatin1String("RelativeCoords")) {
            c.setAttribute(QStringLiteral("Speed"), Number(pen.Speed));
            SetText(c, Number(int(pen.RelativeCoords)));
        }
    }
}

void WriteKey(QDomElement c, const KeyConfig &key)
{
    c.setAttribute(kId, Number(key.id));
    c.setAttribute(QStringLiteral("Show"), Number(int(key.Show)));
    c.setAttribute(QStringLiteral("Actid"), Number(key.Actid));
    c.setAttribute(QStringLiteral("Motid"), Number(key.Motid));
    SetText(c, ProfileText(key.custom));
}

// Writes a key set into e. An element with fewer key children than the model has keys
// gets the missing ones appended, or their settings would not survive the next load.
void WriteKeys(QDomElement e, const KeyConfig *keys, int keyCount)
{
    int k = 0;
    for (QDomElement c = e.firstChildElement(); !c.isNull() && k < kProfileKeys; c = c.nextSiblingElement(), ++k)
        WriteKey(c, keys[k]);
    for (; k < keyCount; ++k) {
        QDomElement c = e.ownerDocument().createElement(QStringLiteral("K%1").arg(k + 1));
        e.appendChild(c);
        WriteKey(c, keys[k]);
    }
}

void WriteRing(QDomElement e, const RingConfig &ring)
{
    e.setAttribute(kId, Number(ring.id));
    int i = 0;
    for (QDomElement c = e.firstChildElement(); !c.isNull() && i < kProfileRingItems; c = c.nextSiblingElement(), ++i) {
        c.setAttribute(kId, Number(ring.items[i].id));
        SetText(c, ProfileText(ring.items[i].custom));
    }
}

QString GroupTag(int g)
{
    return g == 0 ? QStringLiteral("K") : QStringLiteral("K_%1").arg(g);
}

void NewRing(QDomDocument &doc, QDomElement app, const QString &tag);

void WriteApp(QDomElement e, const AppConfigNode &app, const TabletXMLData &p, bool isApp)
{
    const bool groups = p.SupportGroupKeys != 0;
    const int keyCount = std::clamp<int>(p.DeviceKeyNum, 0, kProfileKeys);
    bool groupSeen[kProfileKeyGroups] = {};
    bool ringSeen = false;
    for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        const QString tag = c.tagName();
        if (tag == kPath) {
            if (isApp)
                SetText(c, ProfileText(app.path));
        } else if (tag.contains(kPen)) {
            const int slot = PenSlot(tag);
            if (slot >= 0)
                WritePen(c, app.pens[slot]);
        } else if (tag == kSelectID) {
            SetText(c, Number(app.SelectID));
        } else if (tag.contains(QLatin1Char('K'))) {
            if (!groups) {
                WriteKeys(c, app.keys, keyCount);
            } else {
                const int g = KeyGroup(tag);
                if (g < 0)
                    continue;
                groupSeen[g] = true;
                c.setAttribute(kId, Number(app.groups[g].enabled));
                WriteKeys(c, app.groups[g].keys, keyCount);
            }
        } else if (tag == QLatin1String("R")) {
            WriteRing(c, app.ring);
            ringSeen = true;
        } else if (tag == QLatin1String("R2")) {
            WriteRing(c, app.ring2);
        } else if (tag == QLatin1String("TR")) {
            WriteRing(c, app.ring2);
            c.setAttribute(QStringLiteral("mode"), Number(int(app.TRMode)));
        }
    }
    // A model whose ring an earlier file did not know of (the keypad's dial) keeps its
    // ring function from now on.
    if (!ringSeen && p.DeviceRingNum >= 1) {
        QDomDocument doc = e.ownerDocument();
        NewRing(doc, e, QStringLiteral("R"));
        WriteRing(e.lastChildElement(QStringLiteral("R")), app.ring);
    }
    // A model with key groups keeps all four, even when the element came from a
    // template that had only the first.
    if (groups && keyCount > 0) {
        for (int g = 0; g < kProfileKeyGroups; ++g) {
            if (groupSeen[g])
                continue;
            QDomElement set = e.ownerDocument().createElement(GroupTag(g));
            e.appendChild(set);
            set.setAttribute(kId, Number(app.groups[g].enabled));
            WriteKeys(set, app.groups[g].keys, keyCount);
        }
    }
}

QDomElement NewElement(QDomDocument &doc, QDomElement parent, const QString &tag)
{
    QDomElement e = doc.createElement(tag);
    parent.appendChild(e);
    return e;
}

void NewRing(QDomDocument &doc, QDomElement app, const QString &tag)
{
    QDomElement ring = NewElement(doc, app, tag);
    ring.setAttribute(kId, QStringLiteral("0"));
    for (int w = 1; w <= 5; ++w)
        NewElement(doc, ring, QStringLiteral("W%1").arg(w)).setAttribute(kId, QStringLiteral("0"));
}

// The first "app" element of a model whose application list is empty in the file; the
// writer then fills it like any other.
QDomElement AppTemplate(QDomDocument &doc, const TabletXMLData &p)
{
    QDomElement app = doc.createElement(QStringLiteral("app"));
    app.setAttribute(QStringLiteral("name"), QStringLiteral("0"));
    app.setAttribute(kId, QStringLiteral("0"));
    NewElement(doc, app, kPath);
    const int pens = std::clamp<int>(p.DevicePenNum, 1, kProfilePens);
    for (int n = 1; n <= pens; ++n) {
        QDomElement pen = NewElement(doc, app, QStringLiteral("Pen%1").arg(n));
        for (int b = 0; b < kProfileStoredPenButtons; ++b)
            NewElement(doc, pen, QStringLiteral("PenBtn%1").arg(b)).setAttribute(kId, QStringLiteral("0"));
        for (const char *tag : {"P0", "P1X", "P1Y", "P2", "TablePC"})
            NewElement(doc, pen, QLatin1String(tag));
        NewElement(doc, pen, QStringLiteral("RelativeCoords")).setAttribute(QStringLiteral("Speed"), QStringLiteral("0"));
    }
    // The active key group changes while the program runs (action 110); without its
    // element it would be back to the first group after every save.
    NewElement(doc, app, kSelectID);
    // As many keys as the model has (at least eight); WriteApp adds the other groups of
    // a model with key groups.
    QDomElement keys = NewElement(doc, app, QStringLiteral("K"));
    const int keyCount = std::max<int>(8, std::clamp<int>(p.DeviceKeyNum, 0, kProfileKeys));
    for (int k = 1; k <= keyCount; ++k)
        NewElement(doc, keys, QStringLiteral("K%1").arg(k)).setAttribute(kId, QStringLiteral("0"));
    NewRing(doc, app, QStringLiteral("R"));
    if (p.DeviceRingNum == 2)
        NewRing(doc, app, QStringLiteral("R2"));
    // TR marks the second ring as a touch ring when read back: only for models with one.
    if (p.DeviceTrackPad != 0)
        NewRing(doc, app, QStringLiteral("TR"));
    return app;
}

void WriteApps(QDomDocument &doc, QDomElement model, QDomElement apps, const TabletXMLData &p,
               const AppConfigMap &map)
{
    const int m = int(map.size());
    if (apps.isNull()) {
        if (m == 0)
            return;
        // A model element without an application list gets one, in its place.
        if (ChildElementCount(model) != 3) {
            qWarning() << "the model element has no application list:" << m << "application profiles not saved";
            return;
        }
        apps = NewElement(doc, model, QStringLiteral("Apps"));
    }
    int e = ChildElementCount(apps);
    if (e == 0) {
        apps.appendChild(AppTemplate(doc, p));
        e = 1;
    }
    while (e > m) {
        apps.removeChild(apps.lastChildElement());
        --e;
    }
    const QDomElement first = apps.firstChildElement();
    while (e < m) {
        apps.appendChild(first.cloneNode(true));
        ++e;
    }
    int index = 0;
    QDomElement c = apps.firstChildElement();
    for (const auto &entry : map) {
        c.setAttribute(kId, Number(index++));
        WriteApp(c, *entry.second, p, true);
        c = c.nextSiblingElement();
    }
}

void WriteModel(QDomDocument &doc, QDomElement model, const TabletXMLData &p, const AppConfigMap &apps)
{
    QDomElement c = model.firstChildElement();
    if (c.isNull())
        return;
    WriteDeviceInfo(c, p);
    if ((c = c.nextSiblingElement()).isNull())
        return;
    WriteCommon(c, p);
    if ((c = c.nextSiblingElement()).isNull())
        return;
    WriteApp(c, p.CommonAPP, p, false);
    WriteApps(doc, model, c.nextSiblingElement(), p, apps);
}

// Attribute names per element name in the order the text first shows them. The DOM keeps
// an element's attributes in a hash whose order changes with every run of the program,
// so a saved file would differ from the last one in every line.
using AttributeOrder = QHash<QString, QStringList>;

AttributeOrder AttributeOrderOf(const QByteArray &data)
{
    AttributeOrder order;
    QXmlStreamReader reader(data);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        QStringList &names = order[reader.qualifiedName().toString()];
        for (const QXmlStreamAttribute &attribute : reader.attributes()) {
            const QString name = attribute.qualifiedName().toString();
            if (!names.contains(name))
                names << name;
        }
    }
    return order;
}

// Rewrites one start tag ("<K1 Actid=\"3\" id=\"0\"/>") with its attributes in order;
// names the order does not know follow in alphabetical order. Values stay as written:
// the writer escapes every quote and "<" inside them.
QString OrderedTag(const QString &tag, const QStringList &order)
{
    int i = 1;
    while (i < tag.size() && !tag.at(i).isSpace() && tag.at(i) != QLatin1Char('/') && tag.at(i) != QLatin1Char('>'))
        ++i;
    const QString name = tag.mid(1, i - 1);
    QVector<QPair<QString, QString>> attributes; // name, name="value"
    int tail = i;
    for (;;) {
        while (i < tag.size() && tag.at(i).isSpace())
            ++i;
        const int equals = tag.indexOf(QLatin1Char('='), i);
        if (i >= tag.size() || tag.at(i) == QLatin1Char('/') || tag.at(i) == QLatin1Char('>') || equals < 0
            || equals + 1 >= tag.size())
            break;
        const QChar quote = tag.at(equals + 1);
        const int close = tag.indexOf(quote, equals + 2);
        if (close < 0)
            return tag; // not a tag this writer makes: leave it alone
        attributes.append({tag.mid(i, equals - i).trimmed(), tag.mid(i, close + 1 - i)});
        i = close + 1;
        tail = i;
    }
    if (attributes.size() < 2)
        return tag;
    const auto rank = [&order](const QString &attribute) {
        const int at = order.indexOf(attribute);
        return at < 0 ? order.size() : at;
    };
    std::stable_sort(attributes.begin(), attributes.end(), [&](const QPair<QString, QString> &a, const QPair<QString, QString> &b) {
        const int ra = rank(a.first);
        const int rb = rank(b.first);
        return ra != rb ? ra < rb : (ra == order.size() && a.first < b.first);
    });
    QString out = QLatin1Char('<') + name;
    for (const QPair<QString, QString> &attribute : attributes)
        out += QLatin1Char(' ') + attribute.second;
    return out + tag.mid(tail);
}

// The serialised document with every start tag's attributes in the given order; the
// rest of the text is kept character for character.
QByteArray OrderAttributes(const QByteArray &bytes, const AttributeOrder &order)
{
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return bytes; // not UTF-8: ours always is, anything else is written as it comes
    QString out;
    out.reserve(text.size());
    int copied = 0;
    QXmlStreamReader reader(text);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.attributes().size() < 2)
            continue;
        // The tag ends at or before the reader's position and holds no other "<".
        const int end = text.lastIndexOf(QLatin1Char('>'), int(reader.characterOffset()) - 1) + 1;
        const int start = end > 0 ? text.lastIndexOf(QLatin1Char('<'), end - 1) : -1;
        if (start < copied || end <= start)
            continue;
        out += text.midRef(copied, start - copied);
        out += OrderedTag(text.mid(start, end - start), order.value(reader.qualifiedName().toString()));
        copied = end;
    }
    if (reader.hasError())
        return bytes;
    out += text.midRef(copied);
    return out.toUtf8();
}

QByteArray Serialise(const QDomDocument &doc, const AttributeOrder &order)
{
    QByteArray bytes;
    QTextStream stream(&bytes, QIODevice::WriteOnly);
    // The encoding the document declares (UTF-8 for ours).
    doc.save(stream, 2, QDomNode::EncodingFromDocument);
    stream.flush();
    return OrderAttributes(bytes, order);
}

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// AttributeOrderOf for a text the guards passed (well-formed, no document type): there a
// "<" outside comments, processing instructions and CDATA sections starts a tag, and a
// start tag's attribute values are quoted, so the tags are found without a full parse.
// Namespace declarations are left out as the stream reader leaves them out.
AttributeOrder CheckedAttributeOrder(const QByteArray &data)
{
    AttributeOrder order;
    const char *p = data.constData();
    const char *const end = p + data.size();
    const auto past = [end](const char *from, const char *terminator) {
        const size_t length = std::strlen(terminator);
        const void *at = from < end ? memmem(from, size_t(end - from), terminator, length) : nullptr;
        return at ? static_cast<const char *>(at) + length : end;
    };
    while (p < end && (p = static_cast<const char *>(std::memchr(p, '<', size_t(end - p))))) {
        if (end - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            p = past(p + 4, "-->");
            continue;
        }
        if (end - p >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
            p = past(p + 9, "]]>");
            continue;
        }
        if (end - p >= 2 && p[1] == '?') {
            p = past(p + 2, "?>");
            continue;
        }
        if (end - p >= 2 && (p[1] == '/' || p[1] == '!')) {
            p = past(p + 2, ">");
            continue;
        }
        const char *q = ++p;
        while (q < end && !IsXmlSpace(*q) && *q != '/' && *q != '>')
            ++q;
        QStringList &names = order[QString::fromUtf8(p, int(q - p))];
        for (;;) {
            while (q < end && IsXmlSpace(*q))
                ++q;
            if (q >= end || *q == '/' || *q == '>')
                break;
            const char *name = q;
            while (q < end && *q != '=' && !IsXmlSpace(*q))
                ++q;
            const QString attribute = QString::fromUtf8(name, int(q - name));
            while (q < end && *q != '"' && *q != '\'')
                ++q;
            if (q >= end)
                break;
            const void *close = std::memchr(q + 1, *q, size_t(end - q - 1));
            q = close ? static_cast<const char *>(close) + 1 : end;
            if (attribute != QLatin1String("xmlns") && !attribute.startsWith(QLatin1String("xmlns:"))
                && !names.contains(attribute))
                names << attribute;
        }
        p = q;
    }
    return order;
}

// The attribute order of the text last saved: a save of the same text again (a second
// confirm, or the tablets saved one after another) skips even that pass.
AttributeOrder CachedAttributeOrder(const QByteArray &data)
{
    static std::mutex lock; // guards lastData and lastOrder
    static QByteArray lastData;
    static AttributeOrder lastOrder;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!lastData.isNull() && lastData == data)
            return lastOrder;
    }
    AttributeOrder order = CheckedAttributeOrder(data);
    std::lock_guard<std::mutex> hold(lock);
    lastData = data;
    lastOrder = order;
    return order;
}

// The same log lines as FindModel for a model found by the scan.
void LogModelFound(const XmlRootScan &scan, const QString &key)
{
    if (scan.rootHasVersion)
        qInfo().noquote() << scan.rootTag << "version" << scan.rootVersion;
    else
        qInfo().noquote() << scan.rootTag;
    qInfo().noquote() << "find the xml Config:" << key;
}

// Rewrites the entries' model elements in the text itself and leaves the rest of it as
// it stands: each element is parsed alone, rewritten, serialised as the whole document's
// serialisation writes a child of the root (on lines of its own, indented by 2) and put
// in place of its old lines. For a file this writer wrote, the result is the whole
// document's, without parsing and serialising every model. Only for a text the guards
// passed, in plain UTF-8, with each entry's model found once and on lines of its own;
// otherwise false, *document untouched, and the whole document's way is taken.
bool SpliceModels(QByteArray *document, const std::vector<ProfileEntry> &entries)
{
    if (entries.empty() || document->trimmed().isEmpty())
        return false;
    const std::shared_ptr<const ScannedDocument> scanned = Scan(*document);
    if (!scanned->passed || scanned->models.isEmpty())
        return false;
    const QByteArray &data = scanned->data;
    struct Piece {
        int start; // the old lines: [start, end) in data
        int end;
        QString key;
        QByteArray text; // the new lines
    };
    std::vector<Piece> pieces;
    for (const ProfileEntry &entry : entries) {
        const QPair<int, int> range = scanned->models.value(entry.key, qMakePair(-1, -1));
        if (range.first < 3 || range.second <= range.first || range.second >= data.size()
            || data.at(range.first - 3) != '\n' || data.at(range.first - 2) != ' ' || data.at(range.first - 1) != ' '
            || data.at(range.second) != '\n')
            return false;
        for (const Piece &piece : pieces) {
            if (piece.key == entry.key)
                return false; // the whole document's way writes the last of them
        }
        pieces.push_back(Piece{range.first - 2, range.second + 1, entry.key, QByteArray()});
    }
    // The models follow one another on lines of their own, the root's end tag closes the
    // text, so nothing between them needs the serialiser; the text before the first one
    // (the declaration, the root's start tag) is serialised as the whole document's way
    // writes it (the declaration is written again in its own form).
    std::vector<QPair<int, int>> models;
    for (auto it = scanned->models.cbegin(); it != scanned->models.cend(); ++it)
        models.push_back(it.value());
    std::sort(models.begin(), models.end());
    if (models.front().first < 3)
        return false;
    for (size_t m = 0; m < models.size(); ++m) {
        const int end = models[m].second;
        const QByteArray gap =
            m + 1 < models.size() ? QByteArray("\n  ") : "\n</" + scanned->scan.rootTag.toUtf8() + ">\n";
        const int gapEnd = m + 1 < models.size() ? models[m + 1].first : data.size();
        if (end < 0 || gapEnd - end != gap.size() || data.mid(end, gap.size()) != gap)
            return false;
    }
    const AttributeOrder order = CachedAttributeOrder(data); // the guards passed data
    const int headEnd = models.front().first - 2;
    QDomDocument headDocument;
    if (data.at(headEnd - 1) != '\n'
        || !headDocument.setContent(data.left(headEnd) + "  <x/>\n</" + scanned->scan.rootTag.toUtf8() + ">\n"))
        return false;
    const QByteArray head = Serialise(headDocument, order);
    const int headLength = head.lastIndexOf("  <x/>\n");
    if (headLength <= 0)
        return false;

    for (size_t i = 0; i < pieces.size(); ++i) {
        Piece &piece = pieces[i];
        const QByteArray element = data.mid(piece.start + 2, piece.end - 1 - (piece.start + 2));
        QDomDocument alone;
        if (!element.startsWith('<' + piece.key.toUtf8()) || !alone.setContent(element)
            || alone.documentElement().tagName() != piece.key)
            return false;
        QDomElement model = alone.documentElement();
        WriteModel(alone, model, *entries[i].profile, *entries[i].apps);
        QTextStream stream(&piece.text, QIODevice::WriteOnly);
        stream.setCodec("UTF-8");
        model.save(stream, 2);
        stream.flush();
        piece.text = OrderAttributes(piece.text, order);
        if (!piece.text.startsWith("  <") || !piece.text.endsWith(">\n"))
            return false;
    }
    for (const Piece &piece : pieces)
        LogModelFound(scanned->scan, piece.key);

    pieces.push_back(Piece{0, headEnd, QString(), head.left(headLength)});
    std::sort(pieces.begin(), pieces.end(), [](const Piece &a, const Piece &b) { return a.start < b.start; });
    QByteArray out;
    out.reserve(data.size() + 4096);
    int copied = 0;
    bool pass = true; // the new text meets the guards as the old one did
    QHash<QString, QPair<int, int>> written;
    for (const Piece &piece : pieces) {
        out.append(data.constData() + copied, piece.start - copied);
        const int at = out.size();
        out.append(piece.text);
        copied = piece.end;
        if (piece.key.isEmpty())
            continue; // the head
        written.insert(piece.key, qMakePair(at + 2, out.size() - 1));
        XmlParseError error;
        pass = pass && checkXmlLimits(piece.text, &error, kXmlMaxDepth - 1);
    }
    out.append(data.constData() + copied, data.size() - copied);

    // The next load or save of this text skips the guards' pass: the models not written
    // only moved by what the pieces before them grew or shrank.
    if (pass && out.size() <= kXmlMaxFileBytes) {
        auto next = std::make_shared<ScannedDocument>();
        next->data = out;
        next->passed = true;
        next->scan = scanned->scan;
        next->scan.children.clear(); // character offsets of the old text
        for (auto it = scanned->models.cbegin(); it != scanned->models.cend(); ++it) {
            if (written.contains(it.key()))
                continue;
            int shift = 0;
            for (const Piece &piece : pieces) {
                if (piece.end <= it.value().first)
                    shift += piece.text.size() - (piece.end - piece.start);
            }
            written.insert(it.key(), qMakePair(it.value().first + shift, it.value().second + shift));
        }
        next->models = written;
        std::lock_guard<std::mutex> hold(LastScan().lock);
        LastScan().last = next;
    }
    *document = out;
    return true;
}

bool WriteFile(const QString &path, const QByteArray &bytes, int *code)
{
    // Written beside the old file and renamed over it on commit: the old file stays
    // whole until the new one is complete on disk. No fallback to writing in place.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << "open file" << path << "failed, error:" << file.errorString();
        SetCode(code, ProfileWriteFailed);
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning().noquote() << "write file" << path << "failed, error:" << file.errorString()
                             << ", the previous file is kept";
        file.cancelWriting();
        SetCode(code, ProfileWriteFailed);
        return false;
    }
    return true;
}

} // namespace

bool LoadConfigFromData(const QByteArray &data, const QString &key, TabletXMLData *profile, AppConfigMap *apps,
                        int *code)
{
    SetCode(code, ProfileOk);
    if (profile->Apps) {
        qCritical() << kLoadPrefix << "the record already owns an application list";
        SetCode(code, ProfileBadRecord);
        return false;
    }
    apps->clear();

    QDomDocument doc;
    QDomElement model;
    if (!ParseModel(data, key, &doc, &model, kLoadPrefix, code))
        return false;

    std::vector<std::unique_ptr<AppConfigNode>> nodes;
    if (!ReadModel(model, *profile, &nodes)) {
        SetCode(code, ProfileBadValue);
        return false;
    }

    ClampIndexes(*profile);
    AppConfigNode **tail = &profile->Apps;
    for (std::unique_ptr<AppConfigNode> &node : nodes) {
        ClampIndexes(*node);
        const QString path = ProfileText(node->path);
        // One profile per executable: the map finds it and the saver writes it once.
        if (apps->count(path)) {
            qWarning().noquote() << "second application profile for" << path << "ignored";
            continue;
        }
        *tail = node.release();
        (*apps)[path] = *tail;
        tail = &(*tail)->next;
    }
    return true;
}

QStringList UnreadableModels(const QByteArray &data, const QStringList &keys)
{
    QDomDocument doc;
    if (!ParseDocument(data, &doc, "", nullptr))
        return keys;
    QHash<QString, QDomElement> models;
    for (QDomElement m = doc.documentElement().firstChildElement(); !m.isNull(); m = m.nextSiblingElement()) {
        if (!models.contains(m.tagName()))
            models.insert(m.tagName(), m); // the loader takes the first of a name too
    }
    QStringList unreadable;
    for (const QString &key : keys) {
        const QDomElement model = models.value(key);
        DeviceProfile scratch;
        std::vector<std::unique_ptr<AppConfigNode>> nodes;
        if (model.isNull() || !ReadModel(model, scratch.data(), &nodes))
            unreadable << key;
    }
    return unreadable;
}

bool SaveConfigToData(QByteArray *document, const std::vector<ProfileEntry> &entries, int *code, int *written)
{
    SetCode(code, ProfileOk);
    if (written)
        *written = 0;
    if (SpliceModels(document, entries)) {
        if (written)
            *written = int(entries.size());
        return true;
    }
    return SaveWholeDocument(document, entries, code, written);
}

bool SaveWholeDocument(QByteArray *document, const std::vector<ProfileEntry> &entries, int *code, int *written)
{
    SetCode(code, ProfileOk);
    if (written)
        *written = 0;
    QDomDocument doc;
    if (!ParseDocument(*document, &doc, "", code))
        return false;
    const AttributeOrder order = AttributeOrderOf(*document);
    int found = 0;
    for (const ProfileEntry &entry : entries) {
        int entryCode = ProfileOk;
        const QDomElement model = FindModel(doc, entry.key, "", &entryCode);
        if (model.isNull()) {
            SetCode(code, entryCode);
            continue;
        }
        WriteModel(doc, model, *entry.profile, *entry.apps);
        ++found;
    }
    if (written)
        *written = found;
    if (found == 0)
        return false;
    *document = Serialise(doc, order);
    return found == int(entries.size());
}

ProfileStore::ProfileStore(QString path) : m_path(std::move(path)) {}

bool ProfileStore::LoadConfig(const QString &key, TabletXMLData *profile, AppConfigMap *apps, int *code) const
{
    QByteArray data;
    if (!ReadFile(m_path, &data, kLoadPrefix, code))
        return false;
    return LoadConfigFromData(data, key, profile, apps, code);
}

bool ProfileStore::SaveConfig(const QString &key, const TabletXMLData &profile, const AppConfigMap &apps,
                              int *code) const
{
    return SaveAll({ProfileEntry{key, &profile, &apps}}, code);
}

bool ProfileStore::SaveAll(const std::vector<ProfileEntry> &entries, int *code) const
{
    SetCode(code, ProfileOk);
    if (entries.empty())
        return true;
    QByteArray document;
    if (!ReadFile(m_path, &document, "", code))
        return false;
    int written = 0;
    const bool all = SaveConfigToData(&document, entries, code, &written);
    if (written == 0)
        return false; // nothing to write: the file stays as it is
    if (!WriteFile(m_path, document, code))
        return false;
    return all;
}

// ---------------------------------------------------------------------------
// The keypad profile document

namespace {

constexpr int kKeypadKeys = 11;
const char kKeypadPrefix[] = "Keypad document:";

} // namespace

QByteArray WriteKeypadDocument(const AppConfigNode &app)
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = doc.createElement(QStringLiteral("KPD05App"));
    doc.appendChild(root);
    QDomElement profile = NewElement(doc, root, QStringLiteral("app"));
    SetText(NewElement(doc, profile, kPath), ProfileText(app.path));
    SetText(NewElement(doc, profile, kSelectID), Number(app.SelectID));
    for (int g = 0; g < kProfileKeyGroups; ++g) {
        QDomElement set = NewElement(doc, profile, GroupTag(g));
        set.setAttribute(kId, Number(app.groups[g].enabled));
        for (int k = 0; k < kKeypadKeys; ++k) {
            const KeyConfig &key = app.groups[g].keys[k];
            QDomElement c = NewElement(doc, set, QStringLiteral("K%1").arg(k + 1));
            c.setAttribute(kId, Number(key.id));
            c.setAttribute(QStringLiteral("Show"), Number(int(key.Show)));
            c.setAttribute(QStringLiteral("Actid"), Number(key.Actid));
            c.setAttribute(QStringLiteral("Motid"), Number(key.Motid));
            if (key.id != 0)
                SetText(c, ProfileText(key.custom));
        }
    }
    QDomElement ring = NewElement(doc, profile, QStringLiteral("R"));
    ring.setAttribute(kId, Number(app.ring.id));
    for (int w = 0; w < kProfileRingItems; ++w) {
        QDomElement c = NewElement(doc, ring, QStringLiteral("W%1").arg(w + 1));
        c.setAttribute(kId, Number(app.ring.items[w].id));
        if (app.ring.items[w].id == 2)
            SetText(c, ProfileText(app.ring.items[w].custom));
    }
    return doc.toByteArray(1);
}

bool ReadKeypadDocument(const QByteArray &data, AppConfigNode *app)
{
    QDomDocument doc;
    if (!ParseDocument(data, &doc, kKeypadPrefix, nullptr))
        return false;
    const QDomElement root = doc.documentElement();
    const QDomElement profile = root.firstChildElement();
    if (root.tagName() != QLatin1String("KPD05App") || profile.isNull()) {
        qWarning().noquote() << kKeypadPrefix << "no application profile in element" << root.tagName();
        return false;
    }
    // The document always carries the four key groups; read it as a model with groups.
    auto shape = std::make_unique<TabletXMLData>();
    std::memset(shape.get(), 0, sizeof(TabletXMLData));
    shape->SupportGroupKeys = 1;
    auto read = std::make_unique<AppConfigNode>();
    std::memset(read.get(), 0, sizeof(AppConfigNode));
    Reader r;
    // A non-null common profile makes the reader take the path, as for applications.
    ReadApp(r, profile, *read, *shape, read.get());
    if (!r.ok())
        return false;
    read->next = app->next;
    std::memcpy(app, read.get(), sizeof(AppConfigNode));
    return true;
}
