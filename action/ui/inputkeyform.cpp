#include "action/ui/inputkeyform.h"

#include "action/ui/keycaptureedit.h"

#include <QDebug>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString Lookup(const LanguageLookup &texts, const char *key, const char *fallback)
{
    return texts ? texts(QString::fromLatin1(key), QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
}

} // namespace

InputKeyForm::InputKeyForm(LanguageLookup texts, QWidget *parent) : QDialog(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_pField = new KeyCaptureEdit(this);
    layout->addWidget(m_pField);
    auto *row = new QHBoxLayout;
    auto *win = new QPushButton(Lookup(texts, "Common.winTips", "Add key combination with the Super key"), this);
    auto *clear = new QPushButton(Lookup(texts, "Common.clear", "Clear"), this);
    auto *remove = new QPushButton(Lookup(texts, "Common.delete", "Delete"), this);
    for (QPushButton *b : {win, clear, remove}) {
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
    }
    connect(win, &QPushButton::clicked, this, [this] {
        m_pField->Capture().AddWindowsKey();
        m_pField->Refresh();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        m_pField->Capture().Clear();
        m_pField->Refresh();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        m_pField->Capture().DeleteLast();
        m_pField->Refresh();
    });
    layout->addLayout(row);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    for (QAbstractButton *b : buttons->buttons())
        b->setFocusPolicy(Qt::NoFocus);
    connect(buttons, &QDialogButtonBox::accepted, this, &InputKeyForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &InputKeyForm::reject);
    layout->addWidget(buttons);
    m_pField->setFocus();
}

InputKeyForm::~InputKeyForm() = default;

void InputKeyForm::accept()
{
    const QString titles = m_pField->Capture().Titles();
    const QString pairs = m_pField->Capture().Pairs();
    qInfo() << "keyTitleStr:" << titles << ",keyScanCodeStr:" << pairs;
    emit InputKeyBoard(titles, pairs);
    QDialog::accept();
}
