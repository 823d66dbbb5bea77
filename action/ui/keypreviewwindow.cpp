#include "action/ui/keypreviewwindow.h"

#include "config/profilerecords.h"

#include <QPixmap>
#include <QPushButton>

KeyPreviewWindow::KeyPreviewWindow(LanguageLookup texts, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_Texts(std::move(texts))
{
    setObjectName(QStringLiteral("KeyPreviewWindow"));
    setFixedSize(PreviewWidth, PreviewHeight);
    m_pPicture = new QLabel(this);
    m_pPicture->setGeometry(0, 0, PreviewWidth, PreviewHeight);
    m_pPicture->setScaledContents(true);
    auto *close = new QPushButton(QStringLiteral("×"), this);
    close->setObjectName(QStringLiteral("pushButton_close"));
    close->setGeometry(PreviewWidth - 32, 4, 28, 28);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
}

KeyPreviewWindow::~KeyPreviewWindow() = default;

QPoint KeyPreviewWindow::Placement(const QPoint &cursor, const QRect &screen)
{
    int x = cursor.x();
    int y = cursor.y();
    const int right = screen.x() + screen.width();
    const int bottom = screen.y() + screen.height();
    if (right < x + PreviewWidth)
        x = right - PreviewWidth;
    if (bottom < y + PreviewHeight)
        y = bottom - PreviewHeight;
    return QPoint(x, y);
}

void KeyPreviewWindow::SetKeyLayout(int keyCount, int picture)
{
    m_nKeyCount = std::max(0, std::min(keyCount, kProfileKeys));
    m_pPicture->setPixmap(QPixmap(QStringLiteral(":/image/tablet/Pre_Keypad_H_%1.png").arg(picture)));
    Relayout();
}

void KeyPreviewWindow::SetProfile(const AppConfigNode &profile, bool keyGroups)
{
    const KeyConfig *keys = profile.keys;
    if (keyGroups) {
        const int group = std::max(0, std::min(int(profile.SelectID), kProfileKeyGroups - 1));
        keys = profile.groups[group].keys;
    }
    m_KeyTexts.clear();
    const int count = m_nKeyCount > 0 ? m_nKeyCount : kProfileKeys;
    for (int i = 0; i < count; ++i) {
        const KeyConfig &key = keys[i];
        if (key.id == 1) {
            // A custom function shows its name, the second field of its text.
            m_KeyTexts << QString::fromUtf8(key.custom).section(QLatin1Char('|'), 1, 1);
        } else {
            const QString langKey = QStringLiteral("Actions.%1").arg(key.Actid);
            m_KeyTexts << (m_Texts ? m_Texts(langKey, QString::number(key.Actid)) : QString::number(key.Actid));
        }
    }
    Relayout();
}

void KeyPreviewWindow::Relayout()
{
    qDeleteAll(m_KeyLabels);
    m_KeyLabels.clear();
    // The keys in two columns along the pad's sides.
    const int rows = std::max(1, (int(m_KeyTexts.size()) + 1) / 2);
    const int rowHeight = (PreviewHeight - 40) / rows;
    for (int i = 0; i < m_KeyTexts.size(); ++i) {
        auto *label = new QLabel(m_KeyTexts.at(i), this);
        const int column = i / rows;
        label->setGeometry(column == 0 ? 10 : PreviewWidth - 210, 36 + (i % rows) * rowHeight, 200, rowHeight);
        label->setAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        label->show();
        m_KeyLabels << label;
    }
}
