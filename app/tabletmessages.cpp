#include "app/tabletmessages.h"

#include "action/actioncaption.h"
#include "action/caction.h"
#include "action/ui/jingximode.h"
#include "action/ui/keypreviewwindow.h"
#include "base/usagerecord.h"
#include "device/ctablet.h"
#include "device/tablettable.h"
#include "mapping/screentable.h"

#include <QCursor>
#include <QDebug>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

constexpr int kKindPenTablet = 1;
constexpr int kKindKeypad = 4;
constexpr int kLowBattery = 20;       // percent; at or below it the user is told once
constexpr int kBatteryMessageMs = 15000;

int16_t Fit16(int v)
{
    return int16_t(std::max(-32768, std::min(32767, v)));
}

int KindOf(const CTablet *tablet)
{
    return tablet ? tablet->m_DeviceAttributes.DeviceKind : 0;
}

// The first screen (slot 1..n) holding p, else the whole desktop.
QRect ScreenAt(const ScreenTableData &table, const QPoint &p)
{
    for (int i = 1; i <= table.count; ++i) {
        const ScreenRect &r = table.Slot(i);
        if (p.x() >= r.left && p.x() < r.right() && p.y() >= r.top && p.y() < r.bottom())
            return QRect(r.left, r.top, r.width, r.height);
    }
    const ScreenRect &d = table.Desktop();
    return QRect(d.left, d.top, d.width, d.height);
}


} // namespace

TabletMessages::TabletMessages(LanguageLookup texts, QObject *parent)
    : QObject(parent), m_Texts(std::move(texts))
{
    // The ring caption list travels through queued connections to the caption window.
    qRegisterMetaType<QStringList *>("QStringList*");
}

TabletMessages::~TabletMessages()
{
    delete m_pJingXiMode.data();
    delete m_pKeyPreview.data();
}

CTablet *TabletMessages::Tablet(int slot) const
{
    if (slot < 0 || slot >= TabletTable::kSlotCount)
        return nullptr;
    CTablet *tablet = TabletTable::At(slot);
    return tablet && tablet->TabletXMLData ? tablet : nullptr;
}

QString TabletMessages::Text(const QString &key, const QString &fallback) const
{
    return m_Texts ? m_Texts(key, fallback) : fallback;
}

QPoint TabletMessages::CursorPos() const
{
    return m_CursorSource ? m_CursorSource() : QCursor::pos();
}

AppConfigNode *TabletMessages::ProfileByPath(CTablet *tablet, const QString &path)
{
    if (!tablet || !tablet->TabletXMLData)
        return nullptr;
    // The application list changes only on the GUI thread, so reading it here needs
    // no lock.
    if (!path.isEmpty()) {
        const auto it = tablet->apps.find(path);
        if (it != tablet->apps.end() && it->second)
            return it->second;
    }
    return &tablet->TabletXMLData->CommonAPP;
}

void TabletMessages::ReceivActionMsg(int tabletId, int msgId, int msgData)
{
    CTablet *sender = Tablet(tabletId);
    switch (msgId) {
    case kMsgShowDriver:
        emit ShowSettingsWindow();
        break;
    case kMsgSwitchScreen:
        if (KindOf(sender) == kKindKeypad) {
            // The keypad has no pen: it moves every tablet.
            for (int slot = 0; slot < TabletTable::kSlotCount; ++slot) {
                CTablet *tablet = Tablet(slot);
                if (tablet && KindOf(tablet) != kKindKeypad)
                    SwitchScreen(tablet);
            }
        } else if (sender) {
            SwitchScreen(sender);
        }
        break;
    case kMsgPenEraser:
        if (KindOf(sender) == kKindKeypad)
            PenEraser(tabletId, msgData != 0);
        break;
    case kMsgFineMode:
        FineMode(tabletId);
        break;
    case kMsgTrackPad:
        if (sender)
            TouchOrWheel(sender);
        break;
    case kMsgKeyGroup:
        if (sender && sender == m_pCurrentTablet)
            emit KeyGroupSelected(msgData);
        break;
    case kMsgBattery:
        if (sender)
            Battery(sender, msgData);
        break;
    case kMsgNewPen:
        if (sender && sender == m_pCurrentTablet)
            emit PenListChanged();
        break;
    case kMsgReannounced:
        if (sender)
            RestoreTouchRing(sender);
        break;
    default:
        break;
    }
}

