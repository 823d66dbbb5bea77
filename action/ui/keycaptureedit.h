#pragma once
// A read-only field that captures the keys pressed while it has the focus (Tab and
// Escape included) and shows their titles. GUI thread only.

#include "action/ui/keycapture.h"

#include <QLineEdit>

class KeyCaptureEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit KeyCaptureEdit(QWidget *parent = nullptr);

    KeyCapture &Capture() { return m_Capture; }
    // Shows the capture's titles again after it was changed from outside.
    void Refresh();

signals:
    void KeysChanged();

protected:
    bool event(QEvent *event) override;

private:
    KeyCapture m_Capture;
};
