#include "platform/DataPaths.h"

#include "platform/Paths.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(DataPaths, BesideTheProgramFirstThenTheInstalledShareFolder) {
    char pattern[] = "/tmp/quarnel-data-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path prefix = pattern;
    const fs::path bin = prefix / "bin";
    fs::create_directories(bin);
    fs::create_directories(prefix / "share/quarnel/cores");
    std::ofstream(prefix / "share/quarnel/cores/Transcoding.ini") << "[x]";

    EXPECT_EQ(platform::DataFolders(bin.string()),
              (std::vector<std::string>{bin.string(), (prefix / "share/quarnel").string()}));
    EXPECT_EQ(platform::FindDataPath(bin.string(), "cores/Transcoding.ini"),
              (prefix / "share/quarnel/cores/Transcoding.ini").string());
    EXPECT_EQ(platform::FindDataPath(bin.string(), "help"), std::nullopt);

    // A build tree keeps its data beside the program; that copy wins.
    fs::create_directories(bin / "cores");
    std::ofstream(bin / "cores/Transcoding.ini") << "[y]";
    EXPECT_EQ(platform::FindDataPath(bin.string(), "cores/Transcoding.ini"),
              (bin / "cores/Transcoding.ini").string());
    fs::remove_all(prefix);
}

TEST(DataPaths, TheShippedObjectListSeedsTheConfigurationOnce) {
    char pattern[] = "/tmp/quarnel-oleini-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path prefix = pattern;
    fs::create_directories(prefix / "share/quarnel");
    std::ofstream(prefix / "share/quarnel/ole.ini") << "[shipped]\n";
    auto read = [](const fs::path& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // The program folder cannot take the file (here: it does not exist), so the configuration does.
    const std::string config = (prefix / "config/vodrik").string();
    const std::string path = platform::OleIniPath((prefix / "bin").string(), config);
    EXPECT_EQ(path, config + "/ole.ini");
    EXPECT_EQ(read(path), "[shipped]\n");
    std::ofstream(path) << "[mine]\n";
    platform::OleIniPath((prefix / "bin").string(), config);
    EXPECT_EQ(read(path), "[mine]\n");
    fs::remove_all(prefix);
}
