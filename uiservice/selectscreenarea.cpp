#include "uiservice/selectscreenarea.h"

#include "platform/display/linux/x11session.h"
#include "uiservice/mylrc.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <QBitmap>
#include <QCursor>
#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>

#include <algorithm>

namespace {
const char kFirstCornerCursor[] = ":/image/Res/leftTop.png";
const char kSecondCornerCursor[] = ":/image/Res/rightbottom.png";
// Both cursor pictures are 64 x 64 with the point in the middle.
constexpr int kCursorHotspot = 32;

QCursor CornerCursor(const char *resource)
{
    return QCursor(QPixmap(QString::fromLatin1(resource)), kCursorHotspot, kCursorHotspot);
}
} // namespace

SelectScreenArea::SelectScreenArea(IpcBackend *ipc, WindowBackend *window, const CaptionFile &captions,
                                   QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_block(ipc, window), m_captions(captions), m_pLrc(std::make_unique<MyLrc>())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true); // the rubber band follows the pointer after the first corner
    m_bCompositor = X11Session::TranslucencyDrawn();
    if (m_bCompositor)
        setWindowOpacity(0.5);
    m_pLrc->OpenCaptionFile(m_captions.path, m_captions.Group());
}

SelectScreenArea::~SelectScreenArea() = default;

bool SelectScreenArea::Restart()
{
    if (!m_block.Reopen()) {
        // Inkora has no block: there is no screen to show and nowhere to answer.
        qWarning() << "Screen area selection: no shared block, nothing shown";
        return false;
    }
    const QRect screen = m_block.Screen();
    if (screen.width() <= 0 || screen.height() <= 0) {
        qWarning() << "Screen area selection: no screen in the shared block" << screen;
        return false;
    }
    m_nScreenX = screen.x();
    m_nScreenY = screen.y();
    m_bWaitFirst = true;
    m_bDragging = false;
    if (!m_bCompositor && isHidden()) {
        // Taken before the window covers the screen: what the user selects on.
        m_background = QPixmap();
        if (QScreen *s = QGuiApplication::screenAt(screen.center())) {
            const QRect g = s->geometry();
            m_background = s->grabWindow(0, screen.x() - g.x(), screen.y() - g.y(), screen.width(), screen.height());
        }
    }
    m_rect = QRect();
    setCursor(CornerCursor(kFirstCornerCursor));
    setFixedSize(screen.width(), screen.height());
    move(m_nScreenX, m_nScreenY);
    show();
    update();
    const QString key = QStringLiteral("Device.ScreenHelpInfo1");
    m_pLrc->ShowTips(key, false, TipsLanguage::EnglishText(key));
    return true;
}

QRect SelectScreenArea::SpannedRect(const QPoint &a, const QPoint &b)
{
    // Built from the edges rather than from QRect(a, b).normalized(): the latter leaves
    // a 0 x 0 rectangle when the second press lies one pixel above and left of the first.
    const int left = std::min(a.x(), b.x());
    const int right = std::max(a.x(), b.x());
    const int top = std::min(a.y(), b.y());
    const int bottom = std::max(a.y(), b.y());
    return QRect(left, top, right - left + 1, bottom - top + 1);
}

QString SelectScreenArea::helpText() const
{
    return m_captions.Text(m_bWaitFirst ? QStringLiteral("Device.ScreenHelpInfo1")
                                        : QStringLiteral("Device.ScreenHelpInfo2"));
}

void SelectScreenArea::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor dim(0, 0, 0, 110);
    if (!m_background.isNull()) {
        painter.drawPixmap(0, 0, m_background);
        painter.fillRect(rect(), dim);
    } else {
        painter.fillRect(rect(), palette().window());
    }
    if (!m_bWaitFirst) {
        const QRect band = SpannedRect(m_firstPoint, m_currentPoint).translated(-m_nScreenX, -m_nScreenY);
        if (!m_background.isNull())
            painter.drawPixmap(band.topLeft(), m_background, band); // the chosen area undimmed
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 3));
        painter.drawRect(band);
        painter.setPen(QPen(QColor(255, 127, 39), 1)); // the captions' highlight colour
        painter.drawRect(band);
    }
    // The instruction, at the top in the middle, on a box of its own.
    QFont font = painter.font();
    font.setPixelSize(18);
    font.setBold(true);
    painter.setFont(font);
    const QString text = helpText();
    const QRect box = painter.fontMetrics()
                          .boundingRect(QRect(0, 0, width() - 40, height()), Qt::AlignCenter | Qt::TextWordWrap, text)
                          .adjusted(-14, -8, 14, 8);
    const QRect placed(QPoint((width() - box.width()) / 2, 24), box.size());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRoundedRect(placed, 6, 6);
    painter.setPen(Qt::black);
    painter.drawText(placed, Qt::AlignCenter | Qt::TextWordWrap, text);
}

void SelectScreenArea::mousePressEvent(QMouseEvent *event)
{
    // Any button marks a corner.
    if (m_bWaitFirst) {
        m_firstPoint = event->globalPos();
        m_currentPoint = m_firstPoint;
        m_bWaitFirst = false;
        m_bDragging = true;
        const QString key = QStringLiteral("Device.ScreenHelpInfo2");
        m_pLrc->ShowTips(key, true, TipsLanguage::EnglishText(key));
        setCursor(CornerCursor(kSecondCornerCursor));
        update();
        return;
    }
    Finish(event->globalPos());
}

void SelectScreenArea::mouseMoveEvent(QMouseEvent *event)
{
    if (m_bWaitFirst)
        return;
    m_currentPoint = event->globalPos();
    update();
}

void SelectScreenArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_bWaitFirst || !m_bDragging)
        return;
    m_bDragging = false;
    // Let go where it was pressed: a click, the second corner comes with the next press.
    // Let go elsewhere: a drag, and where it ends is the second corner.
    if ((event->globalPos() - m_firstPoint).manhattanLength() >= QApplication::startDragDistance())
        Finish(event->globalPos());
}

void SelectScreenArea::Finish(const QPoint &secondCorner)
{
    m_rect = SpannedRect(m_firstPoint, secondCorner);
    m_bWaitFirst = true;
    m_bDragging = false;
    emit SetScreenRect(m_rect);
    m_block.FinishAreaSelection(m_rect);
    m_pLrc->hide();
    close();
}

void SelectScreenArea::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        m_pLrc->hide();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