void TabletMessages::ReceivActionMsg(int tabletId, int msgId, QString text)
{
    // A usage record follows every key, pen button and ring action, which the engine has
    // logged already: one info line per press is enough.
    if (msgId == kMsgUsageRecord)
        qDebug() << "Function ReceivActionMsg:" << tabletId << "-" << msgId << "--" << text;
    else
        qInfo() << "Function ReceivActionMsg:" << tabletId << "-" << msgId << "--" << text;
    CTablet *sender = Tablet(tabletId);
    switch (msgId) {
    case kMsgUsageRecord:
        if (sender) {
            const QString product = QString::fromLatin1(
                sender->m_DeviceAttributes.ProductName,
                int(strnlen(sender->m_DeviceAttributes.ProductName, sizeof sender->m_DeviceAttributes.ProductName)));
            emit UsageRecord(UsageRecordWithTablet(product, text));
        }
        break;
    case kMsgKeyGroup:
        if (sender && sender == m_pCurrentTablet) {
            if (const AppConfigNode *profile = ProfileByPath(sender, text)) {
                // The reading thread writes SelectID (action 110) under the profile lock.
                const int group = sender->EditProfile([profile](::TabletXMLData &) { return int(profile->SelectID); });
                emit KeyGroupSelected(group);
            }
        }
        break;
    case kMsgKeyPreview:
        if (sender)
            ToggleKeyPreview(sender, text);
        break;
    case kMsgRing1Function:
    case kMsgRing2Function:
        if (sender)
            RingFunction(sender, msgId == kMsgRing1Function ? 0 : 1, text);
        break;
    default:
        break;
    }
}

void TabletMessages::SwitchScreen(CTablet *tablet)
{
    const ScreenTableData &table = ScreenTable::Current();
    const bool penTablet = KindOf(tablet) == kKindPenTablet;
    const int next = tablet->EditProfile([&](::TabletXMLData &profile) {
        int screen = profile.ScreenId + 1;
        // A pen tablet starts again with the whole desktop (0); a pen display, which
        // sits on one screen, only goes round the screens.
        if (screen > table.count)
            screen = penTablet ? 0 : 1;
        profile.ScreenId = int16_t(screen);
        return screen;
    });
    if (tablet == m_pCurrentTablet) {
        emit SelectScreen(next);
        return;
    }
    const ScreenRect &r = table.Slot(next);
    tablet->EditProfile([&](::TabletXMLData &profile) {
        profile.SX = Fit16(r.left);
        profile.SY = Fit16(r.top);
        profile.SW = Fit16(r.width);
        profile.SH = Fit16(r.height);
        tablet->screenIndex = int16_t(next);
        tablet->SX = profile.SX;
        tablet->SY = profile.SY;
        tablet->SW = profile.SW;
        tablet->SH = profile.SH;
    });
}

void TabletMessages::PenEraser(int sender, bool eraser)
{
    for (int slot = 0; slot < TabletTable::kSlotCount; ++slot) {
        CTablet *tablet = Tablet(slot);
        if (CAction *engine = slot != sender ? ActionOf(tablet) : nullptr)
            engine->SetPenEraserState(eraser);
    }
}

