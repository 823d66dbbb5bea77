#include "uiservice/screencalibrate.h"

#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// Half the length of a cross's arms, in pixels.
constexpr int kCrossArm = 20;
} // namespace

ScreenCalibrate::ScreenCalibrate(IpcBackend *ipc, WindowBackend *window, const CaptionFile &captions,
                                 QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_block(ipc, window),
      m_captions(captions)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));
}

ScreenCalibrate::~ScreenCalibrate() = default;

std::array<QPoint, ScreenCalibrate::TargetCount> ScreenCalibrate::Targets(int w, int h)
{
    return {QPoint(Margin, Margin), QPoint(Margin, h - Margin), QPoint(w - Margin, h - Margin),
            QPoint(w - Margin, Margin), QPoint(w / 2, h / 2)};
}

QRect ScreenCalibrate::HitRect(const QPoint &origin, const QPoint &t)
{
    // The area starts 50 pixels above and left of the cross and reaches as far right
    // and down as the cross lies from the window's edge plus 50: the corner crosses get
    // a generous area, the far ones one that reaches past the window.
    return QRect(origin.x() + t.x() - Margin, origin.y() + t.y() - Margin, t.x() + Margin, t.y() + Margin);
}

CalibrationResult ScreenCalibrate::Compute(const std::array<QPoint, TargetCount> &T,
                                           const std::array<QPoint, TargetCount> &P)
{
    CalibrationResult r;
    const float spanX = float(((P[2].x() - P[1].x()) + (P[3].x() - P[0].x())));
    const float spanY = float(((P[2].y() - P[3].y()) + (P[1].y() - P[0].y())));
    r.fKX = spanX / (2.0f * float(T[3].x() - T[0].x()));
    r.fKY = spanY / (2.0f * float(T[1].y() - T[0].y()));
    r.fXLC = float(T[4].x()) / float(P[4].x());
    r.fYLC = float(T[4].y()) / float(P[4].y());
    r.valid = std::isfinite(r.fKX) && std::isfinite(r.fKY) && std::isfinite(r.fXLC) && std::isfinite(r.fYLC);
    return r;
}

bool ScreenCalibrate::Restart()
{
    if (!m_block.Reopen()) {
        qWarning() << "Screen calibration: no shared block, nothing shown";
        return false;
    }
    const QRect screen = m_block.Screen();
    if (screen.width() <= 0 || screen.height() <= 0) {
        qWarning() << "Screen calibration: no screen in the shared block" << screen;
        return false;
    }
    m_targets = Targets(screen.width(), screen.height());
    for (int i = 0; i < TargetCount; ++i)
        m_hitRects[i] = HitRect(screen.topLeft(), m_targets[i]);
    m_points.fill(QPoint());
    m_nIndex = 0;
    setFixedSize(screen.width(), screen.height());
    move(screen.x(), screen.y());
    show();
    update();
    return true;
}

QString ScreenCalibrate::helpText() const
{
    return m_captions.Text(QStringLiteral("Device.CalibrateHelpInfo"))
        .arg(std::min(m_nIndex + 1, int(TargetCount)))
        .arg(TargetCount);
}

void ScreenCalibrate::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (m_nIndex >= TargetCount)
        return;
    QPainter painter(this);
    // The instruction below the middle, clear of every cross (the centre one included).
    QFont font = painter.font();
    font.setPixelSize(18);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(Margin * 2, height() / 2 + 2 * kCrossArm, width() - Margin * 4, 3 * Margin),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, helpText());
    painter.setPen(QPen(QColor(255, 0, 2), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    const QPoint t = m_targets[m_nIndex];
    painter.drawLine(t.x() - kCrossArm, t.y(), t.x() + kCrossArm, t.y());
    painter.drawLine(t.x(), t.y() - kCrossArm, t.x(), t.y() + kCrossArm);
}

void ScreenCalibrate::mousePressEvent(QMouseEvent *event)
{
    if (m_nIndex >= TargetCount || !m_hitRects[m_nIndex].contains(event->globalPos()))
        return;
    m_points[m_nIndex] = event->pos();
    ++m_nIndex;
    if (m_nIndex == TargetCount) {
        Finish();
        return;
    }
    update();
}

void ScreenCalibrate::Finish()
{
    const CalibrationResult r = Compute(m_targets, m_points);
    if (!r.valid) {
        // A screen too small for the crosses or a press on the window's edge: no number
        // to calibrate with, and Inkora would only have to throw it away.
        qWarning() << "Screen calibration gave no usable ratios:" << r.fKX << r.fKY << r.fXLC << r.fYLC;
    } else {
        emit sign_ScreenCalibrate();
        m_block.FinishCalibration(r.fKX, r.fKY, r.fXLC, r.fYLC);
    }
    close();
}

void ScreenCalibrate::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
