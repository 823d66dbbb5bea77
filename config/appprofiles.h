#pragma once
// Operations on the application profiles and the resets of the settings window, on the
// records alone: no widgets, no file. The settings window calls them for the current
// tablet; the tablet object wraps the ones that change its list (device/ctablet.h) so
// that a packet thread never reads a node while it is unlinked or freed.

#include "config/appconfigmap.h"
#include "config/profilerecords.h"

#include <QString>
#include <QStringList>

#include <memory>

class ProcessBackend;

// The application bar holds the common profile and at most seven applications.
constexpr int kMaxApplications = 7;

enum class AppEditResult {
    Done,
    Duplicate,     // the path already has a profile
    ListFull,      // seven applications already
    BadPath,       // empty, or longer than the record's 1023 bytes
    NotFound,      // no profile with that path
    CommonProfile, // the common profile cannot be deleted
};

// Number of nodes in the device profile's application list.
int ApplicationCount(const TabletXMLData &profile);

// Releases every node of the list and sets Apps to null. The map that indexed them is
// the caller's to clear.
void FreeApplicationList(TabletXMLData &profile);

// Adds an application profile: a copy of the common profile with path (native
// separators) as its executable, appended to the list and indexed in apps.
AppEditResult AddApplication(TabletXMLData &profile, AppConfigMap &apps, const QString &path);

// Unlinks the profile of path from the list and the map and hands the node to *removed,
// so the caller decides when it is safe to free it. An empty path names the common
// profile and is refused.
AppEditResult DeleteApplication(TabletXMLData &profile, AppConfigMap &apps, const QString &path,
                                std::unique_ptr<AppConfigNode> *removed);

// Copies src into *dst with one memory copy, then gives *dst an application list of its
// own (deep copies of src's nodes) indexed in *dstApps (cleared first). *dst must not
// own a list: its old Apps pointer is overwritten.
void CloneDeviceProfile(const TabletXMLData &src, TabletXMLData *dst, AppConfigMap *dstApps);

// The current profile's key set: the active group's keys on models with key groups,
// else the single key set.
KeyConfig *CurrentKeySet(const TabletXMLData &profile, AppConfigNode &app);

// Pen defaults: the three stored buttons back to their first entry (id 0, custom text
// emptied), curve 0 / 0.5,0.5 / 1, speed 5, ink on, pen mode.
void ResetPenSetting(PenConfig &pen);

// Every express key of the current key set, up to the model's key count, back to its
// predefined action (id 0; the action numbers stay).
void ResetHotkeySetting(const TabletXMLData &profile, AppConfigNode &app);

// Both rings back to function 0 and every item to its first entry (id 0) with
// itemTexts[i] (the text of that entry in item i's list) as its text; TR mode 1 on
// models with a touch pad, else 0. Returns the new TR mode: the caller tells the tablet
// to use the ring as a touch area (1) or a wheel (0).
int ResetRingSetting(const TabletXMLData &profile, AppConfigNode &app,
                     const QStringList &itemTexts = QStringList());

// The applications the chooser offers: image paths of running processes that are
// readable regular files, one per executable name, in snapshot order.
QStringList ListApplications(const ProcessBackend &processes);

// A device profile that owns its application list: for loads that may fail, copies
// taken for a save, and tools. Zero-filled at construction.
class DeviceProfile {
public:
    DeviceProfile();
    ~DeviceProfile();
    DeviceProfile(const DeviceProfile &) = delete;
    DeviceProfile &operator=(const DeviceProfile &) = delete;

    TabletXMLData &data() { return *m_data; }
    const TabletXMLData &data() const { return *m_data; }
    AppConfigMap &apps() { return m_apps; }
    const AppConfigMap &apps() const { return m_apps; }

    // Frees the application list and clears the map.
    void clearApplications();

private:
    std::unique_ptr<TabletXMLData> m_data;
    AppConfigMap m_apps;
};
