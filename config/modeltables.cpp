#include "config/modeltables.h"

// Rows: vendor, product, interface, collection, mode, kind, model key, quirks.
// 0x0935 on interface 2 is the model whose firmware the updater replaces; its loader,
// 0xFFF3, is not a tablet and is not listed.
const UsbModelEntry kUsbModels[kUsbModelCount] = {
    {0x28BD, 0x0060, 2, 0, 2, 1, "InkoraPadS"},
    {0x28BD, 0x0061, 2, 1, 2, 1, "InkoraPadSPlus"},
    {0x28BD, 0x0062, 2, 0, 2, 1, "InkoraPadMini"},
    {0x28BD, 0x0064, 2, 0, 2, 1, "InkoraPadDraw6"},
    {0x28BD, 0x0065, 2, 1, 2, 1, "InkoraPadDraw8"},
    {0x28BD, 0x0066, 2, 0, 2, 1, "InkoraPadDraw10"},
    {0x28BD, 0x0067, 2, 1, 2, 1, "InkoraPadDraw12"},
    {0x28BD, 0x0068, 2, 0, 2, 1, "InkoraPadDraw13"},
    {0x28BD, 0x0070, 2, 0, 2, 1, "InkoraPadRingM"},
    {0x28BD, 0x0071, 2, 1, 2, 1, "InkoraPadRingL"},
    {0x28BD, 0x0074, 2, 0, 2, 1, "InkoraPadRingS", QuirkReversedRing},
    {0x28BD, 0x0075, 2, 1, 2, 1, "InkoraPadRingDuo"},
    {0x28BD, 0x0078, 2, 0, 2, 1, "InkoraPadTouch"},
    {0x28BD, 0x0079, 2, 1, 2, 1, "InkoraPadTouchL"},
    {0x28BD, 0x0201, 1, 0, 2, 4, "InkoraKeysK12", QuirkKeypadReport},
    {0x28BD, 0x0202, 1, 0, 4, 4, "InkoraKeysK20"},
    {0x28BD, 0x0203, 2, 1, 4, 4, "InkoraKeysDial"},
    {0x28BD, 0x0204, 2, 1, 4, 4, "InkoraKeysMini"},
    {0x28BD, 0x0205, 2, 1, 4, 4, "InkoraKeysPro"},
    {0x28BD, 0x0206, 2, 2, 4, 4, "InkoraKeysDuo"},
    {0x28BD, 0x0900, 2, 0, 4, 1, "InkoraPadPro6"},
    {0x28BD, 0x0901, 2, 1, 4, 1, "InkoraPadPro8"},
    {0x28BD, 0x0902, 2, 0, 4, 1, "InkoraPadPro10"},
    {0x28BD, 0x0903, 2, 1, 4, 1, "InkoraPadPro12"},
    {0x28BD, 0x0905, 2, 1, 4, 1, "InkoraPadGroupM"},
    {0x28BD, 0x0906, 2, 0, 4, 1, "InkoraPadGroupL"},
    {0x28BD, 0x0907, 2, 1, 4, 1, "InkoraPadGroupXL"},
    {0x28BD, 0x0920, 1, 1, 2, 1, "InkoraPadWireM"},
    {0x28BD, 0x0920, 2, 1, 2, 1, "InkoraPadWireM"},
    {0x28BD, 0x0921, 1, 1, 2, 1, "InkoraPadWireL"},
    {0x28BD, 0x0921, 2, 1, 2, 1, "InkoraPadWireL"},
    {0x28BD, 0x0933, 2, 1, 4, 1, "InkoraPadGlowL", QuirkLightsReannounce},
    {0x28BD, 0x0934, 1, 0, 4, 1, "InkoraPadGlowW", QuirkLightsReannounce},
    {0x28BD, 0x0935, 2, 0, 4, 1, "InkoraPadM"},
    {0x28BD, 0x0937, 2, 1, 4, 1, "InkoraPadDuoPen"},
    {0x28BD, 0x0938, 2, 0, 4, 1, "InkoraPadTrioPen"},
    {0x28BD, 0x0939, 2, 1, 4, 1, "InkoraPadQuadPen"},
    {0x28BD, 0x0940, 2, 1, 4, 2, "InkoraStudio12"},
    {0x28BD, 0x0941, 2, 1, 4, 2, "InkoraStudio13"},
    {0x28BD, 0x0942, 2, 1, 4, 2, "InkoraStudio13Pro"},
    {0x28BD, 0x0943, 2, 1, 4, 2, "InkoraStudio15"},
    {0x28BD, 0x0944, 2, 1, 4, 2, "InkoraStudio156"},
    {0x28BD, 0x0945, 2, 1, 4, 2, "InkoraStudio16Lite"},
    {0x28BD, 0x0946, 2, 1, 4, 2, "InkoraStudio22"},
    {0x28BD, 0x0946, 2, 2, 4, 2, "InkoraStudio22"},
    {0x28BD, 0x0947, 2, 1, 4, 2, "InkoraStudio22Pro"},
    {0x28BD, 0x0947, 2, 2, 4, 2, "InkoraStudio22Pro"},
    {0x28BD, 0x0948, 2, 1, 4, 2, "InkoraStudio24"},
    {0x28BD, 0x0948, 2, 2, 4, 2, "InkoraStudio24"},
    {0x28BD, 0x0949, 2, 1, 4, 2, "InkoraStudio24Pro"},
    {0x28BD, 0x0949, 2, 2, 4, 2, "InkoraStudio24Pro"},
    {0x28BD, 0x094A, 2, 1, 4, 2, "InkoraStudio27"},
    {0x28BD, 0x094B, 2, 1, 4, 2, "InkoraStudio16", QuirkDoubleRun},
    {0x28BD, 0x094C, 2, 1, 4, 2, "InkoraStudio32"},
    {0x28BD, 0x094D, 2, 1, 4, 2, "InkoraStudioMini"},
    {0x28BD, 0x094E, 2, 1, 4, 2, "InkoraStudioTouch13"},
    {0x28BD, 0x094E, 2, 2, 4, 2, "InkoraStudioTouch13"},
    {0x28BD, 0x094F, 2, 1, 4, 2, "InkoraStudioTouch16"},
    {0x28BD, 0x094F, 2, 2, 4, 2, "InkoraStudioTouch16"},
    {0x28BD, 0x0950, 2, 1, 4, 2, "InkoraStudioDual"},
    {0x28BD, 0x0950, 2, 2, 4, 2, "InkoraStudioDual"},
    {0x28BD, 0x0951, 2, 1, 4, 2, "InkoraStudioFold"},
    {0x28BD, 0x0951, 2, 2, 4, 2, "InkoraStudioFold"},
    {0x28BD, 0x0952, 2, 1, 4, 2, "InkoraStudioNote"},
    {0x28BD, 0x0952, 2, 2, 4, 2, "InkoraStudioNote"},
    {0x28BD, 0x0953, 2, 1, 4, 2, "InkoraStudioSlim"},
    {0x28BD, 0x0953, 2, 2, 4, 2, "InkoraStudioSlim"},
};

