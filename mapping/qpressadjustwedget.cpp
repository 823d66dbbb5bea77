#include "mapping/qpressadjustwedget.h"

#include "mapping/pressurecurve.h"
#include "mapping/pressurelevels.h"

#include <QDebug>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace {

const char kSliderStyle[] = "QSlider::groove:horizontal{background: transparent; border: none;}";

} // namespace

QPressAdjustWedget::QPressAdjustWedget(QWidget *parent)
    : QWidget(parent)
    , m_Points(DefaultPressPoints())
{
    qRegisterMetaType<SPresslvPoints>("SPresslvPoints");
    setMinimumSize(kAreaSize, kAreaSize);

    m_pSliderP0 = new QSlider(Qt::Horizontal, this);
    m_pSliderP0->setGeometry(0, kAreaSize - kHandleSize, kAreaSize, kHandleSize);
    m_pSliderP0->setRange(0, kAreaSize);
    m_pSliderP0->setStyleSheet(QString::fromLatin1(kSliderStyle));
    m_pSliderP2 = new QSlider(Qt::Horizontal, this);
    m_pSliderP2->setGeometry(0, 0, kAreaSize, kHandleSize);
    m_pSliderP2->setRange(0, kAreaSize);
    m_pSliderP2->setInvertedAppearance(true); // its value counts from the right edge
    m_pSliderP2->setStyleSheet(QString::fromLatin1(kSliderStyle));
    connect(m_pSliderP0, &QSlider::valueChanged, this, &QPressAdjustWedget::OnP0SliderMoved);
    connect(m_pSliderP2, &QSlider::valueChanged, this, &QPressAdjustWedget::OnP2SliderMoved);
    // A release over a slider ends an edit as much as one over the curve.
    m_pSliderP0->installEventFilter(this);
    m_pSliderP2->installEventFilter(this);

    m_pHandle = new QLabel(this);
    m_pHandle->setStyleSheet(
        QStringLiteral("QLabel{width:  8px;height: 8px; border-radius: 2px;background: #07459d; }"));
    m_pHandle->setGeometry(62, 62, kHandleSize, kHandleSize);
    // The editor itself follows the drag, so the handle lets the mouse through.
    m_pHandle->setAttribute(Qt::WA_TransparentForMouseEvents);

    PlaceHandles();
}

QRect QPressAdjustWedget::HandleGeometry() const
{
    return m_pHandle->geometry();
}

void QPressAdjustWedget::SetPoints(const SPresslvPoints &points)
{
    m_Points = points;
    PlaceHandles();
}

void QPressAdjustWedget::ResetPoints()
{
    SetPoints(DefaultPressPoints());
}

void QPressAdjustWedget::SetLevel(int level)
{
    PressLevelPoints(level, &m_Points); // an unknown level keeps the points
    PlaceHandles();
}

void QPressAdjustWedget::PlaceHandles()
{
    const QRect &a = m_Area;
    m_Start = QPoint(a.x() + static_cast<int>(m_Points.P0 * a.width()), a.y() + a.height());
    m_End = QPoint(a.x() + static_cast<int>(m_Points.P2 * a.width()), a.y());
    m_Control = QPoint(a.x() + static_cast<int>(m_Points.P1X * a.width()),
                       a.y() + static_cast<int>(m_Points.P1Y * a.height()));
    {
        const QSignalBlocker b0(m_pSliderP0);
        const QSignalBlocker b2(m_pSliderP2);
        m_pSliderP0->setValue(static_cast<int>(a.width() * m_Points.P0));
        m_pSliderP2->setValue(static_cast<int>((1.0f - m_Points.P2) * a.width()));
    }
    m_pHandle->move(m_Control - QPoint(kHandleSize / 2, kHandleSize / 2));
    update();
}

void QPressAdjustWedget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path(m_Start);
    path.cubicTo(m_Control, m_Control, m_End);
    QPen pen(QColor(QStringLiteral("#BED9FF")), 1.2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(pen);
    painter.drawPath(path);
}

void QPressAdjustWedget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pHandle->geometry().contains(event->pos())) {
        m_bDragging = true;
        m_PressPos = event->pos();
        m_HandleStart = m_pHandle->pos();
    }
    QWidget::mousePressEvent(event);
}

void QPressAdjustWedget::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_bDragging)
        return;
    QPoint pos = event->pos() - m_PressPos + m_HandleStart;
    // The control point stays between the start and end points (a little slack to the
    // left of the start), and the handle inside the drawing area.
    const int limit = kAreaSize - kHandleSize;
    int x = std::max(pos.x(), m_Start.x() - 10);
    x = std::min(x, m_End.x() - 4);
    x = std::clamp(x, 0, limit);
    const int y = std::clamp(pos.y(), 0, limit);
    m_pHandle->move(x, y);

    const QPoint centre = m_pHandle->pos() + QPoint(kHandleSize / 2, kHandleSize / 2);
    m_Control = centre;
    m_Points.P1X = static_cast<float>(centre.x() - m_Area.x()) / static_cast<float>(m_Area.width());
    m_Points.P1Y = static_cast<float>(centre.y() - m_Area.y()) / static_cast<float>(m_Area.height());
    qDebug() << "p1" << m_Points.P1X << m_Points.P1Y;
    update();
}

void QPressAdjustWedget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_bDragging = false;
        emit PressSensitivityChange(m_Points);
    }
    QWidget::mouseReleaseEvent(event);
}

bool QPressAdjustWedget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton
        && (watched == m_pSliderP0 || watched == m_pSliderP2)) {
        emit PressSensitivityChange(m_Points);
    }
    return QWidget::eventFilter(watched, event);
}

void QPressAdjustWedget::OnP0SliderMoved(int value)
{
    // The start point may not pass the control point.
    const int most = m_Control.x() - m_Area.x();
    if (value > most) {
        value = most;
        const QSignalBlocker block(m_pSliderP0);
        m_pSliderP0->setValue(value);
    }
    m_Start.setX(value + m_Area.x());
    m_Points.P0 = static_cast<float>(value) / static_cast<float>(kAreaSize);
    qDebug() << "fp0" << m_Points.P0;
    update();
}

void QPressAdjustWedget::OnP2SliderMoved(int value)
{
    // The end point may not pass left of the control point.
    const int most = kAreaSize - (m_Control.x() - m_Area.x());
    if (value > most) {
        value = most;
        const QSignalBlocker block(m_pSliderP2);
        m_pSliderP2->setValue(value);
    }
    m_End.setX(m_Area.x() + kAreaSize - value);
    m_Points.P2 = static_cast<float>(kAreaSize - value) / static_cast<float>(kAreaSize);
    qDebug() << "fP2" << m_Points.P2;
    update();
}
