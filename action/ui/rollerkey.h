#pragma once
// The custom function editor of a ring item: a name and the keys for each turning
// direction, stored as "4|name|left titles|right titles|left pairs|right pairs". The
// left keys run when the ring turns by -1, the right ones by +1. GUI thread only.

#include "action/actionservices.h"

#include <QDialog>

class KeyCaptureEdit;
class QLineEdit;

class RollerKey : public QDialog
{
    Q_OBJECT

public:
    explicit RollerKey(LanguageLookup texts = {}, QWidget *parent = nullptr);
    ~RollerKey() override;

    // Shows a stored ring text (other texts: empty fields).
    void SetCustomText(const QString &text);
    QString CustomText() const;
    QString AcceptedText() const { return m_strAccepted; }

    KeyCaptureEdit *LeftField() const { return m_pLeft; }
    KeyCaptureEdit *RightField() const { return m_pRight; }
    QLineEdit *NameField() const { return m_pName; }

public slots:
    void accept() override;

private:
    QString m_strAccepted;
    QLineEdit *m_pName = nullptr; // children
    KeyCaptureEdit *m_pLeft = nullptr;
    KeyCaptureEdit *m_pRight = nullptr;
};
