#include "action/ui/jingximode.h"

#include "platform/display/linux/x11session.h"

#include <QDebug>
#include <QKeyEvent>
#include <QPainter>
#include <QRegion>

namespace {

// The dimmed surroundings and outlines: black at alpha 125.
const QColor kShade(0, 0, 0, 125);
// Without translucency the outline is drawn opaque, in a colour seen on dark and light.
const QColor kOutline(255, 127, 39);
constexpr int kOutlineWidth = 2;

} // namespace

JingXiMode::JingXiMode(const QRect &screen, const QPoint &cursor, QWidget *parent, Look look)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_ScreenRect(screen)
    , m_strCaption(QStringLiteral("Fine Detail Mode"))
    , m_x(cursor.x())
    , m_y(cursor.y())
{
    if (look == Look::Auto)
        look = X11Session::TranslucencyDrawn() ? Look::Dimmed : Look::OutlineOnly;
    m_bOutlineOnly = look == Look::OutlineOnly;
    setWindowTitle(QStringLiteral("Inkora Precision Mode"));
    setFixedSize(screen.size());
    move(screen.topLeft());
    if (m_bOutlineOnly) {
        // Only the strip and the outline are part of the window; the rest of the screen,
        // the work area included, stays as it is and takes the clicks.
        setWindowFlag(Qt::WindowTransparentForInput);
        const QPoint o = BoxOrigin(screen.size(), cursor - screen.topLeft());
        const QRect outer(o.x() - kOutlineWidth, o.y(), BoxWidth + 2 * kOutlineWidth,
                          BoxHeight + kOutlineWidth);
        const QRect inner(o.x(), o.y() + TitleHeight, BoxWidth, WorkHeight);
        setMask(QRegion(outer).subtracted(QRegion(inner)));
        qInfo() << "Fine detail mode: no compositing manager, outline only";
    } else {
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::StrongFocus);
    }
    qInfo() << "QCursor::pos():" << cursor;
}

JingXiMode::~JingXiMode() = default;

QPoint JingXiMode::BoxOrigin(const QSize &screen, const QPoint &cursorOffset)
{
    int fx = 0;
    if (cursorOffset.x() > BoxWidth / 2)
        fx = std::min(cursorOffset.x() - BoxWidth / 2, screen.width() - BoxWidth);
    int fy = 0;
    if (cursorOffset.y() > 112)
        fy = std::min(cursorOffset.y() - 112, screen.height() - BoxHeight);
    // A screen smaller than the box keeps it at the corner.
    return QPoint(std::max(fx, 0), std::max(fy, 0));
}

QRect JingXiMode::ModeRect(const QRect &covered, const QPoint &boxOrigin, const ScreenTableData &physical)
{
    const QPoint area(covered.x() + boxOrigin.x(), covered.y() + boxOrigin.y() + TitleHeight);
    // The physical screen under the covered rectangle's last pixel gives the scale of a
    // scaled desktop; without one (or a covered width of 0) logical pixels are used.
    const QPoint last(covered.x() + covered.width() - 1, covered.y() + covered.height() - 1);
    QRect screen = covered;
    for (int i = 1; i <= physical.count; ++i) {
        const ScreenRect &r = physical.Slot(i);
        if (last.x() >= r.left && last.x() < r.right() && last.y() >= r.top && last.y() < r.bottom()) {
            screen = QRect(r.left, r.top, r.width, r.height);
            break;
        }
    }
    const int s = covered.width() > 0 ? std::max(1, screen.width() / covered.width()) : 1;
    return QRect(screen.x() + (area.x() - covered.x()) * s, screen.y() + (area.y() - covered.y()) * s,
                 BoxWidth * s, WorkHeight * s);
}

QRect JingXiMode::EmitModeRect()
{
    const QPoint origin = BoxOrigin(m_ScreenRect.size(), QPoint(m_x, m_y) - m_ScreenRect.topLeft());
    m_LastRect = ModeRect(m_ScreenRect, origin, ScreenTable::Current());
    emit GetModeRect(m_LastRect);
    return m_LastRect;
}

void JingXiMode::paintEvent(QPaintEvent *)
{
    const QPoint origin = BoxOrigin(m_ScreenRect.size(), QPoint(m_x, m_y) - m_ScreenRect.topLeft());
    const int fx = origin.x();
    const int fy = origin.y();
    const int w = width();
    const int h = height();

    QPainter painter(this);
    if (m_bOutlineOnly) {
        // Opaque: the mask leaves the strip and the outline only.
        painter.fillRect(rect(), kOutline);
        QFont font(QStringLiteral("Times New Roman"), 12);
        font.setBold(true);
        font.setItalic(true);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(fx, fy + 12, m_strCaption);
        EmitModeRect();
        return;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(kShade);
    painter.drawRect(0, 0, w, fy);                                  // above
    painter.drawRect(0, fy + BoxHeight, w, h - fy - BoxHeight);     // below
    painter.drawRect(0, fy, fx, BoxHeight);                         // left
    painter.drawRect(fx + BoxWidth, fy, w - fx - BoxWidth, BoxHeight); // right

    QFont font(QStringLiteral("Times New Roman"), 12);
    font.setBold(true);
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(QPen(QColor(0, 0, 0, 255), 2));
    const QString &caption = m_strCaption;
    painter.drawText(fx, fy + 12, caption);
    // The title strip right of the text, about 8 pixels per character.
    const int textWidth = std::min(8 * int(caption.size()), BoxWidth);
    painter.setPen(Qt::NoPen);
    painter.drawRect(fx + textWidth, fy, BoxWidth - textWidth, TitleHeight);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kShade, 2));
    painter.drawRect(fx, fy + TitleHeight, BoxWidth, WorkHeight);

    EmitModeRect();
}

void JingXiMode::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        emit CloseJingxiMode();
        return;
    }
    QWidget::keyPressEvent(event);
}
