// Package benchmark: open + save-unchanged throughput over the corpus, the cost of recompressing
// instead of copying, deflate levels for edited XML, and the scratch-deck save the engine's size
// measurement repeats. Prints numbers; asserts nothing.

#include "TestZip.h"
#include "office/package/Package.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using office::package::Bytes;
using office::package::Package;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Processor time of this process: on a shared, loaded machine it says more than the wall clock.
double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::vector<fs::path> CorpusDecks(const fs::path& folder) {
    std::vector<fs::path> decks;
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return decks;
    for (const auto& e : fs::directory_iterator(folder)) {
        auto ext = e.path().extension().string();
        if (ext == ".pptx" || ext == ".pptm" || ext == ".potx" || ext == ".ppsx")
            decks.push_back(e.path());
    }
    std::sort(decks.begin(), decks.end());
    return decks;
}

bool IsXml(const std::string& type) {
    return type.size() >= 3 && type.compare(type.size() - 3, 3, "xml") == 0;
}

enum class Touch { Nothing, EditXml, ReplaceAll };

// Opens and saves every deck; returns (input bytes, output bytes, milliseconds).
struct Pass {
    double inBytes = 0, outBytes = 0, ms = 0, cpuMs = 0;
    int decks = 0, failed = 0;
};

Pass CorpusPass(const std::vector<fs::path>& decks, Touch touch, int level) {
    Pass pass;
    for (const auto& path : decks) {
        auto start = Clock::now();
        double cpuStart = CpuMs();
        try {
            auto pkg = Package::Open(path.string());
            if (touch != Touch::Nothing) {
                for (const auto& name : pkg->LiveParts()) {
                    if (touch == Touch::ReplaceAll)
                        pkg->SetPartBytes(name, pkg->PartBytes(name));
                    else if (IsXml(pkg->ContentType(name)))
                        pkg->XmlForEdit(name);
                }
            }
            office::package::SaveOptions options;
            options.deflateLevel = level;
            Bytes out = pkg->SaveToBytes("bench", options);
            pass.ms += Ms(Clock::now() - start);
            pass.cpuMs += CpuMs() - cpuStart;
            pass.inBytes += static_cast<double>(fs::file_size(path));
            pass.outBytes += static_cast<double>(out.size());
            ++pass.decks;
        } catch (const std::exception&) {
            ++pass.failed;
        }
    }
    return pass;
}

void Report(const char* label, const Pass& p) {
    std::printf(
        "%-44s %3d decks (%d refused)  %6.1f MB  wall %7.1f ms = %6.1f MB/s  cpu %7.1f ms = %6.1f MB/s  "
        "output %5.1f%% of input\n",
        label, p.decks, p.failed, p.inBytes / 1e6, p.ms, p.inBytes / 1e6 / (p.ms / 1e3), p.cpuMs,
        p.inBytes / 1e6 / (p.cpuMs / 1e3), 100.0 * p.outBytes / std::max(1.0, p.inBytes));
}

} // namespace

int main(int argc, char** argv) {
    const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path(QUARNEL_CORPUS);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;

    auto decks = CorpusDecks(corpus);
    if (decks.empty()) {
        std::printf("corpus not found at %s; corpus figures skipped\n", corpus.string().c_str());
    } else {
        CorpusPass(decks, Touch::Nothing, 1); // warm the page cache
        Report("open + save unchanged (raw copy)", CorpusPass(decks, Touch::Nothing, 1));
        Report("open + edit every XML part, deflate 1", CorpusPass(decks, Touch::EditXml, 1));
        Report("open + edit every XML part, deflate 6", CorpusPass(decks, Touch::EditXml, 6));
        Report("open + replace every part (recompress), 1", CorpusPass(decks, Touch::ReplaceAll, 1));
    }

    // The scratch deck: one slide, one new 1 MB picture, the slide XML edited as a paste does.
    std::string picture = testzip::FakePng(1 << 20, 42);
    std::string dir = (fs::temp_directory_path() / "pkgbench-XXXXXX").string();
    if (!mkdtemp(dir.data()))
        return 1;
    const fs::path target = fs::path(dir) / "scratch.pptx";
    std::vector<double> toFile, toFileFlushed, toMemory, openAddSave, cpuToFile;
    office::package::SaveOptions flushed;
    flushed.flushToDisk = true;
    Bytes scratchBytes = testzip::SmallDeck();
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        auto pkg = Package::OpenFromBytes(scratchBytes);
        std::string name = pkg->AddPartWithUniqueName("/ppt/media/image", "png", "image/png",
                                                      Bytes(picture.begin(), picture.end()));
        std::string id =
            pkg->AddRelationship("/ppt/slides/slide1.xml", office::package::reltype::kImage, name);
        pkg->XmlForEdit("/ppt/slides/slide1.xml")
            .select_node("//p:spTree")
            .node()
            .append_child("p:pic")
            .append_attribute("r:embed") = id.c_str();
        auto prepared = Clock::now();
        double cpuBefore = CpuMs();
        pkg->SaveAs(target.string());
        cpuToFile.push_back(CpuMs() - cpuBefore);
        auto saved = Clock::now();
        Bytes inMemory = pkg->SaveToBytes();
        auto done = Clock::now();
        pkg->SaveAs(target.string(), "bench", flushed);
        toFileFlushed.push_back(Ms(Clock::now() - done));
        toFile.push_back(Ms(saved - prepared));
        openAddSave.push_back(Ms(saved - start));
        toMemory.push_back(Ms(done - saved));
    }
    std::printf(
        "scratch deck with one 1 MB picture (%d runs, %ju bytes): SaveAs median %.2f ms, "
        "to memory %.2f ms, open+add+SaveAs %.2f ms, SaveAs with fsync %.2f ms; SaveAs CPU time %.2f ms\n",
        runs, static_cast<std::uintmax_t>(fs::file_size(target)), Median(toFile), Median(toMemory),
        Median(openAddSave), Median(toFileFlushed), Median(cpuToFile));
    fs::remove_all(dir);
    return 0;
}
