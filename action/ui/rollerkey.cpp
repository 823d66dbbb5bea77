#include "action/ui/rollerkey.h"

#include "action/ui/keycaptureedit.h"

#include <QDebug>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QChar kSeparator = QLatin1Char('|');

QString Lookup(const LanguageLookup &texts, const char *key, const char *fallback)
{
    return texts ? texts(QString::fromLatin1(key), QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
}

} // namespace

RollerKey::RollerKey(LanguageLookup texts, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(Lookup(texts, "RollSetting.Title", "Ring Setting"));
    auto *layout = new QFormLayout(this);
    m_pName = new QLineEdit(this);
    m_pLeft = new KeyCaptureEdit(this);
    m_pRight = new KeyCaptureEdit(this);
    layout->addRow(Lookup(texts, "RollSetting.Name", "Name"), m_pName);
    layout->addRow(Lookup(texts, "RollerKey_label_KL", "Left"), m_pLeft);
    layout->addRow(Lookup(texts, "RollerKey_label_KR", "Right"), m_pRight);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *clear = buttons->addButton(Lookup(texts, "Common.clear", "Clear"), QDialogButtonBox::ResetRole);
    for (QAbstractButton *b : buttons->buttons())
        b->setFocusPolicy(Qt::NoFocus);
    connect(clear, &QPushButton::clicked, this, [this] {
        for (KeyCaptureEdit *field : {m_pLeft, m_pRight}) {
            field->Capture().Clear();
            field->Refresh();
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &RollerKey::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RollerKey::reject);
    layout->addRow(buttons);
}

RollerKey::~RollerKey() = default;

void RollerKey::SetCustomText(const QString &text)
{
    const QStringList fields = text.split(kSeparator);
    const bool ring = fields.size() == 6 && fields.at(0) == QLatin1String("4");
    m_pName->setText(ring ? fields.at(1) : QString());
    m_pLeft->Capture().SetTexts(ring ? fields.at(2) : QString(), ring ? fields.at(4) : QString());
    m_pRight->Capture().SetTexts(ring ? fields.at(3) : QString(), ring ? fields.at(5) : QString());
    m_pLeft->Refresh();
    m_pRight->Refresh();
}

QString RollerKey::CustomText() const
{
    // A "|" in the name would split the text into the wrong fields.
    QString name = m_pName->text();
    name.remove(kSeparator);
    return QStringList{QStringLiteral("4"), name, m_pLeft->Capture().Titles(), m_pRight->Capture().Titles(),
                       m_pLeft->Capture().Pairs(), m_pRight->Capture().Pairs()}
        .join(kSeparator);
}

void RollerKey::accept()
{
    m_strAccepted = CustomText();
    qInfo() << "RollerKey: ring function" << m_strAccepted;
    QDialog::accept();
}
