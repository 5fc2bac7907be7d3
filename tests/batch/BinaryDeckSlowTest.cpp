// A binary deck made by LibreOffice from a deck of our own goes through the whole batch with
// LibreOffice converting it back: it opens, compresses and is saved as .pptx.

#include "BatchFixture.h"
#include "PictureDeck.h"
#include "batch/BatchRun.h"
#include "office/OfficeProvider.h"
#include "office/binary/LibreOfficeConverter.h"
#include "platform/ChildProcess.h"

#include <gmock/gmock.h>
#include <regex>
#include <vips/vips8>

using ::testing::HasSubstr;

TEST_F(BatchFixture, ABinaryDeckIsConvertedCompressedAndSavedAsPptx) {
    if (platform::FindProgram("soffice").empty())
        GTEST_SKIP() << "soffice is not installed: the binary deck cannot be made or read";
    ASSERT_EQ(VIPS_INIT("test_batch"), 0);
    const std::string work = dir + "/converter-work";
    std::filesystem::create_directories(testsupport::PathOf(work));
    office::binary::ConverterSettings converter;
    converter.tempFolder = work;

    const std::string source = dir + "/source.pptx";
    BuildPictureDeck(source, dir, 2);
    const auto binary = office::binary::ConvertWithLibreOffice(source, "ppt", converter, nullptr, "test");
    const std::string deck = MakeFile("older deck.ppt", std::string(binary.begin(), binary.end()));
    ASSERT_EQ(Read(deck).substr(0, 4), std::string("\xD0\xCF\x11\xE0", 4));

    office::OfficeProvider provider("12.0", converter);
    engine::EngineContext real{host, config, exceptions, *registry, provider, state};
    config.ShowFileSize = 1;
    batch::BatchRun run(real);
    const auto summary = run.btnStart_Click(deck);
    ASSERT_EQ(summary.outcome, batch::RunOutcome::Finished) << host.log;
    ASSERT_EQ(summary.entries[0].result, "compressed") << host.log;
    const std::string output = summary.entries[0].output;
    EXPECT_TRUE(std::regex_match(output, std::regex(".*/older deck-圧縮前[0-9.]+KB\\.pptx"))) << output;
    EXPECT_LT(std::filesystem::file_size(testsupport::PathOf(output)),
              std::filesystem::file_size(testsupport::PathOf(deck)));
    EXPECT_THAT(host.log, HasSubstr(" に圧縮しました。PPTX形式で保存しました。"));
    EXPECT_EQ(summary.entries[0].shapesReplaced, 2) << host.log;

    office::OfficeProvider reader;
    auto pres = reader.CreatePowerPoint()->Presentations()->Open(output, true);
    EXPECT_EQ(pres->Slides()->Count(), 2);
    EXPECT_EQ(pres->DefaultSaveExtension(), "pptx");
    EXPECT_TRUE(std::filesystem::is_empty(work));
}
