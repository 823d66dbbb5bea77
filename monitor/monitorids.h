#pragma once
// Which attached monitors are our pen displays. A monitor is known by the id the system
// gives it from its EDID, "MONITOR\" + the three-letter manufacturer id + the product
// code in four upper-case hex digits ("MONITOR\IKA1560"); our displays are recognised by
// a fragment of that id.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace MonitorIds {

// The fragments of our pen displays, in the order they are tried. Index 0 is the model
// whose DDC/CI support is checked before the settings are offered (the simulated pen
// display carries it); index 1 is the second model, which the search reports apart.
const QStringList &Fragments();
constexpr int kFragmentCount = 5;

// Three-letter manufacturer id of an EDID (bytes 8-9: three 5-bit letters, 1 = 'A',
// big-endian), empty when the EDID is shorter than its 128-byte base block or the
// letters are out of range.
QString ManufacturerId(const QByteArray &edid);
// Product code of an EDID (bytes 10-11, little-endian); -1 when too short.
int ProductCode(const QByteArray &edid);
// "MONITOR\" + manufacturer + product code, upper case; empty for an unusable EDID.
QString DeviceId(const QByteArray &edid);

// Index of the first fragment the id contains (case-insensitive), -1 for none.
int MatchFragment(const QString &deviceId);

// A valid 128-byte base EDID block (header, ids, checksum) for a monitor with this
// manufacturer id and product code; the simulated pen display uses Fragments()[0].
QByteArray MakeEdid(const QString &manufacturer, quint16 productCode, quint32 serial = 1);
QByteArray SimulatedPenDisplayEdid();

} // namespace MonitorIds
