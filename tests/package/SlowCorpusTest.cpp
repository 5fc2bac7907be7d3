// Whole-corpus round trips and a rendering check with the office suite. Labelled slow.

#include "RoundTripCheck.h"
#include "tests/support/WorkFolders.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ScratchDir {
public:
    ScratchDir() { path_ = testsupport::MakeWorkFolder("pkgslow-"); }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Page count of the PDF the office suite makes of a deck; -1 when the conversion fails.
int RenderedPages(const fs::path& deck, const fs::path& work) {
    const fs::path out = work / ("pdf-" + deck.stem().string());
    fs::create_directories(out);
    std::string command = "soffice -env:UserInstallation=file://" + (work / "profile").string() +
                          " --headless --convert-to pdf --outdir '" + out.string() + "' '" + deck.string() +
                          "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return -1;
    const fs::path pdf = out / (deck.stem().string() + ".pdf");
    std::ifstream in(pdf, std::ios::binary);
    if (!in)
        return -1;
    std::stringstream text;
    text << in.rdbuf();
    const std::string body = text.str();
    static const std::regex page(R"(/Type\s*/Page[^s])");
    return static_cast<int>(
        std::distance(std::sregex_iterator(body.begin(), body.end(), page), std::sregex_iterator()));
}

} // namespace

TEST(PackageCorpusSlow, EveryDeckRoundTrips) {
    auto decks = roundtrip::CorpusDecks();
    if (decks.empty())
        GTEST_SKIP() << "no corpus";
    for (const auto& deck : decks) {
        if (deck.filename() == "poi__Divino_Revelado.pptx")
            continue; // damaged on purpose; the fast suite checks its error
        roundtrip::RoundTripFile(deck);
    }
}

TEST(PackageCorpusSlow, OfficeSuiteRendersTheSamePages) {
    // Two office-suite renderings of the whole corpus take minutes: run on request.
    if (std::getenv("QUARNEL_CORPUS_RENDER") == nullptr)
        GTEST_SKIP() << "set QUARNEL_CORPUS_RENDER=1 to render every corpus deck before and after a save";
    auto decks = roundtrip::CorpusDecks();
    if (decks.empty())
        GTEST_SKIP() << "no corpus";
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice not installed";
    ScratchDir work;
    int checked = 0;
    for (const char* name :
         {"oxmlsdk__O12Typical.pptx", "poi__54542_cropped_bitmap.pptx", "aspose-net__VBA.pptm",
          "pypptx__shp-common-props.pptx", "oxmlsdk__animation.pptx"}) {
        const fs::path input = fs::path(QUARNEL_CORPUS) / name;
        if (!fs::exists(input))
            continue;
        SCOPED_TRACE(name);
        const fs::path resaved = work.path() / ("resaved-" + input.filename().string());
        office::package::Package::Open(input.string())->SaveAs(resaved.string());
        int before = RenderedPages(input, work.path());
        int after = RenderedPages(resaved, work.path());
        ASSERT_GT(before, 0) << "the office suite could not render the input";
        EXPECT_EQ(after, before);
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "none of the chosen decks present";
}

namespace {

// Page images of a PDF at a low resolution, in page order.
std::vector<testzip::Bytes> PageImages(const fs::path& pdf, const fs::path& work) {
    const fs::path out =
        work / ("pages-" + pdf.parent_path().filename().string() + "-" + pdf.stem().string());
    fs::create_directories(out);
    const std::string command =
        "pdftoppm -r 40 -png '" + pdf.string() + "' '" + (out / "p").string() + "' >/dev/null 2>&1";
    std::vector<testzip::Bytes> pages;
    if (std::system(command.c_str()) != 0)
        return pages;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(out))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
        pages.push_back(testzip::ReadFile(file.string()));
    return pages;
}

bool ConvertAll(const std::vector<fs::path>& decks, const fs::path& outdir, const fs::path& work) {
    std::string command = "soffice -env:UserInstallation=file://" + (work / "profile").string() +
                          " --headless --convert-to pdf --outdir '" + outdir.string() + "'";
    for (const auto& deck : decks)
        command += " '" + deck.string() + "'";
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

// Every deck saved with no change (so only repacked) opens in the office suite, keeps its page count
// and renders pixel for pixel as the input does.
TEST(PackageCorpusSlow, RepackedDecksRenderIdentically) {
    // Two office-suite renderings of the whole corpus take minutes: run on request.
    if (std::getenv("QUARNEL_CORPUS_RENDER") == nullptr)
        GTEST_SKIP() << "set QUARNEL_CORPUS_RENDER=1 to render every corpus deck before and after a save";
    auto decks = roundtrip::CorpusDecks();
    if (decks.empty())
        GTEST_SKIP() << "no corpus";
    if (std::system("command -v soffice >/dev/null 2>&1 && command -v pdftoppm >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice or pdftoppm not installed";
    ScratchDir work;
    const fs::path inputs = work.path() / "in", outputs = work.path() / "out";
    fs::create_directories(inputs);
    fs::create_directories(outputs);
    std::vector<fs::path> originals, resaved;
    for (const auto& deck : decks) {
        std::unique_ptr<office::package::Package> pkg;
        try {
            pkg = office::package::Package::Open(deck.string());
        } catch (const std::exception&) {
            continue; // decks the package refuses are checked elsewhere
        }
        const fs::path copy = inputs / deck.filename(), saved = outputs / deck.filename();
        fs::copy_file(deck, copy);
        pkg->SaveAs(saved.string());
        EXPECT_LE(fs::file_size(saved), fs::file_size(deck)) << deck.filename();
        originals.push_back(copy);
        resaved.push_back(saved);
    }
    ASSERT_TRUE(ConvertAll(originals, inputs / "pdf", work.path()));
    ASSERT_TRUE(ConvertAll(resaved, outputs / "pdf", work.path()));
    int compared = 0;
    for (std::size_t i = 0; i < originals.size(); ++i) {
        SCOPED_TRACE(originals[i].filename().string());
        const fs::path before = inputs / "pdf" / (originals[i].stem().string() + ".pdf");
        const fs::path after = outputs / "pdf" / (resaved[i].stem().string() + ".pdf");
        if (!fs::exists(before))
            continue; // the office suite cannot render the input either
        ASSERT_TRUE(fs::exists(after)) << "the repacked deck does not open";
        const auto pagesBefore = PageImages(before, work.path()), pagesAfter = PageImages(after, work.path());
        ASSERT_EQ(pagesAfter.size(), pagesBefore.size()) << "page count";
        for (std::size_t p = 0; p < pagesBefore.size(); ++p)
            EXPECT_TRUE(testimages::SamePixels(pagesBefore[p], pagesAfter[p])) << "page " << p + 1;
        ++compared;
    }
    EXPECT_GT(compared, 0);
}
