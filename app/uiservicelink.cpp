#include "app/uiservicelink.h"

#include "driverlink/sharedblock.h"
#include "mapping/mappingmodel.h"

#include <QDebug>

UiServiceLink::UiServiceLink(SharedBlock *block, MappingModel *model, QObject *parent)
    : QObject(parent), m_pBlock(block), m_pModel(model)
{
    connect(m_pBlock, &SharedBlock::ScreenAreaSelected, this, &UiServiceLink::ScreenAreaSelected);
    connect(m_pBlock, &SharedBlock::ScreenCalibrated, this, &UiServiceLink::GetScreenCalibrate);
    connect(m_pBlock, &SharedBlock::UsageRecord, this, &UiServiceLink::UsageRecord);
    if (model) {
        connect(this, &UiServiceLink::ScreenAreaSelected, model, &MappingModel::OnScreenAreaSelectFinish);
        connect(this, &UiServiceLink::GetScreenCalibrate, model, &MappingModel::OnScreenCalibrationFinish);
    }
}

QRect UiServiceLink::ChosenScreen() const
{
    if (!m_pModel)
        return QRect();
    const ScreenRect r = m_pModel->SelectedScreenRect();
    return QRect(r.left, r.top, r.width, r.height);
}

bool UiServiceLink::SetscreenAreaClicked()
{
    emit UsageRecord(QStringLiteral("SetscreenAreaClicked"), QVariantMap());
    return StartAreaSelection(ChosenScreen());
}

bool UiServiceLink::ScreenCalibrateClicked()
{
    emit UsageRecord(QStringLiteral("ScreenCalibrateClicked"), QVariantMap());
    return StartCalibration(ChosenScreen());
}

bool UiServiceLink::StartAreaSelection(const QRect &screen)
{
    if (screen.width() <= 0 || screen.height() <= 0) {
        // The service would have no window to show.
        qWarning() << "Screen area selection: no screen chosen" << screen;
        return false;
    }
    return m_pBlock->StartAreaSelection(screen);
}

bool UiServiceLink::StartCalibration(const QRect &screen)
{
    if (screen.width() <= 0 || screen.height() <= 0) {
        qWarning() << "Screen calibration: no screen chosen" << screen;
        return false;
    }
    return m_pBlock->StartCalibration(screen);
}
