// Staging names: what the program makes it can read back, look-alikes it did not make are not its own,
// and a sweep removes only the files and folders whose maker is gone.

#include "platform/StagingFiles.h"

#include "platform/AtomicFile.h"
#include "tests/support/ProcessState.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Folder {
public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "quarnel-staging-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path operator/(const std::string& name) const { return fs::path(path_) / name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void Touch(const fs::path& path) {
    std::ofstream(path) << "x";
}

std::string Named(pid_t pid, const std::string& rest) {
    return ".quarnel-save-" + std::to_string(pid) + "-" + rest;
}

// Live stand-ins for the duration of a test.
struct Makers {
    Makers() : running(testsupport::StartStandIn(false)), other(testsupport::StartStandIn(true)) {}
    ~Makers() {
        testsupport::EndStandIn(running);
        testsupport::EndStandIn(other);
    }
    pid_t dead = testsupport::EndedPid();
    pid_t running;
    pid_t other;
};

} // namespace

TEST(StagingName, ReadsBackWhatItMadeAndNothingElse) {
    const std::string made = platform::MakeStagingName(platform::kStagingGoal, "3", "deck-2 【圧縮】.pptx");
    EXPECT_EQ(made, ".quarnel-goal-" + std::to_string(::getpid()) + "-3-deck-2 【圧縮】.pptx");
    const auto parsed = platform::ParseStagingName(made);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->kind, "goal");
    EXPECT_EQ(parsed->pid, ::getpid());
    EXPECT_EQ(parsed->tag, "3");
    EXPECT_EQ(parsed->target, "deck-2 【圧縮】.pptx");

    for (const char* lookAlike :
         {".quarnel-goal-notes.txt", ".quarnel-save-12-ab", ".quarnel-save-12-ab-", ".quarnel-save--ab-x",
          ".quarnel-save-1x2-ab-x", ".quarnel-save-12-a.b-x", ".quarnel-backup-12-ab-x",
          "quarnel-save-12-ab-x", ".deck.pptx.a1B2c3", ".deck.pptx.tmp-a1B2c3", ".quarnel-save-0-ab-x",
          ".quarnel-save-99999999999999999999-ab-x"})
        EXPECT_FALSE(platform::ParseStagingName(lookAlike)) << lookAlike;

    // A name near the file system's limit is cut, whole characters only, to stay a valid name.
    std::string longName;
    for (int k = 0; k < 90; ++k)
        longName += "あ";
    const std::string cut = platform::MakeStagingName(platform::kStagingSave, "XXXXXX", longName + ".pptx");
    EXPECT_LE(cut.size(), 255u);
    const auto parsedCut = platform::ParseStagingName(cut);
    ASSERT_TRUE(parsedCut);
    ASSERT_GT(parsedCut->target.size(), 5u);
    EXPECT_EQ(parsedCut->target.substr(parsedCut->target.size() - 5), ".pptx")
        << "the extension decides the format";
    EXPECT_EQ((parsedCut->target.size() - 5) % 3, 0u) << "a character was split";
    EXPECT_LT(parsedCut->target.size(), longName.size());
}

TEST(StagingName, ANewStagingFileIsHiddenBesideItsTargetAndNamedForThisProcess) {
    Folder dir;
    std::string first;
    std::string second;
    const int a = platform::CreateStagingFile((dir / "out.pptx").string(), platform::kStagingSave, first);
    const int b = platform::CreateStagingFile((dir / "out.pptx").string(), platform::kStagingSave, second);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ::close(a);
    ::close(b);
    EXPECT_NE(first, second);
    EXPECT_EQ(fs::path(first).parent_path(), fs::path(dir.path()));
    const auto parsed = platform::ParseStagingName(fs::path(first).filename().string());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->kind, "save");
    EXPECT_EQ(parsed->pid, ::getpid());
    EXPECT_EQ(parsed->target, "out.pptx");
    std::string none;
    EXPECT_LT(platform::CreateStagingFile((dir / "no" / "out.pptx").string(), platform::kStagingSave, none),
              0);
    EXPECT_TRUE(none.empty());
}

