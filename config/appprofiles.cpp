#include "config/appprofiles.h"

#include "config/profiletext.h"
#include "platform/process/processbackend.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cstring>

int ApplicationCount(const TabletXMLData &profile)
{
    int count = 0;
    for (const AppConfigNode *node = profile.Apps; node; node = node->next)
        ++count;
    return count;
}

void FreeApplicationList(TabletXMLData &profile)
{
    AppConfigNode *node = profile.Apps;
    profile.Apps = nullptr;
    while (node) {
        AppConfigNode *next = node->next;
        delete node;
        node = next;
    }
}

AppEditResult AddApplication(TabletXMLData &profile, AppConfigMap &apps, const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.isEmpty())
        return AppEditResult::BadPath;
    if (apps.count(native))
        return AppEditResult::Duplicate;
    if (ApplicationCount(profile) >= kMaxApplications || int(apps.size()) >= kMaxApplications)
        return AppEditResult::ListFull;

    auto node = std::make_unique<AppConfigNode>();
    std::memcpy(node.get(), &profile.CommonAPP, sizeof(AppConfigNode));
    node->next = nullptr;
    // A cut path would no longer name the executable, and its map key would differ
    // from what the file stores.
    if (!SetProfileText(node->path, native))
        return AppEditResult::BadPath;

    AppConfigNode **tail = &profile.Apps;
    while (*tail)
        tail = &(*tail)->next;
    *tail = node.release();
    apps[native] = *tail;
    return AppEditResult::Done;
}

AppEditResult DeleteApplication(TabletXMLData &profile, AppConfigMap &apps, const QString &path,
                                std::unique_ptr<AppConfigNode> *removed)
{
    if (path.isEmpty())
        return AppEditResult::CommonProfile;
    const auto found = apps.find(path);
    if (found == apps.end())
        return AppEditResult::NotFound;
    AppConfigNode *target = found->second;
    qInfo().noquote() << "delete path" << path;
    apps.erase(found);
    for (AppConfigNode **link = &profile.Apps; *link; link = &(*link)->next) {
        if (*link == target) {
            *link = target->next;
            target->next = nullptr;
            break;
        }
    }
    removed->reset(target);
    return AppEditResult::Done;
}

void CloneDeviceProfile(const TabletXMLData &src, TabletXMLData *dst, AppConfigMap *dstApps)
{
    std::memcpy(dst, &src, sizeof(TabletXMLData));
    dst->Apps = nullptr;
    dstApps->clear();
    AppConfigNode **tail = &dst->Apps;
    for (const AppConfigNode *node = src.Apps; node; node = node->next) {
        auto copy = std::make_unique<AppConfigNode>();
        std::memcpy(copy.get(), node, sizeof(AppConfigNode));
        copy->next = nullptr;
        *tail = copy.release();
        (*dstApps)[ProfileText((*tail)->path)] = *tail;
        tail = &(*tail)->next;
    }
}

KeyConfig *CurrentKeySet(const TabletXMLData &profile, AppConfigNode &app)
{
    if (profile.SupportGroupKeys == 0)
        return app.keys;
    const int group = std::clamp<int>(app.SelectID, 0, kProfileKeyGroups - 1);
    return app.groups[group].keys;
}

void ResetPenSetting(PenConfig &pen)
{
    for (int b = 0; b < kProfileStoredPenButtons; ++b) {
        pen.buttons[b].id = 0;
        SetProfileText(pen.buttons[b].custom, QString());
    }
    pen.Press.P0 = 0.0f;
    pen.Press.P1X = 0.5f;
    pen.Press.P1Y = 0.5f;
    pen.Press.P2 = 1.0f;
    pen.Speed = 5;
    pen.TablePC = 1;
    pen.RelativeCoords = 0;
}

void ResetHotkeySetting(const TabletXMLData &profile, AppConfigNode &app)
{
    KeyConfig *keys = CurrentKeySet(profile, app);
    const int count = std::clamp<int>(profile.DeviceKeyNum, 0, kProfileKeys);
    for (int k = 0; k < count; ++k)
        keys[k].id = 0;
}

int ResetRingSetting(const TabletXMLData &profile, AppConfigNode &app, const QStringList &itemTexts)
{
    for (RingConfig *ring : {&app.ring, &app.ring2}) {
        ring->id = 0;
        for (int i = 0; i < kProfileRingItems; ++i) {
            ring->items[i].id = 0;
            SetProfileText(ring->items[i].custom, i < itemTexts.size() ? itemTexts.at(i) : QString());
        }
    }
    app.TRMode = profile.DeviceTrackPad > 0 ? 1 : 0;
    return app.TRMode;
}

QStringList ListApplications(const ProcessBackend &processes)
{
    QStringList paths;
    QSet<QString> names;
    for (const ProcessInfo &p : processes.snapshot()) {
        if (p.imagePath.isEmpty())
            continue;
        // The executable test of this system: the image is a file we can read (a
        // deleted or replaced image shows as "path (deleted)" and fails it).
        const QFileInfo image(p.imagePath);
        if (!image.isFile() || !image.isReadable())
            continue;
        const QString name = p.name.isEmpty() ? image.fileName() : p.name;
        if (names.contains(name))
            continue;
        names.insert(name);
        paths.append(p.imagePath);
    }
    return paths;
}

DeviceProfile::DeviceProfile() : m_data(std::make_unique<TabletXMLData>()) {}

DeviceProfile::~DeviceProfile()
{
    clearApplications();
}

void DeviceProfile::clearApplications()
{
    m_apps.clear();
    FreeApplicationList(*m_data);
}
