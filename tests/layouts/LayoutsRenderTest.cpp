// A real deck with many unused layouts and masters renders the same in LibreOffice after removal.

#include "office/layouts/RemoveUnusedLayouts.h"
#include "office/package/Package.h"
#include "tests/support/RenderTools.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

// PDF by LibreOffice (private profile), then each page as a PPM; returns the pages' bytes.
std::vector<std::string> RenderPages(const fs::path& dir, const fs::path& deck) {
    const std::string profile = "file://" + (dir / "profile").string();
    Run("timeout 300 soffice -env:UserInstallation=" + profile + " --headless --convert-to pdf --outdir '" +
        dir.string() + "' '" + deck.string() + "' 2>&1");
    const fs::path pdf = dir / (deck.stem().string() + ".pdf");
    if (!fs::exists(pdf))
        return {};
    const std::string prefix = (dir / deck.stem()).string();
    Run("pdftoppm -r 40 '" + pdf.string() + "' '" + prefix + "'");
    std::vector<std::string> pages;
    for (int page = 1;; ++page) {
        fs::path file;
        for (const char* pattern : {"%s-%d.ppm", "%s-%02d.ppm", "%s-%03d.ppm"}) {
            char name[1024];
            std::snprintf(name, sizeof name, pattern, prefix.c_str(), page);
            if (fs::exists(name))
                file = name;
        }
        if (file.empty())
            break;
        std::ifstream in(file, std::ios::binary);
        pages.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return pages;
}

TEST(LayoutsRender, RealDeckRendersIdenticallyWithItsUnusedLayoutsRemoved) {
    const fs::path input = fs::path(QUARNEL_CORPUS) / "unstructured__science-exploration-1p.pptx";
    if (!fs::exists(input))
        GTEST_SKIP() << "corpus absent";
    if (const auto why = testsupport::WhyNoRenderer(true))
        GTEST_SKIP() << *why;
    const fs::path dir = fs::temp_directory_path() / ("quarnel-layouts-" + std::to_string(::getpid()));
    fs::create_directories(dir / "before");
    fs::create_directories(dir / "after");
    const fs::path before = dir / "before" / "deck.pptx";
    const fs::path after = dir / "after" / "deck.pptx";
    fs::copy_file(input, before);

    auto package = office::package::Package::Open(before.string());
    const auto removal = office::layouts::RemoveUnusedLayouts(*package);
    EXPECT_GT(removal.layoutsRemoved, 100);
    EXPECT_GE(removal.mastersRemoved, 9);
    package->SaveAs(after.string());
    EXPECT_LT(fs::file_size(after), fs::file_size(before));

    const auto pagesBefore = RenderPages(dir / "before", before);
    const auto pagesAfter = RenderPages(dir / "after", after);
    ASSERT_FALSE(pagesBefore.empty());
    ASSERT_EQ(pagesBefore.size(), pagesAfter.size());
    for (std::size_t i = 0; i < pagesBefore.size(); ++i) {
        ASSERT_EQ(pagesBefore[i].size(), pagesAfter[i].size());
        std::size_t differing = 0;
        for (std::size_t k = 0; k < pagesBefore[i].size(); ++k)
            differing += pagesBefore[i][k] != pagesAfter[i][k];
        EXPECT_LE(differing, pagesBefore[i].size() / 1000) << "page " << i + 1;
    }
    fs::remove_all(dir);
}

} // namespace
