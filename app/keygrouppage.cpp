// The key-group page of the settings window.

#include "app/keygrouppage.h"

#include "app/actionlists.h"
#include "app/ringpage.h"
#include "app/settingspagehost.h"
#include "device/ctablet.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

KeyGroupPage::KeyGroupPage(SettingsPageHost &host, RingPage &ring, QObject *parent)
    : QObject(parent), m_host(host), m_ring(ring)
{ }

QWidget *KeyGroupPage::Build(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("page_KeyGroup"));
    auto *layout = new QVBoxLayout(page);
    m_pKeyGroupTabs = new QTabWidget(page);
    m_pKeyGroupTabs->setObjectName(QStringLiteral("tabWidget_keyGroups"));
    const QStringList numerals{QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III"), QStringLiteral("IV")};
    for (int g = 0; g < kProfileKeyGroups; ++g) {
        // The tab and the scrolled widget are in place before the rows are made (see
        // ShortcutKeyPage::Build).
        auto *scroll = new QScrollArea(m_pKeyGroupTabs);
        scroll->setWidgetResizable(true);
        m_pKeyGroupTabs->addTab(scroll,
                                m_host.languageText(QStringLiteral("KeyGroup.Group"), QStringLiteral("Group"))
                                    + QLatin1Char(' ') + numerals[g]);
        auto *rows = new QWidget(scroll);
        scroll->setWidget(rows);
        auto *grid = new QGridLayout(rows);
        for (int k = 0; k < kProfileKeys; ++k) {
            auto *list = new QComboBox(rows);
            list->setObjectName(QStringLiteral("comboBox_group%1_key%2").arg(g + 1).arg(k + 1));
            grid->addWidget(new QLabel(QString::number(k + 1), rows), k, 0);
            grid->addWidget(list, k, 1);
            m_GroupKeyLists[g] << list;
            connect(list, QOverload<int>::of(&QComboBox::activated), this, [this, list, g, k](int index) {
                if (!m_bUpdating)
                    KeyListActivated(m_host, list, g, k, index);
            });
        }
        grid->setRowStretch(kProfileKeys, 1);
    }
    layout->addWidget(m_pKeyGroupTabs, 1);
    layout->addWidget(m_ring.BuildGroupRing(page));
    return page;
}

void KeyGroupPage::Update(CTablet *tablet)
{
    const TabletXMLData &profile = *tablet->TabletXMLData;
    const AppConfigNode *app = m_host.currentApp();
    const int keys = qBound(0, int(profile.DeviceKeyNum), kProfileKeys);
    m_bUpdating = true;
    for (int g = 0; g < kProfileKeyGroups; ++g) {
        for (int k = 0; k < kProfileKeys; ++k) {
            const bool shown = profile.SupportGroupKeys != 0 && k < keys;
            QComboBox *list = m_GroupKeyLists[g][k];
            list->setVisible(shown);
            if (shown) {
                const KeyConfig &key = app->groups[g].keys[k];
                FillActionList(m_host, list, key.id, key.Actid, StoredText(key.custom, sizeof key.custom),
                               ActionPlace::Key);
            }
        }
    }
    if (profile.SupportGroupKeys != 0)
        m_pKeyGroupTabs->setCurrentIndex(qBound(0, int(app->SelectID), kProfileKeyGroups - 1));
    m_bUpdating = false;
}

void KeyGroupPage::ShowGroup(int group)
{
    m_pKeyGroupTabs->setCurrentIndex(group);
}
