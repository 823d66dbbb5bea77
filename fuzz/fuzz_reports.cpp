// Input reports from a device are outside input: every byte string of up to 64 bytes
// goes through the tablet object's report handling for the products with their own
// rules. The first input byte picks the product.
#include "device/ctablet.h"

#include <QCoreApplication>

#include <cstring>

namespace {
const int kProducts[] = {0x0935, 0x0201, 0x0074, 0x0933, 0x094B, 0x1234};

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_reports";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static CTablet *tablets[6] = {};
    if (!tablets[0]) {
        qInstallMessageHandler(Silence);
        for (int i = 0; i < 6; ++i) {
            tablets[i] = new CTablet(i % 5);
            tablets[i]->productId = kProducts[i];
            tablets[i]->m_DeviceAttributes.MaxX = 44800;
            tablets[i]->m_DeviceAttributes.MaxY = 29600;
            tablets[i]->m_DeviceAttributes.MaxPressure = 8191;
            tablets[i]->m_DeviceAttributes.Resolution = 5080;
            tablets[i]->TabletXMLData->DevicePenNum = 2;
            tablets[i]->decodeEnabled = 1;
            tablets[i]->emitToUi = 1;
        }
    }
    if (size < 1)
        return 0;
    CTablet *t = tablets[data[0] % 6];
    // The reading thread hands over at most 64 bytes in its own buffer.
    quint8 report[64];
    const int length = int(std::min<size_t>(size - 1, sizeof report));
    std::memcpy(report, data + 1, size_t(length));
    t->areaCapture = (data[0] & 0x80) ? 1 : 0;
    t->ReceiveTabletPackets(report, length);
    return 0;
}
