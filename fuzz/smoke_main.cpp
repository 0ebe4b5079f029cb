// Runs a fuzz target without libFuzzer, as a quick test: every seed file given on the command
// line, then deterministic mutations of them (bit flips, truncations, byte insertions) until the
// time budget is spent. Usage: smoke SECONDS [FILE_OR_FOLDER...]; without seeds the mutations
// start from an empty input.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Mutate(std::vector<uint8_t>& bytes, std::mt19937& rng) {
    if (bytes.empty()) {
        bytes.push_back(uint8_t(rng()));
        return;
    }
    const size_t at = rng() % bytes.size();
    switch (rng() % 5) {
        case 0:
            bytes[at] ^= uint8_t(1u << (rng() % 8));
            break;
        case 1:
            bytes[at] = uint8_t(rng());
            break;
        case 2:
            bytes.resize(at);
            break;
        case 3:
            bytes.insert(bytes.begin() + long(at), uint8_t(rng()));
            break;
        default: {  // an "interesting" 16-bit value, the kind that breaks size fields
            static constexpr uint16_t kValues[] = {0, 1, 0x7FFF, 0x8000, 0xFFFF, 0x100};
            const uint16_t v = kValues[rng() % std::size(kValues)];
            bytes[at] = uint8_t(v);
            if (at + 1 < bytes.size()) bytes[at + 1] = uint8_t(v >> 8);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SECONDS [FILE_OR_FOLDER...]\n", argv[0]);
        return 2;
    }
    const double budget = std::atof(argv[1]);
    std::vector<std::filesystem::path> seeds;
    for (int i = 2; i < argc; ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(argv[i], ec)) {
            for (const auto& e : std::filesystem::directory_iterator(argv[i], ec))
                if (e.is_regular_file()) seeds.push_back(e.path());
        } else if (std::filesystem::is_regular_file(argv[i], ec)) {
            seeds.push_back(argv[i]);
        }
    }
    std::sort(seeds.begin(), seeds.end());
    std::vector<std::vector<uint8_t>> inputs;
    for (const auto& s : seeds) {
        inputs.push_back(ReadAll(s));
        LLVMFuzzerTestOneInput(inputs.back().data(), inputs.back().size());
    }
    if (inputs.empty()) inputs.push_back({});
    std::mt19937 rng(12345);
    const auto start = std::chrono::steady_clock::now();
    long runs = 0;
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() <
           budget) {
        std::vector<uint8_t> bytes = inputs[rng() % inputs.size()];
        const int mutations = 1 + int(rng() % 4);
        for (int m = 0; m < mutations; ++m) Mutate(bytes, rng);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++runs;
    }
    std::printf("%zu seeds, %ld mutated inputs, no finding\n", seeds.size(), runs);
    return 0;
}
