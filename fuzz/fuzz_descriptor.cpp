// Report descriptors come from the device (through sysfs): the collection count and the
// output report length must be found or refused for any bytes, never read past them.
#include "platform/hid/linux/reportdescriptor.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int collections = CountApplicationCollections(data, int(size));
    if (collections < 0 || collections > int(size))
        std::abort();
    for (const auto &report : OutputReportLengths(data, int(size))) {
        if (report.second < 0)
            std::abort();
    }
    return 0;
}
