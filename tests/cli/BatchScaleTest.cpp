// The parts of a large batch that need no deck: options, lists, folders, shards, progress.

#include "cli/BatchInputs.h"
#include "cli/BatchScaleOptions.h"
#include "cli/CliOptions.h"
#include "cli/InputFiles.h"
#include "cli/Progress.h"
#include "cli/Shard.h"
#include "settings/Settings.h"
#include "tests/support/WorkFolders.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A file below the folder as the program names it: UTF-8, in the system's separator.
std::string Under(const fs::path& folder, const std::string& relative) {
    return testsupport::Native(testsupport::Utf8(folder / relative));
}

TEST(BatchScaleOptions, AreReadAndKeptOutOfTheWorkersOptions) {
    const auto parsed = cli::ParseCommandLine({"--jobs", "3", "--format=jpeg", "--recursive", "--shard=2/5",
                                               "--skip-existing", "--quality", "2", "--files-from", "-", "-0",
                                               "--report", "r.json", "--overwrite", "a.pptx"});
    ASSERT_EQ(parsed.error, "");
    const cli::CliOptions& o = parsed.options;
    EXPECT_EQ(o.jobs, 3);
    EXPECT_TRUE(o.recursive);
    EXPECT_TRUE(o.skipExisting);
    EXPECT_TRUE(o.nulSeparated);
    EXPECT_EQ(o.filesFrom, "-");
    ASSERT_TRUE(o.shard);
    EXPECT_EQ(*o.shard, std::make_pair(2, 5));
    // A worker compresses exactly as asked, but gets its own report, list and job count.
    EXPECT_EQ(o.forwarded, (std::vector<std::string>{"--format=jpeg", "--quality", "2", "--overwrite"}));
    EXPECT_EQ(o.files, std::vector<std::string>{"a.pptx"});
}

TEST(BatchScaleOptions, ABareListNeedsNoFileButBadValuesAreRefused) {
    EXPECT_EQ(cli::ParseCommandLine({"--files-from", "list.txt"}).error, "");
    EXPECT_NE(cli::ParseCommandLine({"--recursive"}).error, "");
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--jobs", "0", "a.pptx"},
                                                                 {"--jobs", "x", "a.pptx"},
                                                                 {"--jobs"},
                                                                 {"--shard", "0/3", "a.pptx"},
                                                                 {"--shard", "4/3", "a.pptx"},
                                                                 {"--shard", "3", "a.pptx"},
                                                                 {"--recursive=yes", "a.pptx"},
                                                                 {"--files-from="}}) {
        EXPECT_NE(cli::ParseCommandLine(bad).error, "") << bad[0];
    }
    EXPECT_EQ(cli::ParseShard("5/5"), std::make_pair(5, 5));
    EXPECT_FALSE(cli::ParseShard("/5"));
}

TEST(FileList, LinesAndNulSeparatedEntries) {
    std::istringstream lines("a.pptx\r\n\nsub dir/b.pptx\nlast.pptx");
    EXPECT_EQ(cli::ReadFileList(lines, false),
              (std::vector<std::string>{"a.pptx", "sub dir/b.pptx", "last.pptx"}));
    // A NUL-separated list carries names with line breaks whole.
    std::istringstream nul(std::string("a\nb.pptx\0\0c.pptx\0", 17));
    EXPECT_EQ(cli::ReadFileList(nul, true), (std::vector<std::string>{"a\nb.pptx", "c.pptx"}));
}

TEST(FileList, FoldersYieldTheirPresentationsSortedWithoutHiddenNames) {
    const fs::path root = testsupport::MakeWorkFolder("quarnel-find-");
    for (const char* folder : {"b", "a/deep", ".hidden"}) {
        fs::create_directories(root / folder);
    }
    for (const char* file : {"b/x.PPTX", "a/deep/y.ppt", "a/z.pptx", "a/notes.txt", "a/.~tmp.pptx",
                             "a/~$z.pptx", ".hidden/w.pptx", "top.pptx", "b/show.ppsx", "b/macro.pptm",
                             "b/form.potx", "b/old.pps", "b/old.pot", "b/sheet.xlsx"}) {
        std::ofstream(root / file) << "x";
    }
    const auto found = cli::FindPresentations(root.string());
    EXPECT_EQ(found, (std::vector<std::string>{
                         Under(root, "a/deep/y.ppt"), Under(root, "a/z.pptx"), Under(root, "b/form.potx"),
                         Under(root, "b/macro.pptm"), Under(root, "b/old.pot"), Under(root, "b/old.pps"),
                         Under(root, "b/show.ppsx"), Under(root, "b/x.PPTX"), Under(root, "top.pptx")}));
    fs::remove_all(root);
}

