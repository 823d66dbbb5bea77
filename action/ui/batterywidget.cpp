#include "action/ui/batterywidget.h"

#include "base/language.h"

#include <QPainter>

BatteryWidget::BatteryWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("BatteryWidget"));
}

void BatteryWidget::SetBattery(int level, bool charging)
{
    m_nLevel = std::max(0, std::min(level, 100));
    m_bCharging = charging;
    setToolTip(Language::percent(m_nLevel));
    update();
}

void BatteryWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int capWidth = 3;
    const QRect body(1, 1, width() - capWidth - 3, height() - 3);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body, 3, 3);
    painter.fillRect(QRect(body.right() + 1, body.top() + body.height() / 3, capWidth, body.height() / 3),
                     palette().color(QPalette::WindowText));
    const QRect inner = body.adjusted(2, 2, -1, -1);
    const QRect fill(inner.left(), inner.top(), inner.width() * m_nLevel / 100, inner.height());
    painter.fillRect(fill, Low() ? QColor(220, 40, 40) : QColor(60, 170, 80));
    if (m_bCharging) {
        // A flash across the middle.
        const QPointF c = body.center();
        const qreal h = body.height() * 0.4;
        QPolygonF bolt;
        bolt << QPointF(c.x() + 2, c.y() - h) << QPointF(c.x() - 3, c.y() + 1) << QPointF(c.x(), c.y() + 1)
             << QPointF(c.x() - 2, c.y() + h) << QPointF(c.x() + 3, c.y() - 1) << QPointF(c.x(), c.y() - 1);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(250, 200, 30));
        painter.drawPolygon(bolt);
    }
}
