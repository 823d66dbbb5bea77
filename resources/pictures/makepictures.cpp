// Draws the program's pictures: a schematic of every model (active area, express keys,
// rings) in each orientation and with each key marked, the pens by button layout, the
// tray and title-bar icons and the area-selection cursors. A model picture carries its
// active area as the PNG text "ActiveArea" (x y width height in its own pixels). Run at build time; writes
// PNG files and a resource list into the output folder.
//
//   inkora-make-pictures OUTDIR DEFAULT_CONFIG_XML

#include "action/keypreviewlayout.h"
#include "config/modeltables.h"
#include "config/profilestore.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QTextStream>
#include <QTransform>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

namespace {

// One palette for every picture, matching the mapping preview's frame colour.
const QColor kBody(43, 47, 54);
const QColor kBodyEdge(28, 31, 36);
const QColor kArea(58, 63, 71);
const QColor kScreen(29, 78, 137);
const QColor kAccent(63, 156, 252);
const QColor kKey(90, 98, 112);
const QColor kKeyText(220, 226, 235);
const QColor kMarked(255, 255, 255);

struct Shape {
    int kind = kKindPenTablet;
    int keys = 0;
    int rings = 0;
    bool touchPad = false;
};

void SetActiveArea(QImage *image, const QRect &area)
{
    image->setText(QStringLiteral("ActiveArea"),
                   QStringLiteral("%1 %2 %3 %4").arg(area.x()).arg(area.y()).arg(area.width()).arg(area.height()));
}

QRectF KeyRect(const Shape &s, const QRectF &body, int k)
{
    if (s.kind == kKindKeypad) {
        // Keypads: the ring (if any) on top, the keys in rows of four below it.
        const int columns = 4;
        const qreal top = body.top() + (s.rings ? body.width() * 0.55 : 14);
        const qreal size = (body.width() - 20 - (columns - 1) * 6) / columns;
        const int row = k / columns, column = k % columns;
        return QRectF(body.left() + 10 + column * (size + 6), top + row * (size + 6), size, size);
    }
    // Tablets and pen displays: one column of keys left of the active area, below the
    // rings.
    const qreal left = body.left() + 8;
    const qreal width = body.width() * 0.13;
    const qreal ringSpace = s.rings * (width + 8) + (s.touchPad ? width * 1.6 + 8 : 0);
    const qreal top = body.top() + 10 + ringSpace;
    const qreal room = body.bottom() - 10 - top;
    const qreal pitch = s.keys > 0 ? room / s.keys : 0;
    const qreal height = std::min<qreal>(pitch - 3, width * 0.7);
    return QRectF(left, top + k * pitch, width, std::max<qreal>(height, 3));
}

QSize BodySize(const Shape &s)
{
    if (s.kind == kKindKeypad) {
        const int rows = (s.keys + 3) / 4;
        return QSize(150, 24 + (s.rings ? 82 : 0) + rows * 36);
    }
    return QSize(300, 190);
}

// The picture of a model upright; markKey (1-based) paints that key highlighted.
QImage DrawModel(const Shape &s, int markKey)
{
    const QSize size = BodySize(s);
    QImage image(size + QSize(8, 8), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(4, 4, size.width(), size.height());
    p.setPen(QPen(kBodyEdge, 2));
    p.setBrush(kBody);
    p.drawRoundedRect(body, 12, 12);

    QRect activeArea;
    if (s.kind != kKindKeypad) {
        const int left = s.keys || s.rings || s.touchPad ? int(body.left() + body.width() * 0.13) + 18 : int(body.left()) + 14;
        const QRect area(left, int(body.top()) + 14, int(body.right()) - 14 - left, int(body.height()) - 28);
        p.setPen(QPen(kAccent, 1.2));
        p.setBrush(s.kind == kKindPenDisplay ? kScreen : kArea);
        p.drawRoundedRect(area, 4, 4);
        activeArea = area;
    }

    // Rings and the touch strip.
    const qreal ringSize = s.kind == kKindKeypad ? body.width() * 0.45 : body.width() * 0.13;
    for (int r = 0; r < s.rings; ++r) {
        QRectF ring(0, 0, ringSize, ringSize);
        if (s.kind == kKindKeypad)
            ring.moveCenter(QPointF(body.center().x(), body.top() + 12 + ringSize / 2));
        else
            ring.moveTopLeft(QPointF(body.left() + 8, body.top() + 10 + r * (ringSize + 8)));
        p.setPen(QPen(kKey, ringSize * 0.18));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(ring.adjusted(ringSize * 0.1, ringSize * 0.1, -ringSize * 0.1, -ringSize * 0.1));
    }
    if (s.touchPad && s.kind != kKindKeypad) {
        const QRectF strip(body.left() + 8, body.top() + 10 + s.rings * (ringSize + 8), ringSize, ringSize * 1.6);
        p.setPen(Qt::NoPen);
        p.setBrush(kKey);
        p.drawRoundedRect(strip, ringSize / 2, ringSize / 2);
    }

    QFont font = p.font();
    for (int k = 0; k < s.keys; ++k) {
        const QRectF key = KeyRect(s, body, k);
        const bool marked = k + 1 == markKey;
        p.setPen(marked ? QPen(kMarked, 2) : Qt::NoPen);
        p.setBrush(marked ? kAccent : kKey);
        p.drawRoundedRect(key, 3, 3);
        if (key.height() >= 10) {
            font.setPixelSize(int(std::min(key.height(), key.width()) * 0.5));
            p.setFont(font);
            p.setPen(marked ? kMarked : kKeyText);
            p.drawText(key, Qt::AlignCenter, QString::number(k + 1));
        }
    }
    p.end();
    // Where the active area lies, for the mapping preview's tablet frame.
    if (!activeArea.isNull())
        SetActiveArea(&image, activeArea);
    return image;
}

QImage Rotated(const QImage &image, int quarterTurns)
{
    if (quarterTurns % 4 == 0)
        return image;
    const QTransform turn = QTransform().rotate(90.0 * quarterTurns);
    QImage turned = image.transformed(turn, Qt::SmoothTransformation);
    const QStringList area = image.text(QStringLiteral("ActiveArea")).split(QLatin1Char(' '));
    if (area.size() == 4) {
        const QRect upright(area[0].toInt(), area[1].toInt(), area[2].toInt(), area[3].toInt());
        SetActiveArea(&turned, QImage::trueMatrix(turn, image.width(), image.height()).mapRect(upright));
    }
    return turned;
}

// Pens by button layout: which of the eraser end (button 0) and the two side buttons
// (1 and 2) the model's pen has.
QImage DrawPen(int penType)
{
    bool eraser = false, first = true, second = false;
    switch (penType) {
    case 0: case 6: second = true; break;
    case 3: break;
    case 4: eraser = true; break;
    default: eraser = true; second = true; break; // 1, 2, 5
    }
    QImage image(220, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath pen;
    pen.moveTo(8, 24);
    pen.lineTo(40, 14);
    pen.lineTo(200, 14);
    pen.quadTo(212, 24, 200, 34);
    pen.lineTo(40, 34);
    pen.closeSubpath();
    p.setPen(QPen(kBodyEdge, 1.5));
    p.setBrush(kBody);
    p.drawPath(pen);
    p.setBrush(kArea);
    p.drawEllipse(QPointF(10, 24), 3, 3); // the tip
    if (eraser) {
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(194, 16, 14, 16), 4, 4);
    }
    p.setBrush(kKey);
    if (first)
        p.drawRoundedRect(QRectF(62, 11, 18, 6), 2, 2);
    if (second)
        p.drawRoundedRect(QRectF(84, 11, 18, 6), 2, 2);
    return image;
}

QImage Icon(const QString &name)
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kAccent, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (name == QLatin1String("show")) {
        p.drawRoundedRect(QRectF(4, 7, 24, 18), 3, 3);
        p.drawLine(QPointF(4, 12), QPointF(28, 12));
    } else if (name == QLatin1String("close")) {
        p.drawLine(QPointF(8, 8), QPointF(24, 24));
        p.drawLine(QPointF(24, 8), QPointF(8, 24));
    } else if (name == QLatin1String("setting") || name == QLatin1String("btn_setting_r")) {
        p.drawEllipse(QPointF(16, 16), 5, 5);
        for (int i = 0; i < 8; ++i) {
            const QTransform t = QTransform().translate(16, 16).rotate(45.0 * i);
            p.drawLine(t.map(QPointF(0, -9)), t.map(QPointF(0, -13)));
        }
        if (name == QLatin1String("btn_setting_r")) { // with the red point of a pending update
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(230, 40, 40));
            p.drawEllipse(QPointF(26, 6), 5, 5);
        }
    } else if (name == QLatin1String("update")) {
        p.drawLine(QPointF(16, 5), QPointF(16, 22));
        p.drawLine(QPointF(9, 15), QPointF(16, 22));
        p.drawLine(QPointF(23, 15), QPointF(16, 22));
        p.drawLine(QPointF(6, 27), QPointF(26, 27));
    }
    return image;
}

