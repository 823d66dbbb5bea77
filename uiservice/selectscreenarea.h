#pragma once
// The screen-area selection window: half transparent over the whole screen that Inkora
// left in the shared block. The first press marks one corner, the second the opposite
// one; the area spanned by the two (both corners included) goes back to Inkora. Escape
// closes it without an answer.
//
// GUI thread only. Deletes itself when closed.

#include "uiservice/serviceblock.h"
#include "uiservice/tipslanguage.h"

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

signals:
    void SetScreenRect(const QRect &rect);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    ServiceBlock m_block;
    QPoint m_firstPoint;
    QRect m_rect;
    bool m_bWaitFirst = true;
    int m_nScreenX = 0;
    int m_nScreenY = 0;
    CaptionFile m_captions;
    std::unique_ptr<MyLrc> m_pLrc; // a window of its own
};