void TabletMessages::FineMode(int senderSlot)
{
    if (m_pJingXiMode) {
        CloseJingxiMode();
        return;
    }
    CTablet *target = Tablet(senderSlot);
    if (KindOf(target) == kKindKeypad) {
        // The keypad has no pen: the mode is for the first other tablet.
        target = nullptr;
        for (int slot = 0; slot < TabletTable::kSlotCount && !target; ++slot) {
            CTablet *tablet = Tablet(slot);
            if (slot != senderSlot && tablet && KindOf(tablet) != kKindKeypad)
                target = tablet;
        }
    }
    if (!target) {
        qInfo() << "Fine mode: no tablet to map";
        return;
    }
    const QPoint cursor = CursorPos();
    const QRect screen = ScreenAt(ScreenTable::Logical(), cursor);
    m_pJingXiMode = new JingXiMode(screen, cursor);
    m_pJingXiMode->SetCaption(Text(QStringLiteral("FineMode.Caption"), QStringLiteral("Fine Detail Mode")));
    connect(m_pJingXiMode.data(), &JingXiMode::GetModeRect, this, &TabletMessages::GetBERect);
    connect(m_pJingXiMode.data(), &JingXiMode::CloseJingxiMode, this, &TabletMessages::CloseJingxiMode);
    target->EditProfile([](::TabletXMLData &profile) { profile.FineMode = 1; });
    m_pJingXiMode->show();
    m_pJingXiMode->activateWindow();
    m_pJingXiMode->setFocus();
}

void TabletMessages::GetBERect(QRect rect)
{
    const auto store = [&rect](CTablet *tablet) {
        tablet->EditProfile([&rect](::TabletXMLData &p) {
            p.FineX = Fit16(rect.x());
            p.FineY = Fit16(rect.y());
            p.FineW = Fit16(rect.width());
            p.FineH = Fit16(rect.height());
        });
    };
    CTablet *current = m_pCurrentTablet && m_pCurrentTablet->TabletXMLData ? m_pCurrentTablet.data() : nullptr;
    if (current && current->TabletXMLData->FineMode) {
        store(current);
        return;
    }
    for (int slot = 0; slot < TabletTable::kSlotCount; ++slot) {
        CTablet *tablet = Tablet(slot);
        if (tablet && tablet->TabletXMLData->FineMode)
            store(tablet);
    }
}

void TabletMessages::CloseJingxiMode()
{
    if (m_pJingXiMode) {
        JingXiMode *window = m_pJingXiMode.data();
        m_pJingXiMode.clear();
        window->close();
        // The close request can come from the window's own key handler.
        window->deleteLater();
    }
    for (int slot = 0; slot < TabletTable::kSlotCount; ++slot) {
        if (CTablet *tablet = Tablet(slot))
            tablet->EditProfile([](::TabletXMLData &profile) { profile.FineMode = 0; });
    }
}

void TabletMessages::TouchOrWheel(CTablet *tablet)
{
    const bool toTouch = !m_bTouchMode;
    if (tablet == m_pCurrentTablet) {
        emit TouchRingMode(toTouch);
    } else if (toTouch) {
        tablet->SentCmd(CmdSetLight2, 1, tablet->TabletXMLData->Orientation);
    } else {
        tablet->SentCmd(CmdSetLight2, 3, 0);
    }
    m_bTouchMode = toTouch;
}

void TabletMessages::RestoreTouchRing(CTablet *tablet)
{
    const AppConfigNode &common = tablet->TabletXMLData->CommonAPP;
    if (common.TRPresent != 1)
        return;
    if (common.TRMode != 0)
        tablet->SentCmd(CmdSetLight2, 1, tablet->TabletXMLData->Orientation);
    else
        tablet->SentCmd(CmdSetLight2, 3, 0);
}

