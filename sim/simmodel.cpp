#include "sim/simmodel.h"

namespace SimModels {

// The product ids that the program treats specially are all here: 0x0074 (reversed
// ring), 0x0201 (per-byte keypad report), 0x0933/0x0934 (lights restored after a
// re-announce), 0x0935 on interface 2 (the updatable model), 0x094B (second engine
// run after proximity). Geometry figures are typical of the product lines.
static const QVector<SimModel> kModels = {
    // pid    if col kind key               product                 maxX   maxY  press  res   len pens keys rings touch light  b8    rcv    board  batt   firmware       date
    {0x0935, 2, 1, 1, "InkoraPadM",       "Inkora Pad M",          44800, 29600, 8191, 5080, 10, 1,   8,   0, false, false, true,  false, false, false, "KPX2000A-A",  "20220422"},
    {0x0074, 2, 0, 1, "InkoraPadRingS",   "Inkora Pad Ring S",     32000, 20000, 8191, 5080, 10, 1,   6,   1, true,  false, false, false, false, false, "RPS0074-B",   "20210311"},
    {0x0933, 2, 1, 1, "InkoraPadGlowL",   "Inkora Pad Glow L",     60960, 38100, 8191, 5080, 10, 2,  12,   1, true,  true,  true,  false, false, false, "GLW0933-C",   "20230105"},
    {0x0934, 1, 0, 1, "InkoraPadGlowW",   "Inkora Pad Glow W",     60960, 38100, 8191, 5080, 10, 2,  12,   2, false, true,  true,  true,  false, true,  "GLW0934-A",   "20230517"},
    {0x094B, 2, 1, 2, "InkoraStudio16",   "Inkora Studio 16",     344520,193800, 8191, 5080, 12, 1,   8,   1, true,  false, true,  false, false, false, "STD094B-D",   "20240219"},
    {0x0201, 1, 0, 4, "InkoraKeysK12",    "Inkora Keys K12",           0,     0,    0,    0,  8, 0,  10,   1, false, false, false, true,  true,  true,  "KPD0201-A",   "20220930"},
};

const QVector<SimModel> &all()
{
    return kModels;
}

const SimModel *find(uint16_t productId)
{
    for (const SimModel &m : kModels) {
        if (m.productId == productId)
            return &m;
    }
    return nullptr;
}

const SimModel &defaultModel()
{
    return kModels.front();
}

} // namespace SimModels
