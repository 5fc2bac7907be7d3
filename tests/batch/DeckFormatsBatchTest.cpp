// The batch over decks whose names and contents disagree, decks in the binary format (through a
// stand-in converter here; LibreOffice itself in the slow test), and every kind of package: each
// entry gets its own line, the run goes on, outputs take the format written, and no converter
// file is left behind.

#include "BatchFixture.h"
#include "PictureDeck.h"
#include "batch/BatchRun.h"
#include "office/OfficeProvider.h"
#include "office/binary/LibreOfficeConverter.h"
#include "office/package/Package.h"
#include "tests/support/CompoundFiles.h"
#include "tests/support/Environment.h"
#include "tests/support/ProcessState.h"

#include <csignal>
#include <cstdlib>
#include <gmock/gmock.h>
#include <vips/vips8>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

namespace fs = std::filesystem;
namespace ct = office::package::contenttype;

const std::string kCompoundSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

using testsupport::Running;

class DeckFormats : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        ASSERT_EQ(VIPS_INIT("test_batch"), 0);
        work = dir + "/converter-work";
        fs::create_directories(testsupport::PathOf(work));
        converter.tempFolder = work;
    }
    void UseEngine() {
        engine_ = std::make_unique<office::OfficeProvider>("12.0", converter);
        real_ = std::make_unique<engine::EngineContext>(
            engine::EngineContext{host, config, exceptions, *registry, *engine_, state});
    }
    std::string Script(const std::string& name, const std::string& body) {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        fs::permissions(testsupport::PathOf(path), fs::perms::owner_all);
        return path;
    }
    // A picture deck whose main part is turned into the given kind (with a VBA project for macros).
    std::string Package(const std::string& name, const char* mainType, bool withVba) {
        const std::string built = dir + "/built-" + name + ".pptx";
        BuildPictureDeck(built, dir, 2);
        auto pkg = office::package::Package::Open(built);
        pkg->SetContentType(pkg->MainPartName(), mainType);
        if (withVba) {
            pkg->AddPart("/ppt/vbaProject.bin", "application/vnd.ms-office.vbaProject", vba);
            pkg->AddRelationship(pkg->MainPartName(), office::package::reltype::kVbaProject,
                                 "/ppt/vbaProject.bin");
        }
        pkg->SaveAs(dir + "/" + name);
        fs::remove(testsupport::PathOf(built));
        return dir + "/" + name;
    }
    std::string BinaryDeck(const std::string& name, bool encrypted) {
        const auto bytes = testsupport::BinaryDeckBytes(encrypted);
        return MakeFile(name, std::string(bytes.begin(), bytes.end()));
    }
    static std::string MainType(const std::string& path) {
        auto pkg = office::package::Package::Open(path);
        return pkg->ContentType(pkg->MainPartName());
    }

    std::string work;
    office::binary::ConverterSettings converter;
    office::package::Bytes vba = office::package::Bytes(4096, 0x42);
    std::unique_ptr<office::OfficeProvider> engine_;
    std::unique_ptr<engine::EngineContext> real_;
};

} // namespace

TEST_F(DeckFormats, EveryKindOfPackageIsSavedAsItself) {
    UseEngine();
    const std::string renamed = Package("renamed.ppt", ct::kPresentationMain, false);
    const std::string macro = Package("macro.pptm", ct::kPresentationMacroMain, true);
    const std::string show = Package("show.ppsx", ct::kSlideshowMain, false);
    // A macro-enabled deck named .pptx is still macro-enabled.
    const std::string disguised = Package("disguised.pptx", ct::kPresentationMacroMain, true);
    const std::string before = Read(macro);
    batch::BatchRun run(*real_);
    const auto summary =
        run.btnStart_Click(renamed + "\r\n" + macro + "\r\n" + show + "\r\n" + disguised + "\r\n");
    ASSERT_EQ(summary.outcome, batch::RunOutcome::Finished) << host.log;
    const char* expected[] = {".pptx", ".pptm", ".ppsx", ".pptm"};
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(summary.entries[i].result, "compressed") << host.log;
        EXPECT_EQ(fs::path(summary.entries[i].output).extension(), expected[i]);
        EXPECT_THAT(summary.entries[i].output, HasSubstr("-圧縮前"));
        EXPECT_LT(summary.entries[i].bytesAfter, summary.entries[i].bytesBefore);
    }
    EXPECT_EQ(MainType(summary.entries[0].output), ct::kPresentationMain);
    EXPECT_EQ(MainType(summary.entries[1].output), ct::kPresentationMacroMain);
    EXPECT_EQ(MainType(summary.entries[2].output), ct::kSlideshowMain);
    for (const std::size_t i : {1u, 3u}) {
        auto out = office::package::Package::Open(summary.entries[i].output);
        ASSERT_TRUE(out->HasPart("/ppt/vbaProject.bin")) << summary.entries[i].output;
        EXPECT_EQ(out->PartBytes("/ppt/vbaProject.bin"), vba);
        EXPECT_EQ(out->RelationshipsOfType(out->MainPartName(), office::package::reltype::kVbaProject).size(),
                  1u);
    }
    EXPECT_EQ(Read(macro), before);
    // Only a changed extension is mentioned, once per deck.
    EXPECT_THAT(host.log, HasSubstr("に圧縮しました。PPTX形式で保存しました。"));
    EXPECT_THAT(host.log, HasSubstr("に圧縮しました。PPTM形式で保存しました。"));
    EXPECT_THAT(host.log, Not(HasSubstr("PPSX形式")));
}

