#include "mapping/showscreenid.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

ShowScreenID::ShowScreenID(int number, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool)
{
    setAttribute(Qt::WA_DeleteOnClose);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    m_pLabel = new QLabel(QStringLiteral("%1").arg(number), this);
    m_pLabel->setStyleSheet(QStringLiteral("QLabel{color: white;}"));
    QFont font = m_pLabel->font();
    font.setPointSize(48);
    font.setBold(true);
    m_pLabel->setFont(font);
    m_pLabel->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 8, 16, 8);
    layout->addWidget(m_pLabel);
    adjustSize();
}

QString ShowScreenID::Text() const
{
    return m_pLabel->text();
}

void ShowScreenID::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    QTimer::singleShot(kShowMs, this, &QWidget::close);
}

std::vector<ShowScreenID *> ShowScreenID::ShowAll(const ScreenTableData &table)
{
    std::vector<ShowScreenID *> windows;
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRect g = screen->availableGeometry();
        for (int i = 1; i <= table.count; ++i) {
            if (table.Slot(i).left != g.left() || table.Slot(i).top != g.top())
                continue;
            auto *w = new ShowScreenID(i);
            w->move(g.left() + 50, g.bottom() - w->height() - 5);
            w->show();
            windows.push_back(w);
            break;
        }
    }
    return windows;
}
