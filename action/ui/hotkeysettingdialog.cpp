#include "action/ui/hotkeysettingdialog.h"

#include "base/usagerecord.h"
#include "config/profilerecords.h"
#include "config/profiletext.h"
#include "device/ctablet.h"

#include <QComboBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

#include <mutex>

namespace {


KeyConfig &KeyOf(AppConfigNode &profile, int key)
{
    const int group = std::max(0, std::min(int(profile.SelectID), kProfileKeyGroups - 1));
    return profile.groups[group].keys[key];
}

} // namespace

HotkeySettingDialog::HotkeySettingDialog(CTablet *tablet, AppConfigNode *profile, const QString &appPath,
                                         LanguageLookup texts, QWidget *parent)
    : QDialog(parent), m_pTablet(tablet), m_pProfile(profile), m_strAppPath(appPath), m_Texts(std::move(texts))
{
    setWindowTitle(Text(QStringLiteral("ShortcutKey.Title"), QStringLiteral("Shortcut Keys")));
    auto *layout = new QGridLayout(this);
    const int keyCount = tablet && tablet->TabletXMLData
                             ? std::max(0, std::min(int(tablet->TabletXMLData->DeviceKeyNum), kProfileKeys))
                             : 0;
    m_Editor = [this](const QString &current, QString *result) {
        if (!m_pTablet)
            return false;
        const ::TabletXMLData &device = *m_pTablet->TabletXMLData;
        HotKeyWin editor(ActionCapsOf(device), m_Texts, this);
        editor.SetCustomText(current);
        if (editor.exec() != QDialog::Accepted)
            return false;
        *result = editor.AcceptedText();
        return true;
    };
    for (int i = 0; profile && i < keyCount; ++i) {
        // SelectID is the reading thread's too (the key group switch): read under the lock.
        const KeyConfig key = tablet->EditProfile([&](const ::TabletXMLData &) { return KeyOf(*profile, i); });
        auto *combo = new QComboBox(this);
        combo->addItem(Text(QStringLiteral("Actions.%1").arg(key.Actid), QString::number(key.Actid)));
        combo->addItem(Text(QStringLiteral("ShortcutKey.Item.custom"), QStringLiteral("Custom")));
        combo->setCurrentIndex(key.id == 1 ? 1 : 0);
        auto *label = new QLabel(key.id == 1 ? QString::fromUtf8(key.custom) : QString(), this);
        layout->addWidget(new QLabel(QString::number(i + 1), this), i, 0);
        layout->addWidget(combo, i, 1);
        layout->addWidget(label, i, 2);
        m_Combos << combo;
        m_Labels << label;
        connect(combo, qOverload<int>(&QComboBox::activated), this, [this, i](int entry) { OnActivated(i, entry); });
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    layout->addWidget(buttons, keyCount, 0, 1, 3);
}

HotkeySettingDialog::~HotkeySettingDialog() = default;

QString HotkeySettingDialog::Text(const QString &key, const QString &fallback) const
{
    return m_Texts ? m_Texts(key, fallback) : fallback;
}

bool HotkeySettingDialog::TabletStillHere()
{
    if (m_pTablet)
        return true;
    qWarning() << "Shortcut key dialog: the tablet has left, the change is dropped";
    reject();
    return false;
}

QString HotkeySettingDialog::CustomLabel(int key) const
{
    return key >= 0 && key < m_Labels.size() ? m_Labels.at(key)->text() : QString();
}

void HotkeySettingDialog::OnActivated(int key, int entry)
{
    if (!TabletStillHere())
        return;
    const KeyConfig shown = m_pTablet->EditProfile([&](const ::TabletXMLData &) { return KeyOf(*m_pProfile, key); });
    QString text;
    if (entry == 1) {
        const bool accepted = m_Editor && m_Editor(QString::fromUtf8(shown.custom), &text);
        // The editor ran its own event loop: the profile is the tablet's, gone with it.
        if (!TabletStillHere())
            return;
        if (!accepted) {
            // Cancelled: the key keeps what it had.
            m_Combos.at(key)->setCurrentIndex(shown.id == 1 ? 1 : 0);
            return;
        }
        m_Labels.at(key)->setText(text);
    } else {
        text = m_Combos.at(key)->itemText(0);
        m_Labels.at(key)->clear();
    }
    m_pTablet->EditProfile([&](::TabletXMLData &) {
        KeyConfig &config = KeyOf(*m_pProfile, key);
        SetProfileText(config.custom, text);
        config.id = int16_t(entry);
    });
    emit UsageRecord(UsageRecordText(QStringLiteral("ComboBoxKeyActivated"),
                                     UsagePairs{{QStringLiteral("custom"), text},
                                                {QStringLiteral("id"), QString::number(entry)},
                                                {QStringLiteral("curapp"), m_strAppPath},
                                                {QStringLiteral("tablet"), QString::number(m_pTablet->tabletIndex)}}));
}
