// Cost of a preset editor's "Save" (127 keys, one atomic write) and of loading one set at
// start-up (one read, one parse), against a real file in a temporary folder.
#include "settings/PresetSet.h"
#include "settings/ProfileStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tavrin;

static void BM_SavePresetSet(benchmark::State &state)
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    PresetSet set(1);
    if (!set.SaveData(store)) { // steady state: the file exists, every key is replaced
        state.SkipWithError("save failed");
        return;
    }
    int flip = 0;
    for (auto _ : state) {
        set.Text(1) = (++flip & 1) ? QStringLiteral("1.8400") : QStringLiteral("1.8500");
        const SaveResult result = set.SaveData(store);
        benchmark::DoNotOptimize(result.ok);
    }
}
BENCHMARK(BM_SavePresetSet)->Unit(benchmark::kMicrosecond);

static void BM_LoadPresetSet(benchmark::State &state)
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    if (!PresetSet(1).SaveData(store)) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        PresetSet set(1);
        set.load(store);
        benchmark::DoNotOptimize(set.Text(60).size());
    }
}
BENCHMARK(BM_LoadPresetSet)->Unit(benchmark::kMicrosecond);

// The pure part of a save: 127 replacements in an existing file's text.
static void BM_ApplyPresetWrites(benchmark::State &state)
{
    const QStringList keys = PresetSet::writeKeys();
    KeyValues values;
    for (int k = 0; k < PresetSet::kKeyCount; ++k)
        values.append({keys.at(k), QStringLiteral("14.2300")});
    const QByteArray content = applyWrites(QByteArray(), QString::fromLatin1(kSettingsSection), values);
    for (auto _ : state) {
        const QByteArray out = applyWrites(content, QString::fromLatin1(kSettingsSection), values);
        benchmark::DoNotOptimize(out.size());
    }
}
BENCHMARK(BM_ApplyPresetWrites)->Unit(benchmark::kMicrosecond);

// A damaged file of many lines without "=" or "]" must still parse in linear time.
static void BM_ParseJunkLines(benchmark::State &state)
{
    QByteArray content = "[SETTINGS]\n";
    for (int64_t i = 0; i < state.range(0); ++i)
        content += "[junk line without a closing bracket or an equals sign\n";
    content += "A=1\n";
    for (auto _ : state) {
        const ProfileSnapshot snapshot(content, 265);
        benchmark::DoNotOptimize(snapshot.contains(QStringLiteral("A")));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseJunkLines)->RangeMultiplier(8)->Range(1 << 10, 1 << 16)->Complexity()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
