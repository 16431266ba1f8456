// Runs a fuzz target over files without libFuzzer, so that any compiler can replay the seed corpus and the
// regression inputs: replay FILE_OR_FOLDER... Folders are walked recursively; files whose names start with a
// dot (.gitkeep) are skipped. Fails when nothing was replayed, so a missing corpus cannot pass unnoticed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool ReadBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void CollectInputs(const std::filesystem::path& path, std::vector<std::filesystem::path>& inputs)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (entry.is_regular_file() && !entry.path().filename().string().starts_with(".")) {
                inputs.push_back(entry.path());
            }
        }
    } else if (std::filesystem::is_regular_file(path, error)) {
        inputs.push_back(path);
    } else {
        std::fprintf(stderr, "replay: no such file or folder: %s\n", path.string().c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        CollectInputs(argv[i], inputs);
    }
    // A fixed order makes a failure reproducible from the log.
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no inputs found\n");
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    for (const auto& path : inputs) {
        if (!ReadBytes(path, bytes)) {
            std::fprintf(stderr, "replay: cannot read %s\n", path.string().c_str());
            return 1;
        }
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.string().c_str(), bytes.size());
        // An empty vector may have no buffer; libFuzzer never passes a null pointer, so neither do we.
        static const std::uint8_t none = 0;
        LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "replay: %zu inputs, no failure\n", inputs.size());
    return 0;
}
