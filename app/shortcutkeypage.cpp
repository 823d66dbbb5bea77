// The express-key page of the settings window.

#include "app/shortcutkeypage.h"

#include "app/actionlists.h"
#include "app/settingspagehost.h"
#include "config/profilerecords.h"
#include "device/ctablet.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>

ShortcutKeyPage::ShortcutKeyPage(SettingsPageHost &host, QObject *parent) : QObject(parent), m_host(host) { }

QWidget *ShortcutKeyPage::Build(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("page_ShortcutKey"));
    auto *layout = new QHBoxLayout(page);
    m_pTabletPicture = new QLabel(page);
    m_pTabletPicture->setObjectName(QStringLiteral("label_tabletPicture"));
    m_pTabletPicture->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_pTabletPicture, 1);
    auto *scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    m_pKeyRows = new QWidget(scroll);
    m_pKeyRows->setObjectName(QStringLiteral("widget_keyRows"));
    // Set before the rows are made: setWidget moves the widget, and moving a subtree
    // polishes all of it again with the style sheet.
    scroll->setWidget(m_pKeyRows);
    auto *grid = new QGridLayout(m_pKeyRows);
    for (int k = 0; k < kProfileKeys; ++k) {
        auto *button = new QPushButton(QString::number(k + 1), m_pKeyRows);
        button->setObjectName(QStringLiteral("pushButton_key%1").arg(k + 1));
        button->setIconSize(QSize(40, 28));
        auto *list = new QComboBox(m_pKeyRows);
        list->setObjectName(QStringLiteral("comboBox_key%1").arg(k + 1));
        grid->addWidget(button, k, 0);
        grid->addWidget(list, k, 1);
        m_KeyButtons << button;
        m_KeyLists << list;
        connect(button, &QPushButton::clicked, this, [this, k] { HotkeyPushButtonClicked(k); });
        connect(list, QOverload<int>::of(&QComboBox::activated), this, [this, list, k](int index) {
            if (!m_bUpdating)
                KeyListActivated(m_host, list, -1, k, index);
        });
    }
    grid->setRowStretch(kProfileKeys, 1);
    layout->addWidget(scroll, 1);
    return page;
}

void ShortcutKeyPage::Update(CTablet *tablet)
{
    const TabletXMLData &profile = *tablet->TabletXMLData;
    const AppConfigNode *app = m_host.currentApp();
    const QString model = QString::fromLatin1(tablet->m_DeviceAttributes.ModelKey);
    const int keys = qBound(0, int(profile.DeviceKeyNum), kProfileKeys);
    m_bUpdating = true;
    for (int k = 0; k < kProfileKeys; ++k) {
        const bool shown = k < keys;
        m_KeyButtons[k]->setVisible(shown);
        m_KeyLists[k]->setVisible(shown);
        if (!shown)
            continue;
        m_KeyButtons[k]->setIcon(QIcon(QStringLiteral(":/image/tablet/HY_%1_K%2.png").arg(model).arg(k + 1)));
        const KeyConfig &key = app->keys[k];
        FillActionList(m_host, m_KeyLists[k], key.id, key.Actid, StoredText(key.custom, sizeof key.custom),
                       ActionPlace::Key);
    }
    m_bUpdating = false;
}

void ShortcutKeyPage::ShowTabletPicture(const QPixmap &pixmap)
{
    if (!m_pTabletPicture) // not built yet
        return;
    if (pixmap.isNull()) // a model without a picture: nothing to scale
        m_pTabletPicture->clear();
    else
        m_pTabletPicture->setPixmap(pixmap.scaled(360, 240, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void ShortcutKeyPage::HotkeyPushButtonClicked(int key)
{
    // The key's action editor is its list: open it.
    if (key >= 0 && key < m_KeyLists.size())
        m_KeyLists[key]->showPopup();
    m_host.postUsage(QStringLiteral("HotkeyPushButtonClicked"));
}