// The area-selection cursors: 64 x 64 with the hotspot at (32, 32), a corner bracket
// opening towards the area to be chosen.
QImage Cursor(bool topLeft)
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath bracket;
    if (topLeft) {
        bracket.moveTo(32, 52);
        bracket.lineTo(32, 32);
        bracket.lineTo(52, 32);
    } else {
        bracket.moveTo(12, 32);
        bracket.lineTo(32, 32);
        bracket.lineTo(32, 12);
    }
    p.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(bracket);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(bracket);
    return image;
}

// The key layout picture for a model with keyCount keys (action 111): the pad with its
// numbered keys, where the window writes each key's action.
QImage KeypadPreview(int keyCount)
{
    QImage image(KeyPreviewLayout::kWidth, KeyPreviewLayout::kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kBodyEdge, 2));
    p.setBrush(kBody);
    p.drawRoundedRect(KeyPreviewLayout::Pad(), 24, 24);
    QFont font = p.font();
    font.setPixelSize(13);
    p.setFont(font);
    const QVector<QRectF> keys = KeyPreviewLayout::Keys(keyCount);
    for (int k = 0; k < keys.size(); ++k) {
        p.setPen(Qt::NoPen);
        p.setBrush(kKey);
        p.drawRoundedRect(keys[k], 8, 8);
        p.setPen(kAccent);
        p.drawText(keys[k].adjusted(7, 4, -7, -4), Qt::AlignLeft | Qt::AlignTop, QString::number(k + 1));
    }
    return image;
}

