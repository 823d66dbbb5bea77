#pragma once
// The battery level of a wireless tablet on the settings window: a small battery
// outline filled to the level, red at or below 20 %, with a flash while charging.
// GUI thread only.

#include <QWidget>

class BatteryWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LowLevel = 20; // percent

    explicit BatteryWidget(QWidget *parent = nullptr);

    // level in percent (kept within 0..100).
    void SetBattery(int level, bool charging);
    int Level() const { return m_nLevel; }
    bool Low() const { return !m_bCharging && m_nLevel <= LowLevel; }

    QSize sizeHint() const override { return QSize(48, 22); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_nLevel = 0;
    bool m_bCharging = false;
};
