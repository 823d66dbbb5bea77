#pragma once
// The screen-area selection window: half transparent over the whole screen that Inkora
// left in the shared block (without a compositing manager, which would draw it opaque,
// it shows a dimmed picture of the screen instead). The first press marks one corner,
// the second the opposite one; a drag from one corner to the other does the same. The
// area spanned by the two (both corners included) goes back to Inkora. The window says
// what to do and that Escape closes it without an answer.
//
// GUI thread only. Deletes itself when closed.

#include "uiservice/serviceblock.h"
#include "uiservice/tipslanguage.h"

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <memory>

class MyLrc;

class SelectScreenArea : public QWidget {
    Q_OBJECT

public:
    SelectScreenArea(IpcBackend *ipc, WindowBackend *window, const CaptionFile &captions,
                     QWidget *parent = nullptr);
    ~SelectScreenArea() override;

    // Opens the block (again at every start), reads the screen from it and shows the
    // window over it, waiting for a first corner. Without a block nothing is shown:
    // false.
    bool Restart();
    bool IsBlockMapped() const { return m_block.IsMapped(); }
    bool WaitingForFirstCorner() const { return m_bWaitFirst; }
    MyLrc *caption() const { return m_pLrc.get(); }

    // The area two presses at a and b (global pixels) choose: both corners belong to it,
    // whichever way round the two were made.
    static QRect SpannedRect(const QPoint &a, const QPoint &b);
    // The instruction drawn in the window.
    QString helpText() const;

signals:
    void SetScreenRect(const QRect &rect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Finish(const QPoint &secondCorner);

    ServiceBlock m_block;
    QPoint m_firstPoint;
    QRect m_rect;
    bool m_bWaitFirst = true;
    bool m_bDragging = false;   // the button that marked the first corner is still down
    QPoint m_currentPoint;      // global; the rubber band's moving corner
    bool m_bCompositor = false; // the window's half transparency is drawn
    QPixmap m_background;       // the screen as it was at the start, without a compositor
    int m_nScreenX = 0;
    int m_nScreenY = 0;
    CaptionFile m_captions;
    std::unique_ptr<MyLrc> m_pLrc; // a window of its own
};
