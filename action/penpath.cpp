#include "action/penpath.h"

#include "platform/input/inputinjector.h"
#include "platform/window/windowbackend.h"

#include <algorithm>
#include <chrono>

namespace {

uint32_t MonotonicTick()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int32_t Scale(int32_t value, int32_t maxIn, int32_t maxOut)
{
    if (maxIn <= 0)
        return 0;
    const int64_t clamped = std::clamp<int64_t>(value, 0, maxIn);
    return static_cast<int32_t>(clamped * maxOut / maxIn);
}

} // namespace

bool WindowBackendPoster::PostToWindow(uint64_t window, uint32_t message, int64_t wParam, int64_t lParam)
{
    if (!m_pBackend)
        return false;
    const WindowHandle handle = m_pBackend->findWindow(QStringLiteral("WintabContext"), QString::number(window));
    return handle.isValid() && m_pBackend->postMessage(handle, message, wParam, lParam);
}

void WintabOrientation(int, int, int32_t *azimuth, int32_t *altitude)
{
    *azimuth = 0;
    *altitude = 900;
}

PenPath::PenPath(InputInjector *input, bool legacyOs)
    : m_pInput(input)
    , m_bSwapped(input ? input->mouseButtonsSwapped() : false)
    , m_bLegacyOs(legacyOs)
    , m_Tick(&MonotonicTick)
{
}

void PenPath::SetPenEraserToggle(bool eraser)
{
    m_bPenEraserToggle = eraser;
    m_bReentry = true;
}

void PenPath::ResetSharedState()
{
}

void PenPath::MapPen(const TabletPacket &packet, const DeviceAttributes &attributes, const TabletXMLData &profile,
                     const AppConfigNode *, MultiData &out)
{
    if (packet.pressure != 0)
        out.pressure = Scale(packet.pressure, attributes.MaxPressure, 8191);
    out.x44800 = Scale(packet.x, attributes.MaxX, 44800);
    out.y29600 = Scale(packet.y, attributes.MaxY, 29600);
    out.x7FFF = Scale(packet.x, attributes.MaxX, 32767);
    out.y7FFF = Scale(packet.y, attributes.MaxY, 32767);
    if (!profile.DisableSlope) {
        out.tiltX = static_cast<uint8_t>(packet.tiltX);
        out.tiltY = static_cast<uint8_t>(packet.tiltY);
    }
}

void PenPath::PenOutput(const TabletPacket &, const DeviceAttributes &, const TabletXMLData &, const AppConfigNode *,
                        int64_t, const MultiData &)
{
}
