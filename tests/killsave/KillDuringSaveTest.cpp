// quarnel-cli and the window killed with SIGKILL while they write a large deck. Whenever the kill
// lands, no file carries the output's name unless it is whole; the staging files the killed run left
// go with the next run on that folder, and files the program did not make, or a live run's, stay.

#ifdef _WIN32
#include <gtest/gtest.h>

TEST(KillDuringSave, CommandLine) {
    GTEST_SKIP() << "the runs are forked and killed with SIGKILL, and a live run is a renamed fork";
}

#ifdef QUARNEL_GUI_PATH
TEST(KillDuringSave, Window) {
    GTEST_SKIP() << "the runs are forked and killed with SIGKILL, and a live run is a renamed fork";
}
#endif
#else
#include "office/package/OpcTypes.h"
#include "office/package/Package.h"
#include "platform/StagingFiles.h"
#include "tests/support/ProcessState.h"
#include "tests/support/WorkFolders.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace pkg = office::package;
using Clock = std::chrono::steady_clock;

constexpr int kSlides = 6;
constexpr int kMovies = 12;
constexpr std::size_t kMovieBytes = 8u << 20;

// The large deck: the sample deck's photo slides, which compress, so that an output is kept, and
// movies of incompressible bytes the run leaves as they are: about 100 MB to write, more than the
// package writer takes in one run, so that the staging file grows in steps.
void MakeLargeDeck(const fs::path& path) {
    const fs::path photos = path.parent_path() / "photos.pptx";
    const std::string command = std::string(QUARNEL_SAMPLE_MAKER) + " '" + photos.string() + "' " +
                                std::to_string(kSlides) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto deck = pkg::Package::Open(photos.string());
    std::mt19937_64 random(7);
    for (int k = 1; k <= kMovies; ++k) {
        pkg::Bytes bytes(kMovieBytes);
        for (std::size_t at = 0; at < bytes.size(); at += 8) {
            const std::uint64_t word = random();
            for (int b = 0; b < 8; ++b)
                bytes[at + b] = static_cast<std::uint8_t>(word >> (8 * b));
        }
        const std::string part = "/ppt/media/movie" + std::to_string(k) + ".mp4";
        deck->AddPart(part, "video/mp4", std::move(bytes));
        deck->AddRelationship("/ppt/slides/slide" + std::to_string(1 + (k - 1) % kSlides) + ".xml",
                              pkg::reltype::kVideo, part);
    }
    deck->SaveAs(path.string());
    fs::remove(photos);
}

// A whole output: the package reader opens it, and every slide and movie is there.
void ExpectWholeDeck(const fs::path& path) {
    std::unique_ptr<pkg::Package> deck;
    try {
        deck = pkg::Package::Open(path.string());
    } catch (const std::exception& error) {
        ADD_FAILURE() << path << " carries the output's name but does not open: " << error.what();
        return;
    }
    EXPECT_EQ(deck->RelationshipsOfType(deck->MainPartName(), pkg::reltype::kSlide).size(),
              static_cast<std::size_t>(kSlides))
        << path;
    for (int k = 1; k <= kMovies; ++k)
        EXPECT_EQ(deck->PartBytes("/ppt/media/movie" + std::to_string(k) + ".mp4").size(), kMovieBytes)
            << path;
}

enum class Moment {
    Staged,      // the staging file has appeared: the writer is still packing the first run
    SecondRun,   // the first run is written, the second not yet
    LastBytes,   // the last run is being written
    OutputPlaced // the output has its name
};

const char* MomentName(Moment m) {
    switch (m) {
    case Moment::Staged:
        return "staged";
    case Moment::SecondRun:
        return "second run";
    case Moment::LastBytes:
        return "last bytes";
    case Moment::OutputPlaced:
        return "output placed";
    }
    return "";
}

// One folder per kill: the deck, and beside it the runs' settings and temporary folder.
struct Case {
    fs::path root;
    fs::path folder; // the input's and the output's
    fs::path temp;
    fs::path input;
};

