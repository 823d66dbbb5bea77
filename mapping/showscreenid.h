#pragma once
// The screen numbers: a small black window with the number of each screen in the screen
// list, near the bottom left corner of that screen, for two seconds.

#include "mapping/screentable.h"

#include <QWidget>

#include <vector>

class QLabel;

class ShowScreenID : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShowMs = 2000;

    // A window showing 'number'; it closes itself (and is freed) kShowMs after show().
    explicit ShowScreenID(int number, QWidget *parent = nullptr);

    QString Text() const;

    // One window for every toolkit screen whose available geometry starts where an entry
    // 1..count of the table starts; screens without such an entry get none. The windows
    // are shown and free themselves when they close.
    static std::vector<ShowScreenID *> ShowAll(const ScreenTableData &table);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_pLabel;
};
