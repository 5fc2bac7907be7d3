// File queries, atomic writes and the program's places on Windows, with names outside the ANSI
// code page so that a narrow conversion anywhere on the way shows up as a wrong or missing file.

#include "WinTestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/DataPaths.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

using platform::gFSO;
using platform::Widen;

namespace {

FILETIME ToFileTime(std::int64_t unixSeconds) {
    const std::uint64_t ticks = static_cast<std::uint64_t>(unixSeconds + 11644473600) * 10000000;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool SetDates(const std::string& path, std::int64_t created, std::int64_t accessed, std::int64_t modified) {
    const HANDLE file = CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const FILETIME c = ToFileTime(created);
    const FILETIME a = ToFileTime(accessed);
    const FILETIME m = ToFileTime(modified);
    const bool ok = SetFileTime(file, &c, &a, &m) != 0;
    CloseHandle(file);
    return ok;
}

// The names the system itself lists in the folder, as UTF-16.
std::vector<std::wstring> ListedNames(const std::string& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(Widen(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

} // namespace

TEST(FileSystem, NamePartsTakeDrivesBackslashesAndSharesApart) {
    EXPECT_EQ(gFSO.GetExtensionName("C:\\a\\b.c\\deck.PPTX"), "PPTX");
    EXPECT_EQ(gFSO.GetExtensionName("C:\\a\\b.c\\noext"), "");
    EXPECT_EQ(gFSO.GetBaseName("C:\\a\\b.c\\deck.final.pptx"), "deck.final");
    EXPECT_EQ(gFSO.GetBaseName("C:/tools/ffmpeg.exe"), "ffmpeg");
    EXPECT_EQ(gFSO.GetBaseName("D:資料.pptx"), "資料");
    EXPECT_EQ(gFSO.GetBaseName("C:\\"), "");
    EXPECT_EQ(gFSO.GetParentFolderName("C:\\a\\b\\c.pptx"), "C:\\a\\b");
    EXPECT_EQ(gFSO.GetParentFolderName("C:\\a\\b\\"), "C:\\a");
    EXPECT_EQ(gFSO.GetParentFolderName("C:/a/b.pptx"), "C:/a");
    EXPECT_EQ(gFSO.GetParentFolderName("C:\\a"), "C:\\");
    EXPECT_EQ(gFSO.GetParentFolderName("C:\\"), "");
    EXPECT_EQ(gFSO.GetParentFolderName("\\\\server\\share\\deck.pptx"), "\\\\server\\share\\");
    EXPECT_EQ(gFSO.GetParentFolderName("\\\\server\\share"), "");
    EXPECT_EQ(gFSO.GetParentFolderName("relative"), "");
    EXPECT_EQ(gFSO.GetParentFolderName("sub\\deck.pptx"), "sub");
    const std::string temp = gFSO.GetTempName();
    EXPECT_EQ(temp.size(), 12u);
    EXPECT_EQ(temp.substr(0, 3), "rad");
    EXPECT_EQ(temp.substr(8), ".tmp");
    EXPECT_TRUE(gFSO.FolderExists(gFSO.GetTempFolder()));
    EXPECT_NE(gFSO.GetTempFolder().back(), '\\');
}

TEST(FileSystem, JapaneseNamesSizesAndDates) {
    testsupport::Scratch dir("platform-資料");
    const std::string file = dir / "資料 1.pptx";
    ASSERT_TRUE(platform::WriteFileAtomically(file, "12345"));
    EXPECT_EQ(ListedNames(dir.path()), std::vector<std::wstring>{L"資料 1.pptx"});
    ASSERT_TRUE(gFSO.CreateFolder(dir / "フォルダ"));
    EXPECT_FALSE(gFSO.CreateFolder(dir / "フォルダ"));
    EXPECT_FALSE(gFSO.CreateFolder(dir / "x\\y")); // one level only
    EXPECT_TRUE(gFSO.FileExists(file));
    EXPECT_FALSE(gFSO.FileExists(dir / "フォルダ"));
    EXPECT_TRUE(gFSO.FolderExists(dir / "フォルダ"));
    EXPECT_FALSE(gFSO.FolderExists(file));
    EXPECT_EQ(gFSO.FileSize(file), 5u);
    EXPECT_THROW(gFSO.FileSize(dir / "missing"), std::runtime_error);
    EXPECT_THROW(gFSO.FileSize(dir / "フォルダ"), std::runtime_error);
    EXPECT_THROW(gFSO.GetFileDates(dir / "missing"), std::runtime_error);
    EXPECT_EQ(gFSO.FolderFiles(dir.path()), std::vector<std::string>{file});
    EXPECT_EQ(platform::ReadWholeFile(file).bytes, "12345");

    ASSERT_TRUE(SetDates(file, 900000000, 1000000000, 1200000000));
    const auto dates = gFSO.GetFileDates(file);
    EXPECT_EQ(dates.accessed.time_since_epoch(), std::chrono::seconds(1000000000));
    EXPECT_EQ(dates.modified.time_since_epoch(), std::chrono::seconds(1200000000));
    EXPECT_GT(dates.created.time_since_epoch(), std::chrono::seconds(0));

    EXPECT_TRUE(gFSO.DeleteFile(file));
    EXPECT_FALSE(gFSO.DeleteFile(file));
    EXPECT_FALSE(gFSO.DeleteFile(dir / "フォルダ")); // never a folder
    EXPECT_TRUE(gFSO.FolderExists(dir / "フォルダ"));
}

TEST(AtomicFile, ReplacesTheWholeFile) {
    testsupport::Scratch dir("atomic");
    const std::string path = dir / "出力.bin";
    EXPECT_EQ(platform::ReadWholeFile(path).status, platform::ReadStatus::Missing);
    EXPECT_EQ(platform::ReadWholeFile(dir / "no\\such\\file").status, platform::ReadStatus::Missing);
    ASSERT_TRUE(platform::WriteFileAtomically(path, std::string(200000, 'z')));
    ASSERT_TRUE(platform::WriteFileAtomically(path, std::string("a\0b", 3)));
    const auto read = platform::ReadWholeFile(path);
    EXPECT_EQ(read.status, platform::ReadStatus::Ok);
    EXPECT_EQ(read.bytes, std::string("a\0b", 3));
    EXPECT_EQ(ListedNames(dir.path()), std::vector<std::wstring>{L"出力.bin"}) << "a staging file was left";
    EXPECT_FALSE(platform::WriteFileAtomically(dir / "no\\such\\folder\\file", "x"));
    EXPECT_EQ(platform::ReadWholeFile(dir.path()).status, platform::ReadStatus::Failed);
}

// NTFS keeps a creation date of its own; Wine on a POSIX file system has none to set and reports
// the modification date instead, so there the test has nothing to check.
TEST(AtomicFile, TheCreationDateIsReadAndSurvivesAReplace) {
    testsupport::Scratch dir("atomic-dates");
    const std::string path = dir / "発表.pptx";
    ASSERT_TRUE(platform::WriteFileAtomically(path, "old"));
    ASSERT_TRUE(SetDates(path, 900000000, 1000000000, 1200000000));
    if (gFSO.GetFileDates(path).created.time_since_epoch() != std::chrono::seconds(900000000))
        GTEST_SKIP() << "this file system does not keep creation dates";
    ASSERT_TRUE(platform::WriteFileAtomically(path, "new"));
    const auto dates = gFSO.GetFileDates(path);
    EXPECT_EQ(dates.created.time_since_epoch(), std::chrono::seconds(900000000))
        << "the replaced file's creation date was lost";
    EXPECT_GT(dates.modified.time_since_epoch(), std::chrono::seconds(1200000000));
}

TEST(AtomicFile, AFileOpenForReadingIsStillReplaced) {
    testsupport::Scratch dir("atomic-open");
    const std::string path = dir / "settings.ini";
    ASSERT_TRUE(platform::WriteFileAtomically(path, "[old]\n"));
    // A reader that shares delete access (as ReadWholeFile does) does not block the save.
    const HANDLE reader =
        CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(platform::WriteFileAtomically(path, "[new]\n"));
    CloseHandle(reader);
    EXPECT_EQ(platform::ReadWholeFile(path).bytes, "[new]\n");
}

TEST(Paths, ShellFoldersAndTheObjectListFile) {
    const std::string desktop = platform::DesktopFolder();
    EXPECT_FALSE(desktop.empty());
    const std::string config = platform::ConfigFolder();
    EXPECT_EQ(config.substr(config.size() - 7), "\\vodrik");
    EXPECT_NE(config.find(':'), std::string::npos) << "not an absolute Windows path: " << config;

    testsupport::Scratch dir("paths-設定");
    const std::string program = dir / "bin";
    std::filesystem::create_directories(platform::PathFromUtf8(program));
    EXPECT_TRUE(platform::IsFolderWritable(program));
    EXPECT_EQ(ListedNames(program), std::vector<std::wstring>{}) << "the write test left its file";
    EXPECT_FALSE(platform::IsFolderWritable(dir / "missing"));
    EXPECT_FALSE(platform::IsFolderWritable(""));
    EXPECT_EQ(platform::OleIniPath(program, dir / "config\\vodrik"), program + "\\ole.ini");
    // A program folder that cannot take a file (here: one that does not exist) sends it to the
    // configuration, which starts from the shipped copy and is never replaced by it.
    const std::string shipped = dir / "share\\quarnel";
    std::filesystem::create_directories(platform::PathFromUtf8(shipped));
    ASSERT_TRUE(platform::WriteFileAtomically(shipped + "\\ole.ini", "[shipped]\n"));
    const std::string other = dir / "他\\vodrik";
    const std::string ini = platform::OleIniPath(dir / "missing-bin", other);
    EXPECT_EQ(ini, other + "\\ole.ini");
    EXPECT_EQ(platform::ReadWholeFile(ini).bytes, "[shipped]\n");
    ASSERT_TRUE(platform::WriteFileAtomically(ini, "[mine]\n"));
    platform::OleIniPath(dir / "missing-bin", other);
    EXPECT_EQ(platform::ReadWholeFile(ini).bytes, "[mine]\n");
    EXPECT_EQ(platform::JoinPath("C:\\a\\", "b"), "C:\\a\\b");
    EXPECT_EQ(platform::JoinPath("C:/a/", "b"), "C:/a/b");
    EXPECT_EQ(platform::JoinPath("C:\\a", "b"), "C:\\a\\b");
    EXPECT_TRUE(gFSO.FolderExists(gFSO.ProgramFolder()));
    EXPECT_TRUE(gFSO.FileExists(testsupport::HelperPath())) << "the program folder is the test's own";
}

// The rest of the program asks Qt for some of the same places; both must name the same folders.
TEST(Paths, QtAndThePlatformLayerAgreeOnTheDesktopAndTheProgramFolder) {
    int argc = 1;
    char name[] = "test_platform";
    char* argv[] = {name, nullptr};
    const QCoreApplication app(argc, argv);
    const auto native = [](const QString& path) { return QDir::toNativeSeparators(path).toStdString(); };
    EXPECT_EQ(native(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)),
              platform::DesktopFolder());
    EXPECT_EQ(native(QCoreApplication::applicationDirPath()), gFSO.ProgramFolder());
    EXPECT_EQ(native(QDir::tempPath()), gFSO.GetTempFolder());
}

TEST(DataPaths, BesideTheProgramFirstThenTheInstalledShareFolder) {
    testsupport::Scratch dir("data-データ");
    const std::string bin = dir / "bin";
    std::filesystem::create_directories(platform::PathFromUtf8(dir / "share\\quarnel\\cores"));
    std::filesystem::create_directories(platform::PathFromUtf8(bin));
    ASSERT_TRUE(platform::WriteFileAtomically(dir / "share\\quarnel\\cores\\Transcoding.ini", "[x]"));
    EXPECT_EQ(platform::DataFolders(bin), (std::vector<std::string>{bin, dir / "share\\quarnel"}));
    EXPECT_EQ(platform::FindDataPath(bin, "cores\\Transcoding.ini"),
              dir / "share\\quarnel\\cores\\Transcoding.ini");
    EXPECT_EQ(platform::FindDataPath(bin, "help"), std::nullopt);
    // A build tree keeps its data beside the program; that copy wins.
    std::filesystem::create_directories(platform::PathFromUtf8(bin + "\\cores"));
    ASSERT_TRUE(platform::WriteFileAtomically(bin + "\\cores\\Transcoding.ini", "[y]"));
    EXPECT_EQ(platform::FindDataPath(bin, "cores\\Transcoding.ini"), bin + "\\cores\\Transcoding.ini");
}
