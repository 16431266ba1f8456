// Building, reading and extracting song databases at 1,000, 10,000 and 65,535 songs of about 2 KB.

#include "jobs/Export.h"
#include "jobs/Extract.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/AtomicFile.h"
#include "pdb/PalmDatabase.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchData.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string>& LoadedSongs(std::size_t count)
{
    static std::vector<std::string> songs;
    while (songs.size() < count) {
        songs.push_back(MakeLoadedSong(songs.size()));
    }
    return songs;
}

const std::vector<std::uint8_t>& SongDatabaseImage(std::size_t songs)
{
    static std::map<std::size_t, std::vector<std::uint8_t>> images;
    auto found = images.find(songs);
    if (found == images.end()) {
        found = images.emplace(songs, MakeSongDatabaseImage(songs)).first;
    }
    return found->second;
}

std::int64_t TotalBytes(const std::vector<std::string>& songs)
{
    std::int64_t total = 0;
    for (const std::string& song : songs) {
        total += static_cast<std::int64_t>(song.size());
    }
    return total;
}

void BM_BuildSongDatabase(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::vector<std::string> songs(LoadedSongs(count).begin(),
                                         LoadedSongs(count).begin() + static_cast<std::ptrdiff_t>(count));
    CBenchPlatform platform;
    for (auto _ : state) {
        CPalmDatabase database = BuildSongDatabase(songs, platform);
        std::optional<std::vector<std::uint8_t>> image = database.Serialize();
        benchmark::DoNotOptimize(image->data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * TotalBytes(songs));
}
BENCHMARK(BM_BuildSongDatabase)->Arg(1000)->Arg(10000)->Arg(65535)->Unit(benchmark::kMillisecond);

void BM_ParseSongDatabase(benchmark::State& state)
{
    const std::vector<std::uint8_t>& image = SongDatabaseImage(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::optional<CPalmDatabase> database = CPalmDatabase::Parse(image);
        benchmark::DoNotOptimize(database->GetRecordCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_ParseSongDatabase)->Arg(1000)->Arg(10000)->Arg(65535)->Unit(benchmark::kMillisecond);

// The whole extraction job: read the file, then one .pro file per song into a fresh folder under the
// temporary folder (TMPDIR). Real time, since most of it is the file system's.
void BM_ExtractSongs(benchmark::State& state)
{
    const std::vector<std::uint8_t>& image = SongDatabaseImage(static_cast<std::size_t>(state.range(0)));
    const fs::path root = fs::temp_directory_path() / "tunelore-bench-extract";
    fs::remove_all(root);
    fs::create_directories(root);
    const fs::path database = root / "songs.pdb";
    if (!WriteFileAtomically(database.string(), image)) {
        state.SkipWithError("cannot write the database file");
        return;
    }
    int run = 0;
    for (auto _ : state) {
        const fs::path folder = root / ("out" + std::to_string(run++));
        const DatabaseFile file = ReadDatabaseFile(database);
        const ExtractResult result = ExtractSongs(file.database.value(), folder);
        if (result.written != state.range(0)) {
            state.SkipWithError("not every song was written");
        }
        state.PauseTiming();
        fs::remove_all(folder);
        state.ResumeTiming();
    }
    fs::remove_all(root);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_ExtractSongs)->Arg(1000)->Arg(10000)->Arg(65535)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
