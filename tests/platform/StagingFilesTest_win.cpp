// Staging names on Windows: what the program makes it can read back, also for Japanese targets,
// and a sweep removes only what a process that is gone (or a pid now another program's) left.

#include "WinTestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/StagingFiles.h"
#include "support/PrivateFolder_win.h"

#include <gtest/gtest.h>
#include <io.h>

namespace fs = std::filesystem;

namespace {

using testsupport::Scratch;
using testsupport::Touch;

std::string Named(DWORD pid, const std::string& rest) {
    return ".quarnel-save-" + std::to_string(pid) + "-" + rest;
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(platform::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Live stand-ins for the duration of a test: a helper of this project (its name starts with
// "quarnel") and a copy of it under another program's name, as if that pid had been reused.
struct Makers {
    explicit Makers(const Scratch& dir) {
        const std::string copy = dir / "sleeper.exe";
        CopyFileW(platform::Widen(testsupport::HelperPath()).c_str(), platform::Widen(copy).c_str(), FALSE);
        running = testsupport::StartHelper(testsupport::HelperPath(), "sleep 60000");
        other = testsupport::StartHelper(copy, "sleep 60000");
    }
    ~Makers() {
        testsupport::EndHelper(running);
        testsupport::EndHelper(other);
    }
    DWORD dead = testsupport::EndedPid();
    testsupport::Started running;
    testsupport::Started other;
};

} // namespace

TEST(StagingName, ReadsBackWhatItMadeForThisProcess) {
    const std::string made = platform::MakeStagingName(platform::kStagingGoal, "3", "deck-2 【圧縮】.pptx");
    EXPECT_EQ(made, ".quarnel-goal-" + std::to_string(GetCurrentProcessId()) + "-3-deck-2 【圧縮】.pptx");
    const auto parsed = platform::ParseStagingName(made);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->pid, static_cast<long>(GetCurrentProcessId()));
    EXPECT_EQ(parsed->target, "deck-2 【圧縮】.pptx");
    EXPECT_EQ(platform::WorkFolderPattern("quarnel-media-"),
              "quarnel-media-" + std::to_string(GetCurrentProcessId()) + "-XXXXXX");
    EXPECT_FALSE(platform::ParseStagingName(".quarnel-save-12-ab"));
    EXPECT_FALSE(platform::ParseStagingName(".quarnel-backup-12-ab-x"));
}

TEST(StagingName, ANewStagingFileSitsBesideItsJapaneseTarget) {
    Scratch dir("staging-資料");
    std::string first;
    std::string second;
    const int a = platform::CreateStagingFile(dir / "発表.pptx", platform::kStagingSave, first);
    const int b = platform::CreateStagingFile(dir / "発表.pptx", platform::kStagingSave, second);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(::_write(a, "abc", 3), 3);
    ::_close(a);
    ::_close(b);
    EXPECT_NE(first, second);
    EXPECT_EQ(platform::gFSO.GetParentFolderName(first), dir.path());
    EXPECT_EQ(testsupport::ReadText(first), "abc") << "the path names the file that was written";
    const auto parsed =
        platform::ParseStagingName(platform::PathToUtf8(platform::PathFromUtf8(first).filename()));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->kind, "save");
    EXPECT_EQ(parsed->pid, static_cast<long>(GetCurrentProcessId()));
    EXPECT_EQ(parsed->target, "発表.pptx");
    EXPECT_EQ(parsed->tag.size(), 6u);
    std::string none;
    EXPECT_LT(platform::CreateStagingFile(dir / "no\\発表.pptx", platform::kStagingSave, none), 0);
    EXPECT_TRUE(none.empty());
}

TEST(StagingSweep, RemovesOnlyFilesWhoseMakerIsGone) {
    Scratch dir("sweep");
    Makers makers(dir);
    ASSERT_NE(makers.running.process, nullptr);
    ASSERT_NE(makers.other.process, nullptr);
    EXPECT_TRUE(platform::StagingMakerGone(makers.dead));
    EXPECT_TRUE(platform::StagingMakerGone(makers.other.pid));
    EXPECT_FALSE(platform::StagingMakerGone(makers.running.pid));
    EXPECT_FALSE(platform::StagingMakerGone(GetCurrentProcessId()));

    const std::string dead = dir / Named(makers.dead, "a1B2c3-資料.pptx");
    const std::string deadGoal = dir / (".quarnel-goal-" + std::to_string(makers.dead) + "-2-deck.pptx");
    const std::string reused = dir / Named(makers.other.pid, "a1B2c3-deck.pptx");
    const std::string live = dir / Named(makers.running.pid, "a1B2c3-deck.pptx");
    const std::string mine = dir / Named(GetCurrentProcessId(), "a1B2c3-deck.pptx");
    const std::string oldStyle = dir / ".deck.pptx.a1B2c3";
    const std::string wrongKind = dir / (".quarnel-notes-" + std::to_string(makers.dead) + "-1-deck.pptx");
    const std::string folder = dir / Named(makers.dead, "a1B2c3-folder");
    for (const auto& path : {dead, deadGoal, reused, live, mine, oldStyle, wrongKind})
        Touch(path);
    // Someone made the dead maker's file read-only; it goes all the same.
    SetFileAttributesW(platform::Widen(deadGoal).c_str(), FILE_ATTRIBUTE_READONLY);
    fs::create_directory(platform::PathFromUtf8(folder));
    Touch(folder + "\\inside");

    EXPECT_EQ(platform::RemoveStaleStaging(platform::PathFromUtf8(dir.path())), 3u);
    for (const auto& gone : {dead, deadGoal, reused})
        EXPECT_FALSE(Exists(gone)) << gone;
    for (const auto& kept : {live, mine, oldStyle, wrongKind, folder + "\\inside"})
        EXPECT_TRUE(Exists(kept)) << kept;
    EXPECT_EQ(platform::RemoveStaleStaging(platform::PathFromUtf8(dir / "missing")), 0u);
}

TEST(StagingSweep, ASweepForOneTargetLeavesTheOthers) {
    Scratch dir("sweep-one");
    const DWORD dead = testsupport::EndedPid();
    const std::string ours = dir / Named(dead, "a1B2c3-設定.ini");
    const std::string another = dir / Named(dead, "a1B2c3-report.json");
    Touch(ours);
    Touch(another);
    // The next write of that file takes away what a killed write of it left.
    ASSERT_TRUE(platform::WriteFileAtomically(dir / "設定.ini", "[a]\n"));
    EXPECT_FALSE(Exists(ours));
    EXPECT_TRUE(Exists(another));
    EXPECT_EQ(platform::ReadWholeFile(dir / "設定.ini").bytes, "[a]\n");
}

TEST(StagingSweep, WorkFoldersOfAGoneRunGoWithEverythingInThem) {
    Scratch root("sweep-work");
    Makers makers(root);
    ASSERT_NE(makers.running.process, nullptr);
    const auto named = [&](DWORD pid) { return root / ("quarnel-media-" + std::to_string(pid) + "-a1B2c3"); };
    const std::string dead = named(makers.dead);
    const std::string reused = named(makers.other.pid);
    const std::string live = named(makers.running.pid);
    const std::string otherPrefix = root / ("quarnel-jobs-" + std::to_string(makers.dead) + "-a1B2c3");
    const std::string noPid = root / "quarnel-media-a1B2c3";
    const std::string file = root / ("quarnel-media-" + std::to_string(makers.dead) + "-d4E5f6");
    for (const auto& folder : {dead, reused, live, otherPrefix, noPid}) {
        fs::create_directory(platform::PathFromUtf8(folder));
        Touch(folder + "\\動画.mp4");
    }
    Touch(file);
    EXPECT_EQ(platform::RemoveStaleWorkFolders(platform::PathFromUtf8(root.path()), "quarnel-media-"), 2u);
    EXPECT_FALSE(Exists(dead));
    EXPECT_FALSE(Exists(reused));
    for (const auto& kept : {live, otherPrefix, noPid, file})
        EXPECT_TRUE(Exists(kept)) << kept;
}

// Only this user may enter it, whatever the parent admits.
TEST(WorkFolder, ANewWorkFolderIsNamedForTheSweepUnderAJapaneseParent) {
    Scratch root("work-資料");
    const fs::path parent = platform::PathFromUtf8(root.path());
    const fs::path first = platform::CreateWorkFolder(parent, "quarnel-media-");
    const fs::path second = platform::CreateWorkFolder(parent, "quarnel-media-");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const auto& made : {first, second}) {
        EXPECT_EQ(platform::PathToUtf8(made.parent_path()), root.path());
        const DWORD attributes = GetFileAttributesW(made.c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << platform::PathToUtf8(made);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(testsupport::OtherReaders(made), std::vector<std::string>{}) << platform::PathToUtf8(made);
        const std::string name = platform::PathToUtf8(made.filename());
        const std::string stem = "quarnel-media-" + std::to_string(GetCurrentProcessId()) + "-";
        ASSERT_EQ(name.size(), stem.size() + 6) << name;
        EXPECT_EQ(name.substr(0, stem.size()), stem);
        EXPECT_EQ(name.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
                                         stem.size()),
                  std::string::npos)
            << name;
    }
    Touch(platform::PathToUtf8(first / L"動画.mp4"));
    EXPECT_EQ(testsupport::ReadText(platform::PathToUtf8(first / L"動画.mp4")), "x");
    // This process is alive: a sweep leaves what it made.
    EXPECT_EQ(platform::RemoveStaleWorkFolders(parent, "quarnel-media-"), 0u);
    EXPECT_TRUE(Exists(platform::PathToUtf8(second)));
    EXPECT_TRUE(platform::CreateWorkFolder(parent / L"missing", "quarnel-media-").empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(parent), {}), 2);
}
