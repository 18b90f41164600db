// SPDX-License-Identifier: MIT
// replay.cpp - a main() for a harness where there is no libFuzzer (gcc): the
// harness runs once on every file of the corpus folders named on the
// command line, so that each input the fuzzers kept runs in every build of
// the tests.  A harness aborts on an input it does not accept.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(argv[i], error))
            inputs.push_back(entry.path());
        if (error) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str());
            return 1;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto &path : inputs) {
        std::ifstream file(path, std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
        // A block of the input's own size, as libFuzzer hands it over, so
        // that AddressSanitizer sees a read past its end.
        auto data = std::make_unique<uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), data.get());
        LLVMFuzzerTestOneInput(data.get(), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
