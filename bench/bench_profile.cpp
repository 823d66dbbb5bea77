// Loading and saving the full default profile file (every model's profiles, as the
// installation ships it): what a tablet costs the GUI thread when it opens, and what
// the settings window's confirm costs. The file work goes to a copy in a temporary
// folder; the in-memory forms show how much of it is the XML itself.
#include "config/appprofiles.h"
#include "config/profilestore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

// The model a tablet of the default simulated model loads, and the five pen tablets
// of the multi-tablet run.
const char kModel[] = "InkoraPadM";
const char *const kFiveModels[] = {"InkoraPadM", "InkoraPadRingS", "InkoraPadGlowL", "InkoraPadGlowW",
                                   "InkoraStudio16"};

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

struct ProfileFile {
    QTemporaryDir dir;
    QString path;
    QByteArray bytes;
    bool ok = false;

    ProfileFile()
    {
        qInstallMessageHandler(Silence);
        QFile source(QStringLiteral(INKORA_DEFAULT_PROFILE));
        if (!dir.isValid() || !source.open(QIODevice::ReadOnly))
            return;
        bytes = source.readAll();
        path = dir.path() + QStringLiteral("/config.xml");
        QFile copy(path);
        ok = copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size();
    }
};

// A tablet opening: the file read and parsed, one model's records filled (the file as
// scanned for the tablet before: as every tablet after the first).
void BM_ProfileLoadFile(benchmark::State &state)
{
    ProfileFile file;
    if (!file.ok) {
        state.SkipWithError("no default profile file");
        return;
    }
    const ProfileStore store(file.path);
    for (auto _ : state) {
        DeviceProfile profile;
        if (!store.LoadConfig(QLatin1String(kModel), &profile.data(), &profile.apps())) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(profile.data().CommonAPP.keys[0].Actid);
    }
    state.counters["file_bytes"] = double(file.bytes.size());
}
BENCHMARK(BM_ProfileLoadFile)->Unit(benchmark::kMicrosecond);

// The same from bytes already in memory: parse and fill only.
void BM_ProfileLoadData(benchmark::State &state)
{
    ProfileFile file;
    for (auto _ : state) {
        DeviceProfile profile;
        if (!LoadConfigFromData(file.bytes, QLatin1String(kModel), &profile.data(), &profile.apps())) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(profile.data().CommonAPP.keys[0].Actid);
    }
}
BENCHMARK(BM_ProfileLoadData)->Unit(benchmark::kMicrosecond);

// The first tablet's load of a file: its bytes differ from the document scanned last
// (two documents in turn), so the whole file is scanned each time.
void BM_ProfileLoadDataFirst(benchmark::State &state)
{
    ProfileFile file;
    const QByteArray documents[2] = {file.bytes, file.bytes + "\n"};
    int turn = 0;
    for (auto _ : state) {
        DeviceProfile profile;
        if (!LoadConfigFromData(documents[turn ^= 1], QLatin1String(kModel), &profile.data(), &profile.apps())) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(profile.data().CommonAPP.keys[0].Actid);
    }
}
BENCHMARK(BM_ProfileLoadDataFirst)->Unit(benchmark::kMicrosecond);

// The settings window's confirm for one tablet: the file read, the model's element
// rewritten in its text, the text written beside the file and renamed over it.
void BM_ProfileSaveFile(benchmark::State &state)
{
    ProfileFile file;
    const ProfileStore store(file.path);
    DeviceProfile profile;
    if (!file.ok || !store.LoadConfig(QLatin1String(kModel), &profile.data(), &profile.apps())) {
        state.SkipWithError("no profile to save");
        return;
    }
    for (auto _ : state) {
        if (!store.SaveConfig(QLatin1String(kModel), profile.data(), profile.apps())) {
            state.SkipWithError("save failed");
            return;
        }
    }
}
BENCHMARK(BM_ProfileSaveFile)->Unit(benchmark::kMicrosecond);

// The confirm after an edit: each save changes the file (two settings in turn), so the
// attribute order of the text is read anew every time.
void BM_ProfileSaveFileEdited(benchmark::State &state)
{
    ProfileFile file;
    const ProfileStore store(file.path);
    DeviceProfile profile;
    if (!file.ok || !store.LoadConfig(QLatin1String(kModel), &profile.data(), &profile.apps())) {
        state.SkipWithError("no profile to save");
        return;
    }
    for (auto _ : state) {
        profile.data().DisablePressure ^= 1;
        if (!store.SaveConfig(QLatin1String(kModel), profile.data(), profile.apps())) {
            state.SkipWithError("save failed");
            return;
        }
    }
}
BENCHMARK(BM_ProfileSaveFileEdited)->Unit(benchmark::kMicrosecond);

// Five tablets saved together: five models' elements rewritten, one replacement.
void BM_ProfileSaveFiveFile(benchmark::State &state)
{
    ProfileFile file;
    const ProfileStore store(file.path);
    std::vector<std::unique_ptr<DeviceProfile>> profiles;
    std::vector<ProfileEntry> entries;
    for (const char *key : kFiveModels) {
        profiles.push_back(std::make_unique<DeviceProfile>());
        DeviceProfile &p = *profiles.back();
        if (!file.ok || !store.LoadConfig(QLatin1String(key), &p.data(), &p.apps())) {
            state.SkipWithError("no profile to save");
            return;
        }
        entries.push_back(ProfileEntry{QLatin1String(key), &p.data(), &p.apps()});
    }
    for (auto _ : state) {
        if (!store.SaveAll(entries)) {
            state.SkipWithError("save failed");
            return;
        }
    }
}
BENCHMARK(BM_ProfileSaveFiveFile)->Unit(benchmark::kMicrosecond);

// One model rewritten in a document in memory: the model's element parsed, rewritten,
// serialised and put in place of its lines.
void BM_ProfileSaveData(benchmark::State &state)
{
    ProfileFile file;
    DeviceProfile profile;
    if (!LoadConfigFromData(file.bytes, QLatin1String(kModel), &profile.data(), &profile.apps())) {
        state.SkipWithError("no profile to save");
        return;
    }
    const std::vector<ProfileEntry> entries{ProfileEntry{QLatin1String(kModel), &profile.data(), &profile.apps()}};
    for (auto _ : state) {
        QByteArray document = file.bytes;
        if (!SaveConfigToData(&document, entries)) {
            state.SkipWithError("save failed");
            return;
        }
        benchmark::DoNotOptimize(document.size());
    }
}
BENCHMARK(BM_ProfileSaveData)->Unit(benchmark::kMicrosecond);

// The same the whole document's way (a text not in the writer's form): parse,
// rewrite, serialise every model.
void BM_ProfileSaveWholeData(benchmark::State &state)
{
    ProfileFile file;
    DeviceProfile profile;
    if (!LoadConfigFromData(file.bytes, QLatin1String(kModel), &profile.data(), &profile.apps())) {
        state.SkipWithError("no profile to save");
        return;
    }
    const std::vector<ProfileEntry> entries{ProfileEntry{QLatin1String(kModel), &profile.data(), &profile.apps()}};
    for (auto _ : state) {
        QByteArray document = file.bytes;
        if (!SaveWholeDocument(&document, entries)) {
            state.SkipWithError("save failed");
            return;
        }
        benchmark::DoNotOptimize(document.size());
    }
}
BENCHMARK(BM_ProfileSaveWholeData)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
