// The ring page of the settings window, and the ring row of the key-group page.

#include "app/ringpage.h"

#include "app/actionlists.h"
#include "app/pagerules.h"
#include "app/settingspagehost.h"
#include "config/modeltables.h"
#include "config/profiletext.h"
#include "device/ctablet.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Ring item lists: entry 0 the ring's built-in function, 1 nothing, 2 custom function.
constexpr int kRingItemCustom = 2;

} // namespace

RingPage::RingPage(SettingsPageHost &host, QObject *parent) : QObject(parent), m_host(host) { }

QWidget *RingPage::Build(QWidget *parent)
{
    auto *page = new QWidget(parent);
    m_pPage = page;
    page->setObjectName(QStringLiteral("page_TR"));
    // The tablet beside its rings, as on the express-key page.
    auto *pageLayout = new QHBoxLayout(page);
    m_pRingPicture = new QLabel(page);
    m_pRingPicture->setObjectName(QStringLiteral("label_ringPicture"));
    m_pRingPicture->setAlignment(Qt::AlignCenter);
    pageLayout->addWidget(m_pRingPicture, 1);
    auto *layout = new QVBoxLayout;
    pageLayout->addLayout(layout, 1);
    m_pRingRadios[0] = new QButtonGroup(this);
    m_pRingRadios[1] = new QButtonGroup(this);
    const QStringList numerals{QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III"), QStringLiteral("IV")};
    for (int ring = 0; ring < 2; ++ring) {
        m_pRingGroups[ring] =
            new QGroupBox(m_host.languageText(QStringLiteral("TR.Ring"), QStringLiteral("Ring")), page);
        m_pRingGroups[ring]->setObjectName(QStringLiteral("groupBox_ring%1").arg(ring + 1));
        auto *grid = new QGridLayout(m_pRingGroups[ring]);
        for (int item = 0; item < kProfileRingItems; ++item) {
            auto *radio = new QRadioButton(numerals[item], m_pRingGroups[ring]);
            radio->setObjectName(QStringLiteral("radioButton_ring%1_%2").arg(ring + 1).arg(item + 1));
            m_pRingRadios[ring]->addButton(radio, RingRadioId(ring, item, false));
            m_pRingItems[ring][item] = new QComboBox(m_pRingGroups[ring]);
            m_pRingItems[ring][item]->setObjectName(
                QStringLiteral("comboBox_ring%1_item%2").arg(ring + 1).arg(item + 1));
            m_pRingItemLabels[ring][item] = new QLabel(m_pRingGroups[ring]);
            m_pRingItemLabels[ring][item]->setObjectName(
                QStringLiteral("label_ring%1_item%2").arg(ring + 1).arg(item + 1));
            grid->addWidget(radio, item, 0);
            grid->addWidget(m_pRingItems[ring][item], item, 1);
            grid->addWidget(m_pRingItemLabels[ring][item], item, 2);
            grid->setColumnStretch(1, 1);
            connect(m_pRingItems[ring][item], QOverload<int>::of(&QComboBox::activated), this,
                    [this, ring, item](int index) { WheelComboBoxActivated(ring, item, index); });
        }
        layout->addWidget(m_pRingGroups[ring]);
    }
    m_pTouchGroup = new QGroupBox(m_host.languageText(QStringLiteral("TR.Touch"), QStringLiteral("Touch Ring")), page);
    m_pTouchGroup->setObjectName(QStringLiteral("groupBox_touch"));
    auto *touchLayout = new QHBoxLayout(m_pTouchGroup);
    auto *touchGroup = new QButtonGroup(m_pTouchGroup);
    m_pTouchRadio =
        new QRadioButton(m_host.languageText(QStringLiteral("TR.TouchMode"), QStringLiteral("Touch")), m_pTouchGroup);
    m_pTouchRadio->setObjectName(QStringLiteral("radioButton_touch"));
    m_pWheelRadio =
        new QRadioButton(m_host.languageText(QStringLiteral("TR.WheelMode"), QStringLiteral("Wheel")), m_pTouchGroup);
    m_pWheelRadio->setObjectName(QStringLiteral("radioButton_wheel"));
    touchGroup->addButton(m_pTouchRadio);
    touchGroup->addButton(m_pWheelRadio);
    touchLayout->addWidget(m_pTouchRadio);
    touchLayout->addWidget(m_pWheelRadio);
    touchLayout->addStretch();
    layout->addWidget(m_pTouchGroup);
    layout->addStretch();
    connect(m_pTouchRadio, &QAbstractButton::clicked, this, [this] { TouchWheelClicked(true); });
    connect(m_pWheelRadio, &QAbstractButton::clicked, this, [this] { TouchWheelClicked(false); });
    for (QButtonGroup *radios : m_pRingRadios)
        connect(radios, &QButtonGroup::idClicked, this, &RingPage::RingRadioClicked);
    return page;
}

QWidget *RingPage::BuildGroupRing(QWidget *page)
{
    const QStringList numerals{QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III"), QStringLiteral("IV")};
    // Models with key groups have one ring; its radio buttons are numbered from 8.
    m_pGroupRingBox = new QGroupBox(m_host.languageText(QStringLiteral("TR.Ring"), QStringLiteral("Ring")), page);
    m_pGroupRingBox->setObjectName(QStringLiteral("groupBox_groupRing"));
    m_pGroupRingRadios = new QButtonGroup(this);
    connect(m_pGroupRingRadios, &QButtonGroup::idClicked, this, &RingPage::RingRadioClicked);
    auto *ringLayout = new QGridLayout(m_pGroupRingBox);
    for (int item = 0; item < kProfileRingItems; ++item) {
        auto *radio = new QRadioButton(numerals[item], m_pGroupRingBox);
        radio->setObjectName(QStringLiteral("radioButton_groupRing%1").arg(item + 1));
        m_pGroupRingRadios->addButton(radio, RingRadioId(0, item, true));
        m_pGroupRingItems[item] = new QComboBox(m_pGroupRingBox);
        m_pGroupRingItems[item]->setObjectName(QStringLiteral("comboBox_groupRing_item%1").arg(item + 1));
        ringLayout->addWidget(radio, 0, item * 2);
        ringLayout->addWidget(m_pGroupRingItems[item], 0, item * 2 + 1);
        connect(m_pGroupRingItems[item], QOverload<int>::of(&QComboBox::activated), this,
                [this, item](int index) { WheelComboBoxActivated(0, item, index); });
    }
    return m_pGroupRingBox;
}

void RingPage::ShowTabletPicture(const QPixmap &pixmap)
{
    if (!m_pRingPicture) // not built yet
        return;
    if (pixmap.isNull()) // a model without a picture: nothing to scale
        m_pRingPicture->clear();
    else
        m_pRingPicture->setPixmap(pixmap.scaled(360, 240, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QAbstractButton *RingPage::ringRadio(int id) const
{
    for (QButtonGroup *radios : {m_pRingRadios[0], m_pRingRadios[1], m_pGroupRingRadios}) {
        if (QAbstractButton *b = radios->button(id))
            return b;
    }
    return nullptr;
}

void RingPage::ShowTouchMode(bool touch)
{
    (touch ? m_pTouchRadio : m_pWheelRadio)->setChecked(true);
}

void RingPage::Update(CTablet *tablet)
{
    const TabletXMLData &profile = *tablet->TabletXMLData;
    const AppConfigNode *app = m_host.currentApp();
    const bool groupKeys = profile.SupportGroupKeys != 0;
    const int rings = qBound(0, int(profile.DeviceRingNum), 2);
    m_bUpdating = true;
    const QStringList itemTexts{m_host.languageText(QStringLiteral("TR.Item.1"), QStringLiteral("Zoom")),
                                m_host.languageText(QStringLiteral("TR.Item.2"), QStringLiteral("Scroll")),
                                m_host.languageText(QStringLiteral("TR.Item.3"), QStringLiteral("Brush Size")),
                                m_host.languageText(QStringLiteral("TR.Item.4"), QStringLiteral("Rotate"))};
    const auto fillItem = [&](QComboBox *list, QLabel *label, int function, const RingItemConfig &item) {
        list->clear();
        list->addItem(itemTexts.value(function));
        list->addItem(m_host.languageText(QStringLiteral("Actions.0"), QStringLiteral("No Action")));
        list->addItem(m_host.languageText(QStringLiteral("ShortcutKey.Item.custom"), QStringLiteral("Custom")));
        list->setCurrentIndex(qBound(0, int(item.id), kRingItemCustom));
        if (label) {
            const QStringList fields = StoredText(item.custom, sizeof item.custom).split(QLatin1Char('|'));
            label->setText(item.id == kRingItemCustom && fields.value(0) == QLatin1String("4") ? fields.value(1)
                                                                                               : QString());
        }
    };
    const RingConfig *ringConfigs[2] = {&app->ring, &app->ring2};
    for (int ring = 0; ring < 2; ++ring) {
        const bool shown = !groupKeys && ring < rings;
        m_pRingGroups[ring]->setVisible(shown);
        if (rings == 2)
            m_pRingGroups[ring]->setTitle(m_host.languageText(QStringLiteral("TR.Ring"), QStringLiteral("Ring"))
                                          + QLatin1Char(' ') + QString::number(ring + 1));
        else if (tablet->m_DeviceAttributes.DeviceKind == kKindKeypad)
            m_pRingGroups[ring]->setTitle(m_host.languageText(QStringLiteral("TR.Dial"), QStringLiteral("Dial")));
        else
            m_pRingGroups[ring]->setTitle(m_host.languageText(QStringLiteral("TR.Ring"), QStringLiteral("Ring")));
        if (!shown)
            continue;
        for (int item = 0; item < kProfileRingItems; ++item)
            fillItem(m_pRingItems[ring][item], m_pRingItemLabels[ring][item], item, ringConfigs[ring]->items[item]);
    }
    m_pGroupRingBox->setVisible(groupKeys && rings > 0);
    if (groupKeys && rings > 0) {
        for (int item = 0; item < kProfileRingItems; ++item)
            fillItem(m_pGroupRingItems[item], nullptr, item, app->ring.items[item]);
    }
    const int selected = qBound(0, int(app->ring.id), 3);
    // Each ring opens with its own stored function.
    if (QAbstractButton *b = ringRadio(RingRadioId(0, selected, groupKeys)))
        b->setChecked(true);
    if (!groupKeys && rings == 2) {
        if (QAbstractButton *b = ringRadio(RingRadioId(1, qBound(0, int(app->ring2.id), 3), false)))
            b->setChecked(true);
    }
    m_pTouchGroup->setVisible(profile.DeviceTrackPad != 0);
    if (app->TRMode != 0)
        m_pTouchRadio->setChecked(true);
    else
        m_pWheelRadio->setChecked(true);
    m_bUpdating = false;
}

void RingPage::RingRadioClicked(int id)
{
    CTablet *tablet = m_host.currentTablet();
    AppConfigNode *app = m_host.currentApp();
    if (!tablet || !app || m_bUpdating)
        return;
    int ring = 0;
    int function = 0;
    if (!RingRadioTarget(id, tablet->TabletXMLData->SupportGroupKeys != 0, &ring, &function))
        return;
    tablet->EditProfile([&](TabletXMLData &) { (ring == 0 ? app->ring : app->ring2).id = int16_t(function); });
    m_host.postUsage(QStringLiteral("RingRadioClicked"));
}

void RingPage::WheelComboBoxActivated(int ring, int item, int index)
{
    CTablet *tablet = m_host.currentTablet();
    AppConfigNode *app = m_host.currentApp();
    if (!tablet || !app || m_bUpdating)
        return;
    RingItemConfig &entry = (ring == 0 ? app->ring : app->ring2).items[item];
    const bool groupKeys = tablet->TabletXMLData->SupportGroupKeys != 0;
    QComboBox *list = groupKeys ? m_pGroupRingItems[item] : m_pRingItems[ring][item];
    if (index == kRingItemCustom) {
        QString text = StoredText(entry.custom, sizeof entry.custom);
        const TabletXMLData &profile = *tablet->TabletXMLData;
        const QPointer<CTablet> editing(tablet);
        const SettingsPageHost::CustomEditor &editor = m_host.ringEditor();
        const bool accepted = editor && editor(m_pPage->window(), &text, profile.DeviceRingNum, profile.DeviceTrackPad);
        if (!m_host.editTargetStillHere(editing, app, "ring editor", accepted))
            return;
        if (!accepted) {
            list->setCurrentIndex(qBound(0, int(entry.id), kRingItemCustom));
            return;
        }
        // The ring editor's text has six fields; form 4 names itself in the second.
        const QStringList fields = text.split(QLatin1Char('|'));
        tablet->EditProfile([&](TabletXMLData &) {
            entry.id = kRingItemCustom;
            SetProfileText(entry.custom, sizeof entry.custom, text);
        });
        if (!groupKeys)
            m_pRingItemLabels[ring][item]->setText(fields.value(0) == QLatin1String("4") ? fields.value(1) : QString());
    } else {
        tablet->EditProfile([&](TabletXMLData &) { entry.id = int16_t(index); });
        if (!groupKeys)
            m_pRingItemLabels[ring][item]->clear();
    }
    m_host.postUsage(QStringLiteral("WheelComboBoxActivated"));
}

void RingPage::TouchWheelClicked(bool touch)
{
    emit TouchModeChanged(touch);
}
