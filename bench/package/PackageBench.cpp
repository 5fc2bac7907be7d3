// Package benchmark (`bench_package --repack [corpus]`: the lossless repack deck by deck): open +
// save-unchanged throughput over the corpus, the cost of recompressing instead of copying, deflate levels for
// edited XML, and the scratch-deck save the engine's size measurement repeats. Prints numbers; asserts
// nothing.

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
            options.repack = false;
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

// Unchanged-deck saves per .pptx: plain copy against the lossless repack, with sizes and times, then a
// second repack save of the same package (what the engine's scratch deck does once per shape).
int RepackTable(const std::vector<fs::path>& decks) {
    double in = 0, plainOut = 0, repackOut = 0;
    std::vector<double> plainMs, repackMs, againMs, plainCpu, repackCpu;
    std::printf("%-70s %10s %10s %10s %6s %8s %8s %8s\n", "deck", "input", "plain", "repack", "ratio",
                "plain ms", "repack", "again");
    for (const auto& path : decks) {
        if (path.extension() != ".pptx")
            continue;
        try {
            auto t0 = Clock::now();
            const double c0 = CpuMs();
            auto pkg = Package::Open(path.string());
            office::package::SaveOptions plain;
            plain.repack = false;
            Bytes a = pkg->SaveToBytes("bench", plain);
            auto t1 = Clock::now();
            const double c1 = CpuMs();
            auto fresh = Package::Open(path.string());
            auto t2 = Clock::now();
            Bytes b = fresh->SaveToBytes();
            auto t3 = Clock::now();
            const double c3 = CpuMs();
            Bytes c = fresh->SaveToBytes();
            auto t4 = Clock::now();
            const double size = static_cast<double>(fs::file_size(path));
            in += size;
            plainOut += static_cast<double>(a.size());
            repackOut += static_cast<double>(b.size());
            plainMs.push_back(Ms(t1 - t0));
            repackMs.push_back(Ms(t3 - t2) + Ms(t2 - t1));
            againMs.push_back(Ms(t4 - t3));
            plainCpu.push_back(c1 - c0);
            repackCpu.push_back(c3 - c1);
            std::printf("%-70s %10.0f %10zu %10zu %6.3f %8.1f %8.1f %8.1f%s\n",
                        path.filename().string().c_str(), size, a.size(), b.size(),
                        static_cast<double>(b.size()) / size, plainMs.back(), repackMs.back(), againMs.back(),
                        b != c ? "  NOT REPEATABLE" : "");
            std::printf("    processor ms: plain %.1f, repack %.1f\n", plainCpu.back(), repackCpu.back());
        } catch (const std::exception& e) {
            std::printf("%-70s refused: %s\n", path.filename().string().c_str(), e.what());
        }
    }
    auto sum = [](const std::vector<double>& v) {
        double t = 0;
        for (double x : v)
            t += x;
        return t;
    };
    std::printf(
        "total %.1f MB: plain %.4f, repack %.4f of input; open+save ms median plain %.1f, repack %.1f, "
        "second save %.1f; total plain %.0f ms, repack %.0f ms; processor time (all threads) median plain "
        "%.1f ms, repack %.1f ms, total plain %.0f ms, repack %.0f ms\n",
        in / 1e6, plainOut / in, repackOut / in, Median(plainMs), Median(repackMs), Median(againMs),
        sum(plainMs), sum(repackMs), Median(plainCpu), Median(repackCpu), sum(plainCpu), sum(repackCpu));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--repack")
        return RepackTable(CorpusDecks(argc > 2 ? fs::path(argv[2]) : fs::path(QUARNEL_CORPUS)));
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
