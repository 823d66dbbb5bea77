#pragma once
// The calibration window of a pen display: white over the whole screen that Inkora left
// in the shared block, with one red cross at a time at five fixed places. Each press on
// the current cross is recorded; after the fifth the ratios between where the crosses
// were and where the pen touched go back to Inkora. Escape closes it without an answer;
// the window says both under the cross.
//
// GUI thread only. Deletes itself when closed.

#include "uiservice/serviceblock.h"
#include "uiservice/tipslanguage.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

#include <array>

struct CalibrationResult {
    float fKX = 0; // scale in x
    float fKY = 0; // scale in y
    float fXLC = 0; // centre correction in x
    float fYLC = 0; // centre correction in y
    bool valid = false; // all four finite
};

class ScreenCalibrate : public QWidget {
    Q_OBJECT

public:
    static constexpr int TargetCount = 5;
    // Distance of the corner crosses from the window's edges, and half the hit area.
    static constexpr int Margin = 50;

    ScreenCalibrate(IpcBackend *ipc, WindowBackend *window, const CaptionFile &captions = CaptionFile(),
                    QWidget *parent = nullptr);
    ~ScreenCalibrate() override;

    // Opens the block (again at every start), reads the screen from it, forgets the
    // points recorded so far and shows the first cross. Without a block nothing is
    // shown: false.
    bool Restart();
    bool IsBlockMapped() const { return m_block.IsMapped(); }
    int currentIndex() const { return m_nIndex; }
    // The instruction drawn in the window for the current cross.
    QString helpText() const;

    // Targets in window coordinates for a window of w x h: upper left, lower left, lower
    // right, upper right, centre.
    static std::array<QPoint, TargetCount> Targets(int w, int h);
    // Where a press counts for the target at t (window coordinates) of a window at
    // origin (global coordinates).
    static QRect HitRect(const QPoint &origin, const QPoint &t);
    // The ratios from the targets and the recorded points, in single precision.
    static CalibrationResult Compute(const std::array<QPoint, TargetCount> &targets,
                                     const std::array<QPoint, TargetCount> &points);

    const std::array<QPoint, TargetCount> &targets() const { return m_targets; }

signals:
    void sign_ScreenCalibrate();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Finish();

    ServiceBlock m_block;
    CaptionFile m_captions;
    std::array<QPoint, TargetCount> m_targets;
    std::array<QPoint, TargetCount> m_points;
    std::array<QRect, TargetCount> m_hitRects;
    int m_nIndex = 0; // current target; TargetCount once all are recorded
};
