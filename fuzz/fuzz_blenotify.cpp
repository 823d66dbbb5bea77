// Notifications of a Bluetooth tablet are outside input: a run of them goes through the
// Bluetooth tablet object as the library's event thread hands them over. Each
// notification is one length byte and that many bytes (the last one takes what is
// left), so short, oversized and unknown ones all occur. The first input byte picks the
// model. After every notification the device texts stay terminated within their
// fields and a profile reception never holds more than the bytes it announced.
#include "config/modeltables.h"
#include "device/cbletablet.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

bool Terminated(const char *field, size_t size)
{
    return std::memchr(field, 0, size) != nullptr;
}

void CheckInvariants(const CBleTablet &t)
{
    const DeviceAttributes &a = t.m_DeviceAttributes;
    if (!Terminated(a.ProductName, sizeof a.ProductName) || !Terminated(a.SerialNumber, sizeof a.SerialNumber)
        || !Terminated(a.ICVersion, sizeof a.ICVersion) || !Terminated(a.ICData, sizeof a.ICData))
        std::abort();
    if (t.receiveTotal < 0 || t.receiveBuffer.size() > t.receiveTotal)
        std::abort();
    if (t.receivedValid && !Terminated(t.receivedApp->path, sizeof t.receivedApp->path))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_blenotify";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const bool silenced = [] {
        qInstallMessageHandler(Silence);
        return true;
    }();
    (void)silenced;
    if (size < 1)
        return 0;

    // No library behind it: commands a notification would trigger go nowhere.
    CBleTablet tablet(0, nullptr, QStringLiteral("/nonexistent/libInkBLE"));
    const BleModelEntry &model = kBleModels[data[0] % kBleModelCount];
    tablet.productId = model.productId;
    tablet.m_DeviceAttributes.MaxX = 21600;
    tablet.m_DeviceAttributes.MaxY = 13500;
    tablet.m_DeviceAttributes.MaxPressure = 8191;
    tablet.m_DeviceAttributes.Resolution = 5080;
    tablet.TabletXMLData->DevicePenNum = 1;
    tablet.decodeEnabled = 1;

    size_t at = 1;
    while (at < size) {
        const size_t want = data[at++];
        const size_t n = std::min(want, size - at);
        // The library's own buffer for the call: exactly the notification's bytes.
        std::vector<quint8> notification(data + at, data + at + n);
        at += n;
        tablet.ReceiveTabletPackets(notification.empty() ? nullptr : notification.data(), int(n));
        CheckInvariants(tablet);
    }
    return 0;
}
