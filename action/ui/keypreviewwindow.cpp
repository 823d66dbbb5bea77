#include "action/ui/keypreviewwindow.h"

#include "action/keypreviewlayout.h"
#include "config/profilerecords.h"

#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace {
constexpr int kCursorGap = 24; // between the cursor and the preview's edge
} // namespace

KeyPreviewWindow::KeyPreviewWindow(LanguageLookup texts, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_Texts(std::move(texts))
{
    setObjectName(QStringLiteral("KeyPreviewWindow"));
    setFixedSize(PreviewWidth, PreviewHeight);
    // A plain dark ground around the pad's rounded corners (no compositor needed).
    QPalette ground = palette();
    ground.setColor(QPalette::Window, QColor(28, 31, 36));
    setPalette(ground);
    setAutoFillBackground(true);
    m_pPicture = new QLabel(this);
    m_pPicture->setGeometry(0, 0, PreviewWidth, PreviewHeight);
    m_pTitle = new QLabel(this);
    m_pTitle->setObjectName(QStringLiteral("label_title"));
    m_pTitle->setGeometry(24, 8, PreviewWidth - 80, KeyPreviewLayout::kTitleBand - 8);
    m_pTitle->setText(m_Texts ? m_Texts(QStringLiteral("Actions.111"), QStringLiteral("Show Key Layout"))
                              : QStringLiteral("Show Key Layout"));
    m_pTitle->setStyleSheet(QStringLiteral("color: rgb(63, 156, 252); font-weight: bold; background: transparent;"));
    auto *close = new QPushButton(QStringLiteral("×"), this);
    close->setObjectName(QStringLiteral("pushButton_close"));
    close->setGeometry(PreviewWidth - 40, 6, 28, 28);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
}

KeyPreviewWindow::~KeyPreviewWindow() = default;

QPoint KeyPreviewWindow::Placement(const QPoint &cursor, const QRect &screen)
{
    const int bottom = screen.y() + screen.height() - CaptionBand;
    int x = cursor.x() - PreviewWidth / 2;
    int y = cursor.y() + kCursorGap;
    if (y + PreviewHeight > bottom)
        y = cursor.y() - kCursorGap - PreviewHeight;
    // Inside the screen; a screen too small for it shows its top-left part.
    x = std::max(screen.x(), std::min(x, screen.x() + screen.width() - PreviewWidth));
    y = std::max(screen.y(), std::min(y, bottom - PreviewHeight));
    return QPoint(x, y);
}

void KeyPreviewWindow::SetKeyLayout(int keyCount)
{
    m_nKeyCount = std::max(0, std::min(keyCount, kProfileKeys));
    m_pPicture->setPixmap(QPixmap(QStringLiteral(":/image/tablet/Pre_Keypad_H_%1.png").arg(m_nKeyCount)));
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
    for (int i = 0; i < m_nKeyCount; ++i) {
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
    // Each key's text on its key of the picture, below the key's number.
    const QVector<QRectF> keys = KeyPreviewLayout::Keys(m_nKeyCount);
    for (int i = 0; i < m_KeyTexts.size() && i < keys.size(); ++i) {
        auto *label = new QLabel(m_KeyTexts.at(i), this);
        label->setGeometry(keys[i].adjusted(6, 18, -6, -4).toRect());
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setStyleSheet(QStringLiteral("color: rgb(220, 226, 235); background: transparent;"));
        label->show();
        m_KeyLabels << label;
    }
}
