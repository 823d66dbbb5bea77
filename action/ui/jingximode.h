#pragma once
// Fine detail mode: a dimmed full-screen window with a 320 x 210 work area around the
// cursor. While it is open the pen maps its whole area onto that work area, for precise
// work in one spot. Every paint sends the work area in desktop pixels (GetModeRect);
// Escape asks to close the mode (CloseJingxiMode).
//
// On an X desktop without a compositing manager a translucent window is drawn opaque
// (the whole screen would go black), so there the window is shaped to the title strip
// and the work area's outline only, and lets every click through.
//
// GUI thread only.

#include "mapping/screentable.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

class JingXiMode : public QWidget
{
    Q_OBJECT

public:
    static constexpr int BoxWidth = 320;
    static constexpr int BoxHeight = 225;  // title strip and work area
    static constexpr int TitleHeight = 15;
    static constexpr int WorkHeight = 210;

    enum class Look {
        Auto,        // Outline without a compositing manager on X, else Dimmed
        Dimmed,      // full screen, dimmed around the box
        OutlineOnly, // shaped to the title strip and the outline, input passes through
    };

    // screen: the logical rectangle of the screen the cursor is on; cursor: the cursor
    // position at opening, global.
    JingXiMode(const QRect &screen, const QPoint &cursor, QWidget *parent = nullptr, Look look = Look::Auto);
    ~JingXiMode() override;

    // Box origin relative to the screen for a cursor at offset (from the screen's
    // top-left corner) on a screen of size 'screen'.
    static QPoint BoxOrigin(const QSize &screen, const QPoint &cursorOffset);
    // The work area in desktop pixels for the mapping: the logical work area scaled by
    // the physical width of the screen under the covered rectangle's bottom-right pixel
    // over the covered width. physical: the screen table in physical pixels.
    static QRect ModeRect(const QRect &covered, const QPoint &boxOrigin, const ScreenTableData &physical);

    // The text of the title strip, in the UI language (English until set).
    void SetCaption(const QString &caption)
    {
        m_strCaption = caption;
        update();
    }
    QRect CoveredRect() const { return m_ScreenRect; }
    bool OutlineOnly() const { return m_bOutlineOnly; }
    QPoint CursorPos() const { return QPoint(m_x, m_y); }
    // The rectangle sent last (empty before the first paint).
    QRect LastModeRect() const { return m_LastRect; }
    // Computes the work area, stores and sends it (what every paint does).
    QRect EmitModeRect();

signals:
    void GetModeRect(QRect rect);
    void CloseJingxiMode();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QRect m_ScreenRect;
    QString m_strCaption;
    int m_x;
    int m_y;
    QRect m_LastRect;
    bool m_bOutlineOnly = false;
};