void TabletMessages::Battery(CTablet *tablet, int charging)
{
    const int level = tablet->batteryLevel.load();
    if (charging == 1) {
        tablet->lowBatteryShown = 0;
    } else {
        qInfo() << "m_BatteryValue" << level << tablet->lowBatteryShown;
        if (level > kLowBattery) {
            tablet->lowBatteryShown = 0;
        } else if (level >= 0 && !tablet->lowBatteryShown && m_bTrayAvailable) {
            // Once per low-battery episode: charging or a level above 20 % re-arms it.
            // An unknown level (-1) is not a low one.
            tablet->lowBatteryShown = 1;
            emit TrayMessage(QString(),
                             Text(QStringLiteral("Common.battery"), QStringLiteral("Low Battery")) + QLatin1Char(':')
                                 + QString::number(level) + QLatin1Char('%'),
                             kBatteryMessageMs);
        }
    }
    const bool reportsBattery = (tablet->m_DeviceAttributes.TabletType[7] & 0x08) != 0 || tablet->isBle;
    if (reportsBattery && level >= 0)
        emit TabletBatteryChanged(tablet, level, charging == 1);
    if (tablet == m_pCurrentTablet && reportsBattery && level >= 0)
        emit BatteryChanged(level, charging == 1);
}

void TabletMessages::ToggleKeyPreview(CTablet *tablet, const QString &path)
{
    const QPoint place = KeyPreviewWindow::Placement(CursorPos(), ScreenAt(ScreenTable::Logical(), CursorPos()));
    const AppConfigNode *profile = ProfileByPath(tablet, path);
    if (!profile)
        return;
    const ::TabletXMLData &device = *tablet->TabletXMLData;
    if (m_pKeyPreview && m_pKeyPreview->isVisible()) {
        m_pKeyPreview->hide();
        return;
    }
    if (!m_pKeyPreview)
        m_pKeyPreview = new KeyPreviewWindow(m_Texts);
    // A copy: the reading thread writes SelectID (action 110) under the profile lock.
    AppConfigNode shown;
    tablet->EditProfile([&](::TabletXMLData &) { std::memcpy(&shown, profile, sizeof shown); });
    m_pKeyPreview->SetKeyLayout(device.DeviceKeyNum);
    m_pKeyPreview->SetProfile(shown, device.SupportGroupKeys != 0);
    m_pKeyPreview->move(place);
    m_pKeyPreview->show();
}

void TabletMessages::RingFunction(CTablet *tablet, int ring, const QString &path)
{
    AppConfigNode *profile = ProfileByPath(tablet, path);
    if (!profile)
        return;
    RingConfig &config = ring == 0 ? profile->ring : profile->ring2;
    const int next = (std::max(0, int(config.id)) + 1) % kProfileRingItems;
    // The reading thread picks the ring's function from this field at every step.
    tablet->EditProfile([&](::TabletXMLData &) { config.id = int16_t(next); });

    QStringList &lines = m_RingLines[ring];
    lines.clear();
    for (int i = 0; i < kProfileRingItems; ++i) {
        const RingItemConfig &item = config.items[i];
        if (item.id == 2) {
            lines << QString::fromUtf8(item.custom).section(QLatin1Char('|'), 1, 1);
        } else {
            // The same numbering as the ring step captions of the action engine.
            const int number = ring == 0 ? i + 1 : 4 - i;
            lines << Text(QStringLiteral("TR.Item.%1").arg(number), QStringLiteral("Ring function %1").arg(number));
        }
    }
    emit ActionCaption::MyLrc()->EmitRingLrc(&lines, next);
    if (tablet == m_pCurrentTablet && path == m_strCurrentApp)
        emit RingFunctionChanged(ring, next);
}

void TabletMessages::ReceivMultiData(CTablet *tablet, MultiData data)
{
    if (!tablet || tablet != m_pCurrentTablet)
        return;
    if (m_pWindow && (!m_pWindow->isVisible() || m_pWindow->isMinimized()))
        return;
    const int maxPressure = tablet->m_DeviceAttributes.MaxPressure;
    int pressure = data.pressure;
    // 2047-level devices report in a quarter of the 0..8191 range the record uses.
    if (maxPressure == 2047)
        pressure >>= 2;
    if (!(data.flags & PacketPen))
        return;
    if (m_bPenPageShown && maxPressure > 0)
        emit PressureChanged(pressure, maxPressure);
    if (m_bDiagnosisOpen)
        emit DiagnosisData(QString::number(data.screenX, 'f', 2), QString::number(data.screenY, 'f', 2), pressure);
}