const BleModelEntry kBleModels[kBleModelCount] = {
    {0x28BD, 0x0801, 1, 4, 1, "InkoraPadAirS", "Inkora Air S"},
    {0x28BD, 0x0802, 1, 4, 1, "InkoraPadAirM", "Inkora Air M"},
    {0x28BD, 0x0803, 1, 4, 1, "InkoraPadAirL", "Inkora Air L"},
    {0x28BD, 0x0804, 1, 4, 1, "InkoraPadAirRing", "Inkora Air Ring"},
    {0x28BD, 0x0810, 1, 4, 4, "InkoraKeysAir", "Inkora Keys Air"},
    {0x28BD, 0x0811, 1, 4, 4, "InkoraKeysAirDial", "Inkora Keys Air Dial"},
};

const UsbModelEntry *FindUsbModel(int productId)
{
    for (const UsbModelEntry &e : kUsbModels) {
        if (e.productId == productId)
            return &e;
    }
    return nullptr;
}

const BleModelEntry *FindBleModel(int productId)
{
    for (const BleModelEntry &e : kBleModels) {
        if (e.productId == productId)
            return &e;
    }
    return nullptr;
}

uint16_t ModelQuirksOf(int productId)
{
    const UsbModelEntry *entry = FindUsbModel(productId);
    return entry ? entry->quirks : 0;
}
