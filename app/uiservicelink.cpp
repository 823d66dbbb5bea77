#include "app/uiservicelink.h"

#include "driverlink/sharedblock.h"

#include <QDebug>

UiServiceLink::UiServiceLink(SharedBlock *block, QObject *parent) : QObject(parent), m_pBlock(block)
{
    connect(m_pBlock, &SharedBlock::ScreenAreaSelected, this, &UiServiceLink::ScreenAreaSelected);
    connect(m_pBlock, &SharedBlock::ScreenCalibrated, this, &UiServiceLink::GetScreenCalibrate);
    connect(m_pBlock, &SharedBlock::UsageRecord, this, &UiServiceLink::UsageRecord);
}

bool UiServiceLink::SetscreenAreaClicked(const QRect &screen)
{
    emit UsageRecord(QStringLiteral("SetscreenAreaClicked"), QVariantMap());
    if (screen.width() <= 0 || screen.height() <= 0) {
        // The service would have no window to show.
        qWarning() << "SetscreenAreaClicked: no screen chosen" << screen;
        return false;
    }
    return m_pBlock->StartAreaSelection(screen);
}

bool UiServiceLink::ScreenCalibrateClicked(const QRect &screen)
{
    emit UsageRecord(QStringLiteral("ScreenCalibrateClicked"), QVariantMap());
    if (screen.width() <= 0 || screen.height() <= 0) {
        qWarning() << "ScreenCalibrateClicked: no screen chosen" << screen;
        return false;
    }
    return m_pBlock->StartCalibration(screen);
}
