#pragma once
// The mapping preview: the mapped screen on the left, the tablet on the right, each in
// a frame, with the mapped screen area and the active tablet area drawn as rubber
// rectangles and dashed lines joining their corners. The user drags a rubber rectangle
// (press inside it to move it, elsewhere in the frame to draw a new one); on release the
// preview reports the rectangle in its frame's pixels together with the frame's own
// rectangle (origin 0, 0), so the receiver scales it to desktop pixels or hundredths
// of an inch.

#include "mapping/screentable.h"

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

class mappingwidget : public QWidget {
    Q_OBJECT

public:
    explicit mappingwidget(QWidget *parent = nullptr);

    // Its own copy of the screen table and the screen the area belongs to.
    void SetScreenTable(const ScreenTableData &table, int screenId);
    // The tablet picture ":/image/tablet/<model>.png", turned by orientation quarter
    // turns. The tablet frame lies over the picture's active area (its PNG text
    // "ActiveArea": x y width height); a model without a picture, or a picture without
    // an active area, is drawn as a plain outline of the tablet.
    void SetTablet(const QString &model, int orientation, QSize fullTablet);
    // The areas the rubber rectangles show: desktop pixels and hundredths of an inch.
    void SetScreenArea(const QRect &area);
    void SetTabletArea(const QRect &area);

    QRect ScreenFrame() const { return m_ScreenFrame; }
    QRect TabletFrame() const { return m_TabletFrame; }
    // Rubber rectangles relative to their frames.
    QRect ScreenRubber() const { return m_ScreenRubber; }
    bool HasTabletPicture() const { return !m_TabletPicture.isNull(); }

    QSize sizeHint() const override { return QSize(480, 200); }

signals:
    void ScreenRubberRectChange(QRect band, QRect preview);
    void TabletRubberRectChange(QRect band, QRect preview);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    enum class Drag { None, MoveScreen, DrawScreen, MoveTablet, DrawTablet };

    void Layout();
    void UpdateRubbers();
    QRect ScreenRubberAbs() const { return m_ScreenRubber.translated(m_ScreenFrame.topLeft()); }
    QRect TabletRubberAbs() const { return m_TabletRubber.translated(m_TabletFrame.topLeft()); }

    ScreenTableData m_Table;
    int m_nScreenId = 0;
    QString m_strModel;
    int m_nOrientation = 0;
    QSize m_FullTablet;
    QPixmap m_TabletPicture; // turned; null when the model has none
    QRectF m_PictureArea;    // the active area in the turned picture's pixels
    QRect m_ScreenArea;      // desktop pixels
    QRect m_TabletArea;      // hundredths of an inch

    QRect m_ScreenFrame;     // widget pixels
    QRect m_TabletFrame;     // the active area
    QRect m_PictureRect;     // where the picture is drawn
    QRect m_ScreenRubber;    // frame pixels
    QRect m_TabletRubber;

    Drag m_Drag = Drag::None;
    QPoint m_PressPos;
    QRect m_PressRubber;
};