TEST(StagingSweep, RemovesOnlyFilesWhoseMakerIsGone) {
    Makers makers;
    ASSERT_GT(makers.running, 0);
    ASSERT_EQ(testsupport::ProcessName(makers.other), "sleep");
    EXPECT_TRUE(platform::StagingMakerGone(makers.dead));
    EXPECT_TRUE(platform::StagingMakerGone(makers.other));
    EXPECT_FALSE(platform::StagingMakerGone(makers.running));
    EXPECT_FALSE(platform::StagingMakerGone(::getpid()));

    Folder dir;
    const fs::path dead = dir / Named(makers.dead, "a1B2c3-deck.pptx");
    const fs::path deadGoal = dir / (".quarnel-goal-" + std::to_string(makers.dead) + "-2-deck.pptx");
    const fs::path reused = dir / Named(makers.other, "a1B2c3-deck.pptx");
    const fs::path live = dir / Named(makers.running, "a1B2c3-deck.pptx");
    const fs::path mine = dir / Named(::getpid(), "a1B2c3-deck.pptx");
    const fs::path oldStyle = dir / ".deck.pptx.a1B2c3";
    const fs::path wrongKind = dir / (".quarnel-notes-" + std::to_string(makers.dead) + "-1-deck.pptx");
    const fs::path folder = dir / Named(makers.dead, "a1B2c3-folder");
    const fs::path link = dir / Named(makers.dead, "a1B2c3-link");
    for (const auto& path : {dead, deadGoal, reused, live, mine, oldStyle, wrongKind})
        Touch(path);
    fs::create_directory(folder);
    Touch(folder / "inside");
    fs::create_symlink(oldStyle, link);

    EXPECT_EQ(platform::RemoveStaleStaging(dir.path()), 3u);
    for (const auto& gone : {dead, deadGoal, reused})
        EXPECT_FALSE(fs::exists(gone)) << gone;
    for (const auto& kept : {live, mine, oldStyle, wrongKind, folder / "inside"})
        EXPECT_TRUE(fs::exists(kept)) << kept;
    EXPECT_TRUE(fs::is_symlink(link)) << "only regular files are removed";
    EXPECT_EQ(platform::RemoveStaleStaging(dir / "missing"), 0u);
}

TEST(StagingSweep, ASweepForOneTargetLeavesTheOthers) {
    Folder dir;
    const pid_t dead = testsupport::EndedPid();
    const fs::path ours = dir / Named(dead, "a1B2c3-settings.ini");
    const fs::path another = dir / Named(dead, "a1B2c3-report.json");
    Touch(ours);
    Touch(another);
    // The next write of that file takes away what a killed write of it left.
    ASSERT_TRUE(platform::WriteFileAtomically((dir / "settings.ini").string(), "[a]\n"));
    EXPECT_FALSE(fs::exists(ours));
    EXPECT_TRUE(fs::exists(another));
    EXPECT_EQ(platform::ReadWholeFile((dir / "settings.ini").string()).bytes, "[a]\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
}

TEST(StagingSweep, WorkFoldersOfAGoneRunGoWithEverythingInThem) {
    Makers makers;
    ASSERT_GT(makers.running, 0);
    ASSERT_EQ(testsupport::ProcessName(makers.other), "sleep");
    Folder root;
    const std::string pattern = platform::WorkFolderPattern("quarnel-media-");
    EXPECT_EQ(pattern, "quarnel-media-" + std::to_string(::getpid()) + "-XXXXXX");
    const auto named = [](pid_t pid) { return "quarnel-media-" + std::to_string(pid) + "-a1B2c3"; };
    const fs::path dead = root / named(makers.dead);
    const fs::path reused = root / named(makers.other);
    const fs::path live = root / named(makers.running);
    const fs::path otherPrefix = root / ("quarnel-jobs-" + std::to_string(makers.dead) + "-a1B2c3");
    const fs::path noPid = root / "quarnel-media-a1B2c3";
    const fs::path file = root / ("quarnel-media-" + std::to_string(makers.dead) + "-d4E5f6");
    for (const auto& folder : {dead, reused, live, otherPrefix, noPid}) {
        fs::create_directory(folder);
        Touch(folder / "clip.mp4");
    }
    Touch(file);
    EXPECT_EQ(platform::RemoveStaleWorkFolders(root.path(), "quarnel-media-"), 2u);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(reused));
    for (const auto& kept : {live, otherPrefix, noPid, file})
        EXPECT_TRUE(fs::exists(kept)) << kept;
}

TEST(WorkFolder, ANewWorkFolderIsThisUsersAloneAndNamedForTheSweep) {
    Folder root;
    // With no umask to narrow it, the mode shows what the folder was created with.
    const mode_t previousMask = ::umask(0);
    const fs::path first = platform::CreateWorkFolder(root.path(), "quarnel-media-");
    const fs::path second = platform::CreateWorkFolder(root.path(), "quarnel-media-");
    ::umask(previousMask);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const auto& made : {first, second}) {
        EXPECT_EQ(made.parent_path(), fs::path(root.path()));
        ASSERT_TRUE(fs::is_directory(fs::symlink_status(made))) << made;
        EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;
        const std::string name = made.filename().string();
        const std::string stem = "quarnel-media-" + std::to_string(::getpid()) + "-";
        ASSERT_EQ(name.size(), stem.size() + 6) << name;
        EXPECT_EQ(name.substr(0, stem.size()), stem);
        EXPECT_EQ(name.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
                                         stem.size()),
                  std::string::npos)
            << name;
    }
    // A sweep leaves this live process's folders, and takes the one of a process that has ended.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(platform::CreateWorkFolder(root.path(), "quarnel-media-").empty() ? 1 : 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path()), {}), 3);
    EXPECT_EQ(platform::RemoveStaleWorkFolders(root.path(), "quarnel-media-"), 1u);
    EXPECT_TRUE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));

    errno = 0;
    EXPECT_TRUE(platform::CreateWorkFolder(root / "missing", "quarnel-media-").empty());
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path()), {}), 2);
}
