// Fuzz target over judging a file's format by its content (the compound-file reader over every field).
// Built with -DQUARNEL_LIBFUZZER under libFuzzer; otherwise an ordinary program that runs the
// target over the files and folders named on its command line (the seed corpus in ctest).

#include "office/binary/DeckFormat.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

void Exercise(const std::uint8_t* data, std::size_t size) {
    const office::binary::DeckFormat format = office::binary::SniffDeckBytes(data, size);
    // Whatever the bytes, the answer is one of the kinds, and the same on a second look.
    if (format != office::binary::SniffDeckBytes(data, size)) {
        std::fprintf(stderr, "invariant broken: the same bytes judged twice differently\n");
        std::abort();
    }
}

#ifndef QUARNEL_LIBFUZZER
int RunFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    Exercise(bytes.data(), bytes.size());
    // Every prefix of a seed is a truncated file too.
    for (std::size_t cut = 0; cut < bytes.size(); cut += 97)
        Exercise(bytes.data(), cut);
    return 1;
}
#endif

} // namespace

#ifdef QUARNEL_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Exercise(data, size);
    return 0;
}
#else
int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
                if (entry.is_regular_file())
                    files += RunFile(entry.path());
        } else {
            files += RunFile(path);
        }
    }
    std::printf("%d inputs\n", files);
    return files > 0 ? 0 : 1;
}
#endif
