#pragma once
// A small form that captures one key string and hands its titles and pairs to the
// editor that opened it. GUI thread only.

#include "action/actionservices.h"

#include <QDialog>

class KeyCaptureEdit;

class InputKeyForm : public QDialog
{
    Q_OBJECT

public:
    explicit InputKeyForm(LanguageLookup texts = {}, QWidget *parent = nullptr);
    ~InputKeyForm() override;

    // Starts from keys captured before.
    KeyCaptureEdit *Field() const { return m_pField; }

signals:
    // The key titles and the "VK:SC" pairs (on OK).
    void InputKeyBoard(QString titles, QString pairs);

public slots:
    void accept() override;

private:
    KeyCaptureEdit *m_pField = nullptr; // child
};