TEST(FileList, ABinaryDecksOutputIsKnownByItsPackageName) {
    const fs::path root = testsupport::MakeWorkFolder("quarnel-binout-");
    const settings::Settings config;
    for (const char* file : {"old.ppt", "show.pps", "form.pot", "macro.pptm"}) {
        std::ofstream(root / file) << "x";
    }
    auto outputOf = [&](const char* file) {
        return testsupport::PathOf(cli::ExpectedOutputPath(config, Under(root, file)));
    };
    EXPECT_EQ(outputOf("old.ppt").extension(), ".pptx");
    EXPECT_EQ(outputOf("show.pps").extension(), ".ppsx");
    EXPECT_EQ(outputOf("form.pot").extension(), ".potx");
    EXPECT_EQ(outputOf("macro.pptm").extension(), ".pptm");
    // An earlier run wrote old.ppt's output: a second walk neither takes it as a deck nor redoes old.ppt.
    std::ofstream(outputOf("old.ppt")) << "x";
    cli::CliOptions options;
    options.files = {root.string()};
    options.recursive = true;
    options.skipExisting = true;
    std::istringstream none;
    const auto inputs = cli::CollectInputs(options, config, none);
    EXPECT_EQ(inputs.existing, std::vector<std::string>{Under(root, "old.ppt")});
    EXPECT_EQ(inputs.entries, (std::vector<std::string>{Under(root, "form.pot"), Under(root, "macro.pptm"),
                                                        Under(root, "show.pps")}));
    fs::remove_all(root);
}

TEST(Shards, EveryPathFallsInExactlyOneStableShard) {
    std::vector<std::string> paths;
    for (int i = 0; i < 500; ++i) {
        paths.push_back("/srv/share/dept" + std::to_string(i % 7) + "/deck " + std::to_string(i) + ".pptx");
    }
    for (const int n : {1, 3, 8}) {
        std::multiset<std::string> union_;
        for (int k = 1; k <= n; ++k) {
            const auto shard = cli::ShardPaths(paths, k, n);
            // Shards are not all piled into one.
            if (n > 1) {
                EXPECT_GT(shard.size(), paths.size() / (2 * static_cast<std::size_t>(n))) << k << "/" << n;
            }
            union_.insert(shard.begin(), shard.end());
        }
        EXPECT_EQ(union_, std::multiset<std::string>(paths.begin(), paths.end()));
    }
    // The shard of a path does not depend on the rest of the list, the run, or the machine.
    EXPECT_EQ(cli::PathHash("/srv/share/a.pptx"), 0xcbfff6aa77f9c123ULL);
    EXPECT_EQ(cli::ShardPaths({"/srv/share/a.pptx"}, cli::ShardOf("/srv/share/a.pptx", 8), 8).size(), 1u);
}

TEST(Progress, OneLineWithRunningSizes) {
    EXPECT_EQ(cli::ShortSize(512), "512 B");
    EXPECT_EQ(cli::ShortSize(1782442), "1.7 MB");
    EXPECT_EQ(cli::ShortSize(2.1 * 1024 * 1024 * 1024), "2.1 GB");
    EXPECT_EQ(cli::ShortSize(350.0 * 1024 * 1024), "350 MB");
    EXPECT_EQ(cli::ProgressLine(123, 5000, 2.1 * 1024 * 1024 * 1024, 1.3 * 1024 * 1024 * 1024,
                                "/srv/share/deck.pptx"),
              "[123/5000] 2.1 GB→1.3 GB  deck.pptx");
}

} // namespace
