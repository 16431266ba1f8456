// Text scanning, tab conversion and chord-list parsing at three sizes, each 8 times the one before, so that
// the cost per byte (bytes_per_second) shows whether the work grows linearly.

#include "jobs/Export.h"
#include "text/Scan.h"
#include "text/TabConvert.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bench/BenchData.h"

namespace {

constexpr std::int64_t MB = 1024 * 1024;

const std::string& TabText(std::int64_t bytes)
{
    // Built once per size and kept: building 64 MB is slower than scanning it.
    static std::string cache[3];
    const std::size_t slot = bytes <= MB ? 0 : bytes <= 8 * MB ? 1 : 2;
    if (cache[slot].size() < static_cast<std::size_t>(bytes)) {
        cache[slot] = MakeTabText(static_cast<std::size_t>(bytes));
    }
    return cache[slot];
}

void BM_PopLineWalk(benchmark::State& state)
{
    const std::string& text = TabText(state.range(0));
    for (auto _ : state) {
        std::string_view rest = text;
        std::size_t lines = 0;
        std::size_t characters = 0;
        while (!rest.empty()) {
            const std::string_view line = PopLine(rest);
            characters += line.size();
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
        benchmark::DoNotOptimize(characters);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_PopLineWalk)->Arg(1 * MB)->Arg(8 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);

void BM_ConvertTabToChordPro(benchmark::State& state)
{
    const std::string& text = TabText(state.range(0));
    for (auto _ : state) {
        std::string converted = ConvertTabToChordPro(text);
        benchmark::DoNotOptimize(converted.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ConvertTabToChordPro)->Arg(1 * MB)->Arg(8 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);

// Reading a chord list into the chord import database (line walk, parse, one record per chord).
void BM_ParseChordList(benchmark::State& state)
{
    const std::string text = MakeChordList(static_cast<std::size_t>(state.range(0)));
    CBenchPlatform platform;
    for (auto _ : state) {
        CPalmDatabase database = BuildChordDatabase(text, platform);
        benchmark::DoNotOptimize(database.GetRecordCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseChordList)->Arg(100000 / 64)->Arg(100000 / 8)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
