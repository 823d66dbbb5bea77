#include "mapping/mappingwidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QTransform>

#include <algorithm>
#include <cstdint>

namespace {

const QColor kFrameColour(63, 156, 252);
constexpr int kMargin = 10;

// The largest rectangle of the given proportions centred in 'box'.
QRect Fit(const QRect &box, QSize size)
{
    if (size.width() <= 0 || size.height() <= 0 || box.isEmpty())
        return box;
    size.scale(box.size(), Qt::KeepAspectRatio);
    return QRect(box.x() + (box.width() - size.width()) / 2, box.y() + (box.height() - size.height()) / 2,
                 size.width(), size.height());
}

// 'area' inside 'whole' (same units) scaled onto a frame of 'frame' pixels.
QRect Scale(const QRect &area, const QRect &whole, QSize frame)
{
    if (whole.width() <= 0 || whole.height() <= 0)
        return QRect();
    const int64_t fw = frame.width();
    const int64_t fh = frame.height();
    return QRect(static_cast<int>((area.x() - whole.x()) * fw / whole.width()),
                 static_cast<int>((area.y() - whole.y()) * fh / whole.height()),
                 static_cast<int>(area.width() * fw / whole.width()),
                 static_cast<int>(area.height() * fh / whole.height()));
}

QRect ClampInto(QRect r, QSize frame)
{
    r.setWidth(std::min(r.width(), frame.width()));
    r.setHeight(std::min(r.height(), frame.height()));
    r.moveLeft(std::clamp(r.left(), 0, frame.width() - r.width()));
    r.moveTop(std::clamp(r.top(), 0, frame.height() - r.height()));
    return r;
}

} // namespace

mappingwidget::mappingwidget(QWidget *parent)
    : QWidget(parent)
{
    setMinimumSize(200, 100);
}

void mappingwidget::SetScreenTable(const ScreenTableData &table, int screenId)
{
    m_Table = table;
    m_nScreenId = screenId;
    Layout();
}

void mappingwidget::SetTablet(const QString &model, int orientation, QSize fullTablet)
{
    m_strModel = model;
    m_nOrientation = orientation;
    m_FullTablet = fullTablet;
    QImage picture(QStringLiteral(":/image/tablet/%1.png").arg(model));
    QRectF area;
    const QStringList numbers = picture.text(QStringLiteral("ActiveArea")).split(QLatin1Char(' '));
    if (numbers.size() == 4)
        area = QRectF(numbers[0].toDouble(), numbers[1].toDouble(), numbers[2].toDouble(), numbers[3].toDouble());
    if (!picture.isNull() && orientation != 0) {
        const QTransform turn = QTransform().rotate(90.0 * orientation);
        area = QImage::trueMatrix(turn, picture.width(), picture.height()).mapRect(area);
        picture = picture.transformed(turn);
    }
    m_TabletPicture = QPixmap::fromImage(picture);
    m_PictureArea = picture.rect().contains(area.toAlignedRect()) ? area : QRectF();
    Layout();
}

void mappingwidget::SetScreenArea(const QRect &area)
{
    m_ScreenArea = area;
    UpdateRubbers();
}

void mappingwidget::SetTabletArea(const QRect &area)
{
    m_TabletArea = area;
    UpdateRubbers();
}

void mappingwidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Layout();
}

void mappingwidget::Layout()
{
    const QRect inner = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const int half = (inner.width() - kMargin) / 2;
    const QRect left(inner.x(), inner.y(), half, inner.height());
    const QRect right(inner.x() + half + kMargin, inner.y(), half, inner.height());
    const ScreenRect &s = m_Table.Slot(m_nScreenId);
    m_ScreenFrame = Fit(left, QSize(s.width, s.height));
    if (!m_TabletPicture.isNull() && !m_PictureArea.isEmpty()) {
        // The picture fills its half; the frame is its active area, not the whole body
        // with its keys and rings.
        m_PictureRect = Fit(right, m_TabletPicture.size());
        const qreal scale = qreal(m_PictureRect.width()) / m_TabletPicture.width();
        m_TabletFrame = QRectF(m_PictureRect.x() + m_PictureArea.x() * scale, m_PictureRect.y() + m_PictureArea.y() * scale,
                               m_PictureArea.width() * scale, m_PictureArea.height() * scale)
                            .toRect();
    } else {
        m_TabletFrame = Fit(right, m_FullTablet);
        m_PictureRect = m_TabletPicture.isNull() ? QRect() : Fit(m_TabletFrame, m_TabletPicture.size());
    }
    UpdateRubbers();
}

