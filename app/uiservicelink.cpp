#include "app/uiservicelink.h"

#include "app/mappingmodel.h"
#include "driverlink/sharedblock.h"

#include <QDebug>

UiServiceLink::UiServiceLink(SharedBlock *block, MappingModel *model, QObject *parent)
    : QObject(parent), m_pBlock(block), m_pModel(model)
{
    connect(m_pBlock, &SharedBlock::ScreenAreaSelected, this, [this](const QRect &area) {
        if (ForRequestingTablet())
            emit ScreenAreaSelected(area);
    });
    connect(m_pBlock, &SharedBlock::ScreenCalibrated, this, [this](float fKX, float fKY, float fXLC, float fYLC) {
        if (ForRequestingTablet())
            emit GetScreenCalibrate(fKX, fKY, fXLC, fYLC);
    });
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
    return Request(m_pBlock->StartAreaSelection(screen));
}

bool UiServiceLink::StartCalibration(const QRect &screen)
{
    if (screen.width() <= 0 || screen.height() <= 0) {
        qWarning() << "Screen calibration: no screen chosen" << screen;
        return false;
    }
    return Request(m_pBlock->StartCalibration(screen));
}

bool UiServiceLink::Request(bool started)
{
    if (started) {
        m_pRequestTablet = m_pModel ? m_pModel->Tablet() : nullptr;
        m_bRequested = true;
    }
    return started;
}

bool UiServiceLink::ForRequestingTablet()
{
    // The service's window stays up while the user works in it; the tablet it was
    // opened for may leave meanwhile, and its result must not reach another tablet.
    if (!m_bRequested || !m_pModel || (m_pRequestTablet && m_pRequestTablet == m_pModel->Tablet()))
        return true;
    qWarning() << "UI service result dropped: the tablet it was asked for has left";
    emit ResultDropped();
    return false;
}