Shape ShapeOf(const QString &configPath, const char *modelKey, int kind)
{
    Shape s;
    s.kind = kind;
    auto profile = std::make_unique<TabletXMLData>();
    std::memset(profile.get(), 0, sizeof(TabletXMLData));
    AppConfigMap apps;
    ProfileStore store(configPath);
    if (store.LoadConfig(QString::fromLatin1(modelKey), profile.get(), &apps)) {
        s.keys = std::clamp<int>(profile->DeviceKeyNum, 0, 24);
        s.rings = std::clamp<int>(profile->DeviceRingNum, 0, 2);
        s.touchPad = profile->DeviceTrackPad != 0;
    }
    // The profile owns its application list.
    for (AppConfigNode *n = profile->Apps; n;) {
        AppConfigNode *next = n->next;
        delete n;
        n = next;
    }
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: inkora-make-pictures OUTDIR DEFAULT_CONFIG_XML\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString config = QString::fromLocal8Bit(argv[2]);
    if (!QDir().mkpath(out.filePath(QStringLiteral("image/tablet"))) || !QDir().mkpath(out.filePath(QStringLiteral("image/Res")))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    QStringList files;
    bool ok = true;
    const auto save = [&](const QImage &image, const QString &name) {
        if (!image.save(out.filePath(name), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            ok = false;
        }
        files << name;
    };

    std::set<QString> done;
    std::set<int> keyCounts;
    const auto model = [&](const char *key, int kind) {
        const QString name = QString::fromLatin1(key);
        if (!done.insert(name).second)
            return;
        const Shape s = ShapeOf(config, key, kind);
        const QImage upright = DrawModel(s, 0);
        save(upright, QStringLiteral("image/tablet/%1.png").arg(name));
        for (int o = 0; o < 4; ++o)
            save(Rotated(upright, o), QStringLiteral("image/tablet/%1_K%2.png").arg(name).arg(o));
        for (int k = 1; k <= s.keys; ++k)
            save(DrawModel(s, k), QStringLiteral("image/tablet/HY_%1_K%2.png").arg(name).arg(k));
        if (s.keys > 0)
            keyCounts.insert(s.keys);
    };
    for (const UsbModelEntry &m : kUsbModels)
        model(m.model, m.kind);
    for (const BleModelEntry &m : kBleModels)
        model(m.model, m.kind);
    for (int keys : keyCounts)
        save(KeypadPreview(keys), QStringLiteral("image/tablet/Pre_Keypad_H_%1.png").arg(keys));
    for (int t = 0; t <= 6; ++t)
        save(DrawPen(t), QStringLiteral("image/Res/pen%1.png").arg(t));
    for (const char *icon : {"show", "close", "setting", "update", "btn_setting_r"})
        save(Icon(QLatin1String(icon)), QStringLiteral("image/Res/%1.png").arg(QLatin1String(icon)));
    save(Cursor(true), QStringLiteral("image/Res/leftTop.png"));
    save(Cursor(false), QStringLiteral("image/Res/rightbottom.png"));

    QFile qrc(out.filePath(QStringLiteral("pictures.qrc")));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write pictures.qrc\n");
        return 1;
    }
    QTextStream list(&qrc);
    list << "<RCC>\n  <qresource prefix=\"/\">\n";
    for (const QString &f : files)
        list << "    <file>" << f << "</file>\n";
    list << "  </qresource>\n</RCC>\n";
    return ok ? 0 : 1;
}
