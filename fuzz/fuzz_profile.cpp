// Profile files are outside input: users edit them by hand, copy them between
// machines and import them. Any byte string either loads or fails with its code, and
// a loaded profile written back into the same document loads again.
// The loader's own sources are compiled into this target (fuzz/CMakeLists.txt): the
// libraries are built without coverage, and libFuzzer would be blind to them.
#include "config/appprofiles.h"
#include "config/profilestore.h"

#include <QXmlStreamReader>

#include <cstdlib>
#include <cstring>

namespace {

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

// The tag of the root's first child, so whatever model the input holds is loaded.
QString FirstModelTag(const QByteArray &data)
{
    QXmlStreamReader reader(data);
    int elements = 0;
    while (!reader.atEnd() && elements < 2) {
        if (reader.readNext() == QXmlStreamReader::StartElement && ++elements == 2)
            return reader.qualifiedName().toString();
    }
    return QStringLiteral("M");
}

bool Terminated(const char *text, size_t size)
{
    return std::memchr(text, 0, size) != nullptr;
}

// What the rest of the program relies on in a loaded profile.
void CheckLoaded(const DeviceProfile &p)
{
    const TabletXMLData &d = p.data();
    if (d.DeviceKeyNum < 0 || d.DeviceKeyNum > kProfileKeys || d.DeviceRingNum < 0 || d.DeviceRingNum > 2
        || d.DevicePenNum < 0 || d.DevicePenNum > kProfilePens || d.DeviceCurPenID < 0
        || d.DeviceCurPenID >= kProfilePens)
        std::abort();
    if (ApplicationCount(d) != int(p.apps().size()) || int(p.apps().size()) > kMaxApplications)
        std::abort();
    const AppConfigNode *apps[1 + kMaxApplications] = {&d.CommonAPP};
    int n = 1;
    for (const auto &entry : p.apps())
        apps[n++] = entry.second;
    for (int i = 0; i < n; ++i) {
        const AppConfigNode &a = *apps[i];
        if (a.SelectID < 0 || a.SelectID >= kProfileKeyGroups || a.ring.id < 0 || a.ring.id >= kProfileRingItems
            || a.ring2.id < 0 || a.ring2.id >= kProfileRingItems || !Terminated(a.path, sizeof a.path))
            std::abort();
        for (const KeyConfig &k : a.keys) {
            if (!Terminated(k.custom, sizeof k.custom))
                std::abort();
        }
        for (const PenConfig &pen : a.pens) {
            for (const PenButtonConfig &b : pen.buttons) {
                if (!Terminated(b.custom, sizeof b.custom))
                    std::abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool silenced = [] {
        qInstallMessageHandler(Silence);
        return true;
    }();
    (void)silenced;

    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString key = FirstModelTag(bytes);
    DeviceProfile profile;
    int code = 0;
    if (!LoadConfigFromData(bytes, key, &profile.data(), &profile.apps(), &code)) {
        if (code == ProfileOk || profile.data().Apps || !profile.apps().empty())
            std::abort(); // a failure has its code and leaves no list behind
        return 0;
    }
    CheckLoaded(profile);

    QByteArray saved = bytes;
    int written = 0;
    if (!SaveConfigToData(&saved, {{key, &profile.data(), &profile.apps()}}, &code, &written) || written != 1)
        std::abort();
    DeviceProfile again;
    if (!LoadConfigFromData(saved, key, &again.data(), &again.apps(), &code))
        std::abort();
    CheckLoaded(again);
    // Line ends in paths may be normalised by the second parse, never multiplied.
    if (again.apps().size() > profile.apps().size())
        std::abort();
    return 0;
}
