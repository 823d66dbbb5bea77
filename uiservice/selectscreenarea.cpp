#include "uiservice/selectscreenarea.h"

#include "uiservice/mylrc.h"

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
    setWindowOpacity(0.5);
    m_pLrc->OpenCaptionFile(m_captions.path, m_captions.group);
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
    m_rect = QRect();
    setCursor(CornerCursor(kFirstCornerCursor));
    setFixedSize(screen.width(), screen.height());
    move(m_nScreenX, m_nScreenY);
    show();
    m_pLrc->ShowTips(QStringLiteral("Device.ScreenHelpInfo1"), false);
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

void SelectScreenArea::mousePressEvent(QMouseEvent *event)
{
    // Any button marks a corner.
    if (m_bWaitFirst) {
        m_firstPoint = event->globalPos();
        m_bWaitFirst = false;
        m_pLrc->ShowTips(QStringLiteral("Device.ScreenHelpInfo2"), true);
        setCursor(CornerCursor(kSecondCornerCursor));
        return;
    }
    m_rect = SpannedRect(m_firstPoint, event->globalPos());
    m_bWaitFirst = true;
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
