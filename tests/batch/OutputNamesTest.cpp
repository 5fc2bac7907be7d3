#include "batch/OutputNames.h"

#include "BatchFixture.h"

#include <stdexcept>

using testsupport::Native;

TEST(OutputNames, FolderGetsExactlyOneSeparator) {
    std::string a = "/data/out";
    std::string b = "/data/out/";
    std::string c = "C:\\out";
    EXPECT_EQ(batch::NormalizeFolderPath(a), Native("/data/out/"));
    EXPECT_EQ(a, Native("/data/out/"));
    EXPECT_EQ(batch::NormalizeFolderPath(b), Native("/data/out/"));
    EXPECT_EQ(batch::NormalizeFolderPath(c), Native("C:\\out/"));
}

TEST(OutputNames, PresentationAndMovieBases) {
    settings::Settings s;
    s.ShowFileSize = 1;
    s.optPPTFolder = 0;
    EXPECT_EQ(batch::MakePresentationOutputBase(s, "/work", "deck", 3500000, "KB"),
              Native("/work/deck-圧縮前3418KB"));
    EXPECT_EQ(batch::MakePresentationOutputBase(s, "/work", "deck", 3500000, "MB"),
              Native("/work/deck-圧縮前3MB"));
    EXPECT_EQ(batch::MakePresentationOutputBase(s, "/work", "deck", 3500000, "GB"),
              Native("/work/deck-圧縮前"));
    s.optPPTFolder = 1;
    s.PPTFolder = "/out";
    EXPECT_EQ(batch::MakePresentationOutputBase(s, "/work", "deck", 512, "KB"),
              Native("/out/deck-圧縮前0.5KB"));
    s.PPTFolder = "/out/";
    s.ShowFileSize = 0;
    EXPECT_EQ(batch::MakePresentationOutputBase(s, "/work", "deck", 512, "KB"), Native("/out/deck【圧縮】"));
    s.ShowFileSize = 1;
    EXPECT_EQ(batch::MakeMovieOutputBase(s, "/work/", "clip", 524288), Native("/work/clip【圧縮前0.5MB】"));
    s.optMovieFolder = 1;
    s.MovieFolder = "/movies";
    s.ShowFileSize = 0;
    EXPECT_EQ(batch::MakeMovieOutputBase(s, "/work", "clip", 524288), Native("/movies/clip【圧縮】"));
}

TEST(OutputNames, EachOutputFolderOnceWhereverItsEntriesComeFrom) {
    settings::Settings s;
    s.optPPTFolder = 0;
    s.optMovieFolder = 1;
    s.MovieFolder = "/movies";
    EXPECT_EQ(
        batch::OutputFolders(s, {"/a/one.pptx", "/b/two.PPTX", "/a/three.ppt", "/a/clip.mp4", "/b/x.wav"}),
        (std::vector<std::string>{Native("/a/"), Native("/b/"), Native("/movies/")}));
    s.optPPTFolder = 1;
    s.PPTFolder = "/out";
    EXPECT_EQ(batch::OutputFolders(s, {"/a/one.pptx", "/b/two.pptx"}),
              (std::vector<std::string>{Native("/out/")}));
}

TEST(OutputNames, MovieExtensionsCompareLowerCased) {
    const std::vector<std::string> known{"mp4", "wmv"};
    EXPECT_TRUE(batch::IsMovieExtension(known, "MP4"));
    EXPECT_FALSE(batch::IsMovieExtension(known, "mp"));
    EXPECT_THROW(batch::IsMovieExtension({}, "mp4"), std::logic_error);
}

class SameName : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        existing = MakeFile("deck-圧縮前2KB.pptx", "old output");
        base = testsupport::Native(dir + "/deck-圧縮前2KB");
        app = std::make_shared<fake::Application>(office.journal, office.script);
        state.appPPT = app;
        state.gOfficeXPMode = true;
    }
    std::string existing;
    std::string base;
    std::shared_ptr<fake::Application> app;
};

TEST_F(SameName, NoQuestionWhenFreeOrAlwaysOverwrite) {
    EXPECT_EQ(batch::ResolvePresentationName(*ctx, dir + "/fresh", "pptx"), dir + "/fresh.pptx");
    config.SameFilename = 1;
    EXPECT_EQ(batch::ResolvePresentationName(*ctx, base, "pptx"), existing);
    EXPECT_EQ(batch::ResolveMovieName(*ctx, base, "pptx"), base);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SameName, YesOverwritesAfterMinimising) {
    host.answers = {engine::MessageResult::Yes};
    EXPECT_EQ(batch::ResolvePresentationName(*ctx, base, "pptx"), existing);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "同一出力ﾌｧｲﾙが存在します:" + existing +
                  "\r\n\r\n上書きしますか？   ( はい→上書き、いいえ→別名で保存、キャンセル→圧縮しない )");
    EXPECT_EQ(host.messages[0].buttons, engine::MessageButtons::YesNoCancel);
    EXPECT_EQ(host.messages[0].icon, engine::MessageIcon::Exclamation);
    EXPECT_EQ(app->windowState, 2);
}

TEST_F(SameName, NoWithNewNameThenEmptyNameAsksAgain) {
    host.answers = {engine::MessageResult::No};
    host.typed = {std::string(dir + "/renamed")};
    EXPECT_EQ(batch::ResolvePresentationName(*ctx, base, "pptx"), dir + "/renamed.pptx");
    ASSERT_EQ(host.inputPrompts.size(), 1u);
    EXPECT_EQ(host.inputPrompts[0], "新しいパス名(拡張子を除く)を入力してください||" + base + "-");

    host.messages.clear();
    host.answers = {engine::MessageResult::No, engine::MessageResult::Cancel};
    host.typed = {std::string()};
    EXPECT_EQ(batch::ResolvePresentationName(*ctx, base, "pptx"), "");
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(SameName, MovieQuestionAndOlderModeMinimisesTheSheetToo) {
    state.gOfficeXPMode = false;
    auto excel = std::make_shared<fake::Excel>(office.journal);
    state.appEXCEL = excel;
    host.answers = {engine::MessageResult::Cancel};
    EXPECT_EQ(batch::ResolveMovieName(*ctx, base, "pptx"), "");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("、、キャンセル"), std::string::npos);
    EXPECT_EQ(excel->windowState, -4140);
}
