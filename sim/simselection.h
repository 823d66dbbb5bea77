#pragma once
// The tablets "--simulate[=LIST]" names, one grammar for Inkora and inkora-hidtool:
// LIST is comma-separated product ids ("0935", "0x0935") or model keys ("InkoraPadM"),
// case ignored, or "all" for every simulated model, USB and Bluetooth alike.

#include "sim/simmodel.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct SimSelection {
    QVector<const SimModel *> usb;
    QVector<const SimModel *> bluetooth;
    QStringList unknown; // items that name no simulated model, as given
};

// An empty list selects nothing; the caller decides what a bare "--simulate" means.
SimSelection ParseSimulateList(const QString &list);

// One simulated model by product id or model key, USB first; null when none.
const SimModel *FindSimulatedModel(const QString &name, bool *bluetooth = nullptr);

// "InkoraPadM (0935), ...": every simulated model, for error messages.
QString SimulatedModelsText();