TEST_F(DeckFormats, TheRunGoesOnPastEveryDeckThatCannotOpen) {
#ifdef _WIN32
    GTEST_SKIP() << "the stand-in converter is a shell script";
#else
    // The stand-in converter hangs: the binary deck runs into the time limit.
    converter.program = Script("hanging-soffice", "sleep 60\n");
    converter.timeLimit = std::chrono::seconds(1);
    UseEngine();
    const std::string locked = BinaryDeck("locked.ppt", true);
    const std::string damaged = MakeFile("damaged.ppt", kCompoundSignature + std::string(600, '\xFF'));
    const std::string slow = BinaryDeck("slow.ppt", false);
    const std::string garbage = MakeFile("garbage.pptx", "these are no slides");
    const std::string renamed = Package("renamed.ppt", ct::kPresentationMain, false);
    batch::BatchRun run(*real_);
    const auto summary =
        run.btnStart_Click(locked + "\r\n" + damaged + "\r\n" + slow + "\r\n" + garbage + "\r\n" + renamed);
    ASSERT_EQ(summary.outcome, batch::RunOutcome::Finished) << host.log;
    EXPECT_THAT(host.log, HasSubstr("▼" + locked +
                                    "\r\n▲ファイルを開けませんでした。"
                                    "パスワードで保護されたファイルは開けません。(Presentations.Open: "));
    EXPECT_THAT(host.log,
                HasSubstr("▼" + damaged + "\r\n▲ファイルを開けませんでした。ファイルが壊れています。("));
    EXPECT_THAT(host.log, HasSubstr("▼" + slow +
                                    "\r\n▲ファイルを開けませんでした。"
                                    "LibreOfficeでの変換が1秒以内に終わりませんでした。("));
    EXPECT_THAT(host.log,
                HasSubstr("▼" + garbage +
                          "\r\n▲ファイルを開けませんでした。"
                          "パワーポイントファイルではありません。(Presentations.Open: not an OOXML"));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(summary.entries[i].result, "open-failed");
        EXPECT_TRUE(summary.entries[i].failed);
    }
    // The conversion's time is the entry's time.
    EXPECT_GE(summary.entries[2].seconds, 1.0);
    EXPECT_EQ(summary.entries[4].result, "compressed") << host.log;
    EXPECT_EQ(fs::path(summary.entries[4].output).extension(), ".pptx");
    EXPECT_TRUE(fs::is_empty(work));
#endif
}

TEST_F(DeckFormats, WithoutTheConverterOnlyTheBinaryDeckIsSkipped) {
    UseEngine();
    const std::string binary = BinaryDeck("old.ppt", false);
    const std::string current = Package("current.pptx", ct::kPresentationMain, false);
    const std::string emptyPath = dir + "/no-programs";
    fs::create_directories(testsupport::PathOf(emptyPath));
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    testsupport::SetEnv("PATH", emptyPath);
    batch::BatchRun run(*real_);
    const auto summary = run.btnStart_Click(binary + "\r\n" + current);
    testsupport::SetEnv("PATH", savedPath);
    ASSERT_EQ(summary.outcome, batch::RunOutcome::Finished) << host.log;
    EXPECT_THAT(host.log, HasSubstr("▲ファイルを開けませんでした。LibreOffice (soffice) が見つかりません。"
                                    "PowerPoint 97-2003形式のファイルを開くにはLibreOfficeが必要です。("));
    EXPECT_EQ(summary.entries[0].result, "open-failed");
    EXPECT_EQ(summary.entries[1].result, "compressed") << host.log;
    EXPECT_TRUE(fs::is_empty(work));
}

