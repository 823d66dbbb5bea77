#include "platform/display/displaybackend.h"

#include <utility>

FixedDisplayBackend::FixedDisplayBackend(std::vector<DisplayScreen> physical,
                                         std::vector<DisplayScreen> logical, QObject *parent)
    : DisplayBackend(parent)
    , m_physical(std::move(physical))
    , m_logical(std::move(logical))
{
}

std::vector<DisplayScreen> FixedDisplayBackend::logicalScreens()
{
    return m_logical.empty() ? m_physical : m_logical;
}

void FixedDisplayBackend::setScreens(std::vector<DisplayScreen> physical, std::vector<DisplayScreen> logical)
{
    m_physical = std::move(physical);
    m_logical = std::move(logical);
    emit displayChanged();
}

std::vector<DisplayScreen> FixedDisplayBackend::FromRects(const std::vector<QRect> &rects)
{
    std::vector<DisplayScreen> screens;
    for (const QRect &r : rects) {
        DisplayScreen s;
        s.geometry = r;
        s.primary = r.topLeft() == QPoint(0, 0);
        screens.push_back(s);
    }
    return screens;
}