struct Look {
    std::vector<fs::path> staging;     // the process's own staging files beside the output
    std::vector<fs::path> tempStaging; // and in the temporary folder (its probes)
    std::uintmax_t largest = 0;        // of those beside the output
    std::optional<fs::path> output;
    std::vector<fs::path> All() const {
        std::vector<fs::path> all = staging;
        all.insert(all.end(), tempStaging.begin(), tempStaging.end());
        return all;
    }
};

Look LookAt(const Case& c, pid_t pid) {
    Look look;
    const std::string ours = ".quarnel-save-" + std::to_string(pid) + "-";
    std::error_code ec;
    for (fs::directory_iterator it(c.folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(ours, 0) == 0) {
            look.staging.push_back(it->path());
            std::error_code sizeError;
            const auto size = fs::file_size(it->path(), sizeError);
            if (!sizeError && size > look.largest)
                look.largest = size;
        } else if (name.front() != '.' && it->path() != c.input) {
            look.output = it->path();
        }
    }
    for (fs::directory_iterator it(c.temp, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().rfind(ours, 0) == 0)
            look.tempStaging.push_back(it->path());
    return look;
}

bool Reached(Moment moment, const Look& look) {
    switch (moment) {
    case Moment::Staged:
        return !look.staging.empty();
    case Moment::SecondRun:
        return look.largest >= kMovieBytes * kMovies / 4;
    case Moment::LastBytes:
        return look.largest >= kMovieBytes * kMovies * 3 / 4;
    case Moment::OutputPlaced:
        return look.output.has_value();
    }
    return false;
}

class KillDuringSave : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        deckFolder_ = testsupport::MakeWorkFolder("quarnel-kill-deck-").string();
        MakeLargeDeck(fs::path(deckFolder_) / "deck.pptx");
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(deckFolder_, ec);
    }
    void TearDown() override {
        for (const auto& c : cases_) {
            std::error_code ec;
            fs::remove_all(c.root, ec);
        }
    }

    Case NewCase() {
        Case c;
        c.root = testsupport::MakeWorkFolder("quarnel-kill-");
        c.folder = c.root / "decks";
        c.temp = c.root / "tmp";
        fs::create_directories(c.folder);
        fs::create_directories(c.temp);
        c.input = c.folder / "deck.pptx";
        fs::copy_file(fs::path(deckFolder_) / "deck.pptx", c.input);
        cases_.push_back(c);
        return c;
    }

    // The program on the case's deck, in the deck's folder, with the case's own settings store and
    // temporary folder; its output goes nowhere.
    static pid_t Start(const Case& c, bool window) {
#ifdef QUARNEL_GUI_PATH
        const std::string gui = QUARNEL_GUI_PATH;
#else
        const std::string gui; // a build without the window runs the command-line case only
#endif
        std::vector<std::string> args = window ? std::vector<std::string>{gui, c.input.string()}
                                               : std::vector<std::string>{QUARNEL_CLI_PATH, "--jobs", "1",
                                                                          "--overwrite", c.input.string()};
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("TMPDIR=", 0) != 0 && entry.rfind("QUARNEL_REGISTRY_DIR=", 0) != 0 &&
                entry.rfind("XDG_CONFIG_HOME=", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0)
                env.push_back(entry);
        }
        env.push_back("TMPDIR=" + c.temp.string());
        env.push_back("QUARNEL_REGISTRY_DIR=" + (c.root / "registry").string());
        env.push_back("XDG_CONFIG_HOME=" + (c.root / "config").string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string folder = c.folder.string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null < 0 || ::chdir(folder.c_str()) != 0)
                ::_exit(127);
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        return pid;
    }

    struct Killed {
        pid_t pid = -1;
        bool killedWhileRunning = false;
        Look atKill;
    };

    // Starts the program and kills it once the moment has come (or, should the writer be quicker than
    // the look, once its output has its name).
    static Killed RunAndKill(const Case& c, bool window, Moment moment) {
        Killed k;
        k.pid = Start(c, window);
        EXPECT_GT(k.pid, 0);
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (Clock::now() < deadline) {
            const Look look = LookAt(c, k.pid);
            if (Reached(moment, look) || look.output) {
                k.killedWhileRunning = ::kill(k.pid, SIGKILL) == 0;
                k.atKill = look;
                break;
            }
            int status = 0;
            if (::waitpid(k.pid, &status, WNOHANG) == k.pid) {
                ADD_FAILURE() << "the run ended by itself before it was killed, status " << status;
                return k;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        int status = 0;
        ::waitpid(k.pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
        return k;
    }

    // A run to its end: the command line exits, the window is ended once its output is whole and none
    // of its staging files is left (it stays open after a run).
    static void RunToEnd(const Case& c, bool window) {
        const pid_t pid = Start(c, window);
        ASSERT_GT(pid, 0);
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        int status = 0;
        bool ended = false;
        while (Clock::now() < deadline && !ended) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                ended = true;
                break;
            }
            if (window) {
                const Look look = LookAt(c, pid);
                if (look.output && look.All().empty()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    break;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        if (!window) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        }
        const Look look = LookAt(c, pid);
        for (const auto& left : look.All())
            ADD_FAILURE() << "a finished run leaves " << left;
        ASSERT_TRUE(look.output) << "the run to the end wrote no output";
        ExpectWholeDeck(*look.output);
    }

    // Kills at each moment; after every kill checks the folder, then lets a run to the end clean up.
    void KillAtEveryMoment(bool window) {
        const pid_t liveRun = testsupport::StartStandIn(false, "quarnel-cli");
        ASSERT_GT(liveRun, 0);
        int killedMidWrite = 0;
        for (const Moment moment :
             {Moment::Staged, Moment::SecondRun, Moment::LastBytes, Moment::OutputPlaced}) {
            SCOPED_TRACE(MomentName(moment));
            const Case c = NewCase();
            const Killed k = RunAndKill(c, window, moment);
            const Look after = LookAt(c, k.pid);
            if (after.output)
                ExpectWholeDeck(*after.output);
            if (moment == Moment::Staged || moment == Moment::SecondRun) {
                EXPECT_TRUE(k.killedWhileRunning);
                EXPECT_FALSE(after.output) << "killed before the output was whole, yet it has its name";
                EXPECT_FALSE(after.staging.empty()) << "the kill left no staging file: it missed the write";
            }
            killedMidWrite += !after.staging.empty() && !after.output ? 1 : 0;
            std::cout << (window ? "window" : "command line") << ", " << MomentName(moment) << ": killed at "
                      << k.atKill.largest << " bytes staged, left " << after.staging.size()
                      << " beside the output and " << after.tempStaging.size()
                      << " in the temporary folder, output " << (after.output ? "whole" : "absent") << "\n";
            for (const auto& left : after.All())
                EXPECT_TRUE(platform::ParseStagingName(left.filename().string())) << left;

            // Beside what the killed run left: names the program does not make, and a live run's.
            const std::vector<fs::path> strangers{
                c.folder / ".deck.pptx.a1B2c3", c.folder / ".quarnel-save-notes.pptx",
                c.folder / (".quarnel-save-" + std::to_string(liveRun) + "-a1B2c3-deck.pptx"),
                c.temp / (".quarnel-save-" + std::to_string(liveRun) + "-d4E5f6-probe.pptx")};
            for (const auto& path : strangers)
                std::ofstream(path) << "not the killed run's";
            // The window asks before it overwrites; a whole output was checked above and may go.
            if (window && after.output)
                fs::remove(*after.output);

            RunToEnd(c, window);
            for (const auto& left : after.All())
                EXPECT_FALSE(fs::exists(left)) << "the next run left " << left;
            for (const auto& path : strangers)
                EXPECT_TRUE(fs::exists(path)) << "the next run removed " << path;
        }
        testsupport::EndStandIn(liveRun);
        EXPECT_GE(killedMidWrite, 2);
    }

    static inline std::string deckFolder_;
    std::vector<Case> cases_;
};

TEST_F(KillDuringSave, CommandLine) {
    KillAtEveryMoment(false);
}

#ifdef QUARNEL_GUI_PATH
TEST_F(KillDuringSave, Window) {
    KillAtEveryMoment(true);
}
#endif

} // namespace
#endif