TEST_F(DeckFormats, StopDuringAConversionEndsItAndTheRun) {
#ifdef _WIN32
    GTEST_SKIP() << "the stand-in converter is a shell script";
#else
    const std::string pidFile = dir + "/converter.pid";
    converter.program = Script("hanging-soffice", "echo $$ > '" + pidFile + "'\nsleep 60\n");
    UseEngine();
    const std::string slow = BinaryDeck("slow.ppt", false);
    const std::string next = Package("next.pptx", ct::kPresentationMain, false);
    batch::BatchRun run(*real_);
    bool stopped = false;
    host.onEvents = [&] {
        // Once the converter runs, as a person pressing Stop (or Ctrl-C) would.
        if (!stopped && fs::exists(testsupport::PathOf(pidFile)) &&
            fs::file_size(testsupport::PathOf(pidFile)) > 0) {
            stopped = true;
            run.btnStop_Click();
        }
    };
    const auto begin = std::chrono::steady_clock::now();
    const auto summary = run.btnStart_Click(slow + "\r\n" + next);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(summary.outcome, batch::RunOutcome::Interrupted);
    EXPECT_EQ(summary.entries[0].result, "stopped");
    EXPECT_FALSE(summary.entries[0].failed);
    EXPECT_THAT(host.log, HasSubstr("LibreOfficeでの変換を中断しました。"));
    EXPECT_THAT(host.log, Not(HasSubstr("▼" + next)));
    EXPECT_EQ(host.status, "圧縮中断");
    EXPECT_TRUE(fs::is_empty(work));
    int pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(Running(pid)) << "the converter survived the stop";
#endif
}

TEST_F(DeckFormats, AConvertedDeckIsKeptWhenTheConversionAloneMakesItSmaller) {
#ifdef _WIN32
    GTEST_SKIP() << "the stand-in converter is a shell script";
#else
    // What the stand-in converter hands back: a small deck with nothing to recompress.
    const std::string converted = dir + "/converted.pptx";
    {
        office::OfficeProvider builder;
        auto pres = builder.CreatePowerPoint()->Presentations()->Add(true);
        pres->Slides()
            ->Add(1, automation::ppLayoutBlank)
            ->Shapes()
            ->AddShape(automation::msoShapeRectangle, 10, 10, 100, 50);
        pres->SaveAs(converted);
        pres->Close();
    }
    converter.program =
        Script("soffice", "for a in \"$@\"; do [ \"$p\" = --outdir ] && o=\"$a\"; p=\"$a\"; done\ncp '" +
                              converted + "' \"$o/deck.pptx\"\n");
    UseEngine();
    // A bulky binary deck, and one already smaller than its package form.
    const auto bulky =
        testsupport::CompoundFile({{"Current User", testsupport::CurrentUser(0xE391C05F)},
                                   {"PowerPoint Document", std::vector<std::uint8_t>(200000, 7)}});
    const std::string big = MakeFile("big.ppt", std::string(bulky.begin(), bulky.end()));
    const std::string small = BinaryDeck("small.pps", false);
    batch::BatchRun run(*real_);
    const auto summary = run.btnStart_Click(big + "\r\n" + small);
    ASSERT_EQ(summary.outcome, batch::RunOutcome::Finished) << host.log;
    ASSERT_EQ(summary.entries[0].result, "compressed") << host.log;
    EXPECT_EQ(fs::path(summary.entries[0].output).extension(), ".pptx");
    EXPECT_EQ(summary.entries[0].shapesReplaced, 0);
    EXPECT_THAT(host.log, HasSubstr(" に圧縮しました。PPTX形式で保存しました。"));
    EXPECT_EQ(summary.entries[1].result, "not-effective") << host.log;
    EXPECT_THAT(host.log, HasSubstr("▼" + small + "\r\n   ﾍﾟｰｼﾞ 1/1\r\n▲十分な圧縮効果が得られなかったため"));
    for (const auto& entry : fs::directory_iterator(testsupport::PathOf(dir)))
        EXPECT_EQ(entry.path().filename().string().find("small-"), std::string::npos) << entry.path();
    EXPECT_TRUE(fs::is_empty(work));
#endif
}