void mappingwidget::UpdateRubbers()
{
    const ScreenRect &s = m_Table.Slot(m_nScreenId);
    m_ScreenRubber = Scale(m_ScreenArea, QRect(s.left, s.top, s.width, s.height), m_ScreenFrame.size());
    m_TabletRubber = Scale(m_TabletArea, QRect(QPoint(0, 0), m_FullTablet), m_TabletFrame.size());
    update();
}

void mappingwidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The screen picture: the mapped screen, with the other screens of the desktop
    // that fall inside it (the whole desktop shows all of them).
    painter.fillRect(m_ScreenFrame, QColor(32, 36, 44));
    const ScreenRect &s = m_Table.Slot(m_nScreenId);
    const QRect whole(s.left, s.top, s.width, s.height);
    painter.setPen(QColor(90, 96, 110));
    for (int i = 1; i <= m_Table.count && m_nScreenId == 0; ++i) {
        const ScreenRect &r = m_Table.Slot(i);
        const QRect px = Scale(QRect(r.left, r.top, r.width, r.height), whole, m_ScreenFrame.size());
        painter.drawRect(px.translated(m_ScreenFrame.topLeft()).adjusted(1, 1, -1, -1));
        painter.drawText(px.translated(m_ScreenFrame.topLeft()), Qt::AlignCenter, QString::number(i));
    }

    // The tablet picture, or a plain outline of the tablet.
    if (!m_TabletPicture.isNull()) {
        painter.drawPixmap(m_PictureRect.topLeft(),
                           m_TabletPicture.scaled(m_PictureRect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(48, 52, 60));
        painter.drawRoundedRect(m_TabletFrame, 4, 4);
        painter.setBrush(Qt::NoBrush);
    }

    QPen frame(kFrameColour, 1.2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(frame);
    painter.drawRect(m_ScreenFrame);
    painter.drawRect(m_TabletFrame);

    QPen dashed(kFrameColour, 1, Qt::DashLine);
    painter.setPen(dashed);
    const QRect sr = ScreenRubberAbs();
    const QRect tr = TabletRubberAbs();
    painter.drawRect(sr);
    painter.drawRect(tr);
    painter.drawLine(sr.topLeft(), tr.topLeft());
    painter.drawLine(sr.bottomLeft(), tr.bottomLeft());
    painter.drawLine(sr.topRight(), tr.topRight());
    painter.drawLine(sr.bottomRight(), tr.bottomRight());
}

void mappingwidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_PressPos = event->pos();
    if (ScreenRubberAbs().contains(m_PressPos)) {
        m_Drag = Drag::MoveScreen;
        m_PressRubber = m_ScreenRubber;
    } else if (TabletRubberAbs().contains(m_PressPos)) {
        m_Drag = Drag::MoveTablet;
        m_PressRubber = m_TabletRubber;
    } else if (m_ScreenFrame.contains(m_PressPos)) {
        m_Drag = Drag::DrawScreen;
    } else if (m_TabletFrame.contains(m_PressPos)) {
        m_Drag = Drag::DrawTablet;
    } else {
        m_Drag = Drag::None;
    }
}

void mappingwidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint delta = event->pos() - m_PressPos;
    switch (m_Drag) {
    case Drag::MoveScreen:
        m_ScreenRubber = ClampInto(m_PressRubber.translated(delta), m_ScreenFrame.size());
        break;
    case Drag::MoveTablet:
        m_TabletRubber = ClampInto(m_PressRubber.translated(delta), m_TabletFrame.size());
        break;
    case Drag::DrawScreen: {
        const QPoint a = m_PressPos - m_ScreenFrame.topLeft();
        const QPoint b = event->pos() - m_ScreenFrame.topLeft();
        m_ScreenRubber = QRect(a, b).normalized() & QRect(QPoint(0, 0), m_ScreenFrame.size());
        break;
    }
    case Drag::DrawTablet: {
        const QPoint a = m_PressPos - m_TabletFrame.topLeft();
        const QPoint b = event->pos() - m_TabletFrame.topLeft();
        m_TabletRubber = QRect(a, b).normalized() & QRect(QPoint(0, 0), m_TabletFrame.size());
        break;
    }
    case Drag::None:
        return;
    }
    update();
}

void mappingwidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_Drag == Drag::None)
        return;
    const Drag drag = m_Drag;
    m_Drag = Drag::None;
    // A click without a drag draws nothing.
    if (drag == Drag::DrawScreen || drag == Drag::MoveScreen) {
        if (!m_ScreenRubber.isEmpty())
            emit ScreenRubberRectChange(m_ScreenRubber, QRect(QPoint(0, 0), m_ScreenFrame.size()));
    } else if (!m_TabletRubber.isEmpty()) {
        emit TabletRubberRectChange(m_TabletRubber, QRect(QPoint(0, 0), m_TabletFrame.size()));
    }
}
