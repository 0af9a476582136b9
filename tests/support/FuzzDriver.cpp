// The plain fuzz driver: runs a fuzz target (LLVMFuzzerTestOneInput) where libFuzzer is not
// available, over its seed inputs and then over inputs mutated from them by a generator with a
// fixed seed, so that a run is repeatable. It takes the libFuzzer options the runs use:
//
//   fuzz_x [-seed=N] [-runs=N] [-max_total_time=S] [-max_len=N] [other -options ignored] DIR|FILE...
//
// Defaults: seed 1, 100,000 inputs, no time limit, inputs of at most 4,096 bytes. A target that
// finds a fault aborts (sanitizer or assertion), so the exit status tells the result.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using TInput = std::vector<uint8_t>;

void AddFile(const std::filesystem::path& path, std::vector<TInput>& corpus) {
    std::ifstream in(path, std::ios::binary);
    corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void AddPath(const char* arg, std::vector<TInput>& corpus) {
    std::error_code ec;
    const std::filesystem::path path(arg);
    if (std::filesystem::is_directory(path, ec)) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(path, ec))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end()); // the same order on every run
        for (const auto& f : files) AddFile(f, corpus);
    } else if (std::filesystem::is_regular_file(path, ec)) {
        AddFile(path, corpus);
    }
}

// One mutation of the kinds that find faults in text scanners: flips, insertions of bytes and
// of the characters scanners care about, deletions, repeats and splices with another input.
void Mutate(TInput& input, const std::vector<TInput>& corpus, std::mt19937& random, size_t maxLen) {
    static const char interesting[] = "~|+-\r\n{}()*/'#$.:<>=0123456789AEaz_ \t\x00\x7f\x80\xff";
    auto pick = [&random](size_t n) { return n == 0 ? size_t(0) : std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    switch (pick(7)) {
    case 0:
        if (!input.empty()) input[pick(input.size())] ^= static_cast<uint8_t>(1u << pick(8));
        break;
    case 1:
        input.insert(input.begin() + static_cast<std::ptrdiff_t>(pick(input.size() + 1)),
                     static_cast<uint8_t>(interesting[pick(sizeof interesting - 1)]));
        break;
    case 2:
        input.insert(input.begin() + static_cast<std::ptrdiff_t>(pick(input.size() + 1)), static_cast<uint8_t>(pick(256)));
        break;
    case 3:
        if (!input.empty()) {
            const size_t at = pick(input.size());
            const size_t n = 1 + pick(std::min<size_t>(16, input.size() - at));
            input.erase(input.begin() + static_cast<std::ptrdiff_t>(at), input.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        break;
    case 4:
        if (!input.empty()) { // repeat a piece
            const size_t at = pick(input.size());
            const size_t n = 1 + pick(std::min<size_t>(32, input.size() - at));
            TInput piece(input.begin() + static_cast<std::ptrdiff_t>(at), input.begin() + static_cast<std::ptrdiff_t>(at + n));
            input.insert(input.begin() + static_cast<std::ptrdiff_t>(pick(input.size() + 1)), piece.begin(), piece.end());
        }
        break;
    case 5:
        if (!corpus.empty()) { // splice: the front of this one, the back of another
            const TInput& other = corpus[pick(corpus.size())];
            input.resize(pick(input.size() + 1));
            const size_t from = pick(other.size() + 1);
            input.insert(input.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
        }
        break;
    default:
        if (!input.empty()) input[pick(input.size())] = static_cast<uint8_t>(interesting[pick(sizeof interesting - 1)]);
        break;
    }
    if (input.size() > maxLen) input.resize(maxLen);
}

long OptionValue(const char* arg, const char* name, long current) {
    const size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) == 0 && arg[n] == '=') return std::strtol(arg + n + 1, nullptr, 10);
    return current;
}

} // namespace

int main(int argc, char** argv) {
    long seed = 1, runs = 100000, maxTime = 0, maxLen = 4096;
    std::vector<TInput> corpus;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            seed = OptionValue(argv[i], "-seed", seed);
            runs = OptionValue(argv[i], "-runs", runs);
            maxTime = OptionValue(argv[i], "-max_total_time", maxTime);
            maxLen = OptionValue(argv[i], "-max_len", maxLen);
        } else {
            AddPath(argv[i], corpus);
        }
    }
    const auto start = std::chrono::steady_clock::now();
    long done = 0;
    for (const TInput& input : corpus) {
        LLVMFuzzerTestOneInput(input.data(), input.size());
        ++done;
    }
    std::mt19937 random(static_cast<unsigned>(seed));
    TInput input;
    for (; done < runs; ++done) {
        if (maxTime > 0 && (done & 255) == 0 &&
            std::chrono::steady_clock::now() - start > std::chrono::seconds(maxTime))
            break;
        // Mostly a fresh mutation of a seed input; now and then keep mutating the last one.
        if (!corpus.empty() && std::uniform_int_distribution<int>(0, 3)(random) != 0)
            input = corpus[std::uniform_int_distribution<size_t>(0, corpus.size() - 1)(random)];
        const int rounds = 1 + std::uniform_int_distribution<int>(0, 4)(random);
        for (int r = 0; r < rounds; ++r) Mutate(input, corpus, random, static_cast<size_t>(maxLen));
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("plain fuzz driver: %ld inputs (%zu seed inputs), seed %ld\n", done, corpus.size(), seed);
    return 0;
}
