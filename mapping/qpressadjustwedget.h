#pragma once
// The pressure curve editor: a 124 x 124 drawing area with the curve from (P0, 0) through
// the control point to (P2, 1), a slider for P0 along the bottom, one for P2 along the
// top (running from the right) and a small handle for the control point that the user
// drags. Screen y grows downward, so P1Y is measured from the top: the control point's
// output value is 1 - P1Y.

#include "config/profilerecords.h"

#include <QMetaType>
#include <QPoint>
#include <QRect>
#include <QWidget>

class QLabel;
class QSlider;

Q_DECLARE_METATYPE(SPresslvPoints)

class QPressAdjustWedget : public QWidget {
    Q_OBJECT

public:
    static constexpr int kAreaSize = 124;
    static constexpr int kHandleSize = 8;

    explicit QPressAdjustWedget(QWidget *parent = nullptr);

    void SetPoints(const SPresslvPoints &points);
    void ResetPoints();
    // A hardness level -3..3; any other value keeps the points and only repositions.
    void SetLevel(int level);
    SPresslvPoints Points() const { return m_Points; }

    // Where the handles are, in widget pixels (for the settings window and tests).
    QPoint EndPoint() const { return m_End; }
    QPoint ControlPoint() const { return m_Control; }
    QRect HandleGeometry() const;
    QSlider *P0Slider() const { return m_pSliderP0; }
    QSlider *P2Slider() const { return m_pSliderP2; }

    QSize sizeHint() const override { return QSize(kAreaSize, kAreaSize); }
    // The curve is drawn in a fixed area: a layout must not squeeze it under its neighbours.
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void PressSensitivityChange(SPresslvPoints points);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void PlaceHandles();
    void OnP0SliderMoved(int value);
    void OnP2SliderMoved(int value);

    const QRect m_Area{0, 0, kAreaSize, kAreaSize};
    SPresslvPoints m_Points;
    QPoint m_Start;
    QPoint m_End;
    QPoint m_Control;
    QSlider *m_pSliderP0;
    QSlider *m_pSliderP2;
    QLabel *m_pHandle;
    bool m_bDragging = false;
    QPoint m_PressPos;    // mouse position of the press on the handle
    QPoint m_HandleStart; // handle position at that press
};
