// Writes the inputs of the end-to-end benchmarks (bench/e2e.sh):
//   tunelore-bench-data songs FOLDER COUNT   COUNT song files FOLDER/song-NNNNN.pro of about 2 KB each
//   tunelore-bench-data songdb FILE COUNT    a song database (creator TuNe, type SONG) of COUNT such songs
//   tunelore-bench-data tab FILE BYTES       a guitar tab file (chord lines over lyrics) of about BYTES bytes

#include "pdb/AtomicFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/BenchData.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s songs FOLDER COUNT | songdb FILE COUNT | tab FILE BYTES\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    const std::string target = argv[2];
    const auto count = static_cast<std::size_t>(std::strtoul(argv[3], nullptr, 10));
    if (kind == "songs") {
        std::filesystem::create_directories(target);
        for (std::size_t i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/song-%05zu.pro", i);
            if (!WriteFileAtomically(target + name, MakeLoadedSong(i), FileDurability::Unsynced)) {
                std::fprintf(stderr, "cannot write %s%s\n", target.c_str(), name);
                return 1;
            }
        }
        return 0;
    }
    if (kind == "songdb") {
        if (count > 65535 || !WriteFileAtomically(target, MakeSongDatabaseImage(count))) {
            std::fprintf(stderr, "cannot write %s\n", target.c_str());
            return 1;
        }
        return 0;
    }
    if (kind == "tab") {
        if (!WriteFileAtomically(target, MakeTabText(count))) {
            std::fprintf(stderr, "cannot write %s\n", target.c_str());
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "unknown kind: %s\n", kind.c_str());
    return 2;
}
