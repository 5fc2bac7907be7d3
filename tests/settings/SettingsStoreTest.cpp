#include "settings/SettingsStore.h"

#include "TempFolder.h"
#include "settings/Settings.h"
#include "settings/TextUtil.h"
#include "settings/modRegAccess.h"

#include <gtest/gtest.h>

using settings::Hive;
using settings::kSettingsKey;
using settings::RegistryStore;
using settings::Settings;

namespace {

const std::string kDesktop = "/home/someone/デスクトップ";

void Put(RegistryStore& store, const char* name, const std::string& text) {
    store.WriteText(Hive::LocalMachine, kSettingsKey, name, text);
}

std::optional<std::string> Stored(RegistryStore& store, const char* name) {
    std::string text;
    if (!store.ReadValue(Hive::LocalMachine, kSettingsKey, name, text)) {
        return std::nullopt;
    }
    return text;
}

} // namespace

TEST(TextUtil, StripBlanksAndIntegers) {
    EXPECT_EQ(settings::StripBlanks(std::string(" a\r\n\0b c\t", 10)), "abc\t");
    EXPECT_EQ(settings::StripBlanks("　全角"), "　全角"); // double-byte blanks stay
    EXPECT_EQ(settings::ParseInt32(" 42 "), 42);
    EXPECT_EQ(settings::ParseInt32("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(settings::ParseInt32("2147483648"), std::nullopt);
    EXPECT_EQ(settings::ParseInt32("1.5"), std::nullopt);
    EXPECT_EQ(settings::ParseInt32("-"), std::nullopt);
    EXPECT_EQ(settings::ParseInt16("32767"), 32767);
    EXPECT_EQ(settings::ParseInt16("32768"), std::nullopt);
    EXPECT_EQ(settings::ToLowerText("EXCEL Ä"), "excel ä");
}

TEST(SettingsStore, FirstStartGivesEveryDefault) {
    TempFolder dir;
    RegistryStore store(dir.path());
    Settings s;
    s.OLE = 1;
    s.Ratio = 4;
    s.PPTFolder = "stale";
    s.FormHeight = 1;
    settings::LoadSettings(s, store, kDesktop);
    EXPECT_EQ(s.OLE, 0);
    EXPECT_EQ(s.Movie, 0);
    EXPECT_EQ(s.SameFilename, 0);
    EXPECT_EQ(s.KeepFileDate, 0);
    EXPECT_EQ(s.ShowFileSize, 1);
    EXPECT_EQ(s.optPPTFolder, 0);
    EXPECT_EQ(s.optMovieFolder, 0);
    EXPECT_EQ(s.PPTFolder, kDesktop);
    EXPECT_EQ(s.MovieFolder, kDesktop);
    EXPECT_EQ(s.Format, 0);
    EXPECT_EQ(s.Ratio, 2);
    EXPECT_EQ(s.FileSize, "50");
    EXPECT_EQ(s.ExpectRate, "75");
    EXPECT_EQ(s.PixelSize, "50");
    EXPECT_EQ(s.Twice, 1);
    EXPECT_EQ(s.DeckPictures, 1);
    EXPECT_EQ(s.FormHeight, 6000);
    EXPECT_EQ(s.MovieTarget, 0);
    EXPECT_EQ(s.MovieCond, 0);
}

TEST(SettingsStore, StoredTextsAreAppliedAsRead) {
    TempFolder dir;
    RegistryStore store(dir.path());
    Put(store, "Ratio", "0");
    Put(store, "Format", " 3 ");
    Put(store, "optPPTFolder", "2");
    Put(store, "optMovieFolder", "0");
    Put(store, "PPTFolder", " /out/folder ");
    Put(store, "ExpectRate", "33");
    Put(store, "FormHeight", "7200");
    Put(store, "MovieCond", "2");
    store.WriteNumber(Hive::LocalMachine, kSettingsKey, "OLE", 1); // a number stored by other means
    Settings s;
    settings::LoadSettings(s, store, kDesktop);
    EXPECT_EQ(s.Ratio, 0);
    EXPECT_EQ(s.Format, 3);
    EXPECT_EQ(s.optPPTFolder, 1);
    EXPECT_EQ(s.optMovieFolder, 0);
    EXPECT_EQ(s.PPTFolder, " /out/folder ");
    EXPECT_EQ(s.ExpectRate, "33");
    EXPECT_EQ(s.FormHeight, 7200);
    EXPECT_EQ(s.MovieCond, 2);
    EXPECT_EQ(s.OLE, 1);
}

TEST(SettingsStore, BlankAndUnusableValuesFallBackToDefaults) {
    TempFolder dir;
    RegistryStore store(dir.path());
    Put(store, "Ratio", " ");
    Put(store, "Format", "5");
    Put(store, "SameFilename", "-1");
    Put(store, "OLE", "2");
    Put(store, "ShowFileSize", "yes");
    Put(store, "Twice", "65537"); // fits 32 bits, not 16
    Put(store, "MovieTarget", "3");
    Put(store, "FormHeight", "tall");
    Put(store, "PPTFolder", std::string("\r\n \0", 4));
    Put(store, "FileSize", "\r\n");
    Settings s;
    settings::LoadSettings(s, store, kDesktop);
    EXPECT_EQ(s.Ratio, 2);
    EXPECT_EQ(s.Format, 0);
    EXPECT_EQ(s.SameFilename, 0);
    EXPECT_EQ(s.OLE, 0);
    EXPECT_EQ(s.ShowFileSize, 1);
    EXPECT_EQ(s.Twice, 1);
    EXPECT_EQ(s.MovieTarget, 0);
    EXPECT_EQ(s.FormHeight, 6000);
    EXPECT_EQ(s.PPTFolder, kDesktop);
    EXPECT_EQ(s.FileSize, "50");
}

TEST(SettingsStore, SaveWritesTextsAndKeepsStoredValuesForEmptyBoxes) {
    TempFolder dir;
    RegistryStore store(dir.path());
    Put(store, "ExpectRate", "25");
    Put(store, "PPTFolder", "/kept");
    Settings s;
    s.ExpectRate = "";
    s.PPTFolder = "";
    s.FileSize = "100";
    s.optPPTFolder = 1;
    s.Ratio = 4;
    s.Format = 2;
    s.OLE = 1;
    s.Twice = 0;
    s.DeckPictures = 0;
    s.FormHeight = 9000;
    s.MovieTarget = 2;
    s.MovieCond = 1;
    s.Encode = 2;
    s.MediaInDeck = 1;
    s.Movie = 1;
    s.optMovieFolder = 1;
    s.MovieFolder = "/movies";
    settings::SaveSettings(s, store);
    EXPECT_EQ(Stored(store, "ExpectRate"), "25");
    EXPECT_EQ(Stored(store, "PPTFolder"), "/kept");
    EXPECT_EQ(Stored(store, "FileSize"), "100");
    EXPECT_EQ(Stored(store, "PixelSize"), "50");
    EXPECT_EQ(Stored(store, "optPPTFolder"), "1");
    EXPECT_EQ(Stored(store, "Ratio"), "4");
    EXPECT_EQ(Stored(store, "Format"), "2");
    EXPECT_EQ(Stored(store, "OLE"), "1");
    EXPECT_EQ(Stored(store, "Twice"), "0");
    EXPECT_EQ(Stored(store, "DeckPictures"), "0");
    EXPECT_EQ(Stored(store, "FormHeight"), "9000");
    EXPECT_EQ(Stored(store, "Encode"), "2");
    EXPECT_EQ(Stored(store, "MediaInDeck"), "1");
    EXPECT_EQ(Stored(store, "MovieTarget"), "2");
    EXPECT_EQ(Stored(store, "MovieCond"), "1");
    EXPECT_EQ(Stored(store, "Movie"), std::nullopt);
    EXPECT_EQ(Stored(store, "optMovieFolder"), std::nullopt);
    EXPECT_EQ(Stored(store, "MovieFolder"), std::nullopt);

    // Restart: what was saved comes back; the unsaved movie choices return to their defaults.
    Settings again;
    settings::LoadSettings(again, store, kDesktop);
    EXPECT_EQ(again.ExpectRate, "25");
    EXPECT_EQ(again.PPTFolder, "/kept");
    EXPECT_EQ(again.optPPTFolder, 1);
    EXPECT_EQ(again.Ratio, 4);
    EXPECT_EQ(again.OLE, 1);
    EXPECT_EQ(again.Twice, 0);
    EXPECT_EQ(again.DeckPictures, 0);
    EXPECT_EQ(again.FormHeight, 9000);
    EXPECT_EQ(again.MovieTarget, 2);
    EXPECT_EQ(again.MovieCond, 1);
    EXPECT_EQ(again.Encode, 2); // the profile list's choice comes back now that the list has profiles
    EXPECT_EQ(again.MediaInDeck, 1);
    EXPECT_EQ(again.Movie, 0);
    EXPECT_EQ(again.optMovieFolder, 0);
    EXPECT_EQ(again.MovieFolder, kDesktop);
}

TEST(SettingsStore, MovieValuesPlacedByOtherMeansAreHonoured) {
    TempFolder dir;
    RegistryStore store(dir.path());
    Put(store, "Movie", "1");
    Put(store, "optMovieFolder", "1");
    Put(store, "MovieFolder", "/elsewhere");
    Settings s;
    settings::LoadSettings(s, store, kDesktop);
    EXPECT_EQ(s.Movie, 1);
    EXPECT_EQ(s.optMovieFolder, 1);
    EXPECT_EQ(s.MovieFolder, "/elsewhere");
    s.Movie = 0;
    settings::SaveSettings(s, store);
    EXPECT_EQ(Stored(store, "Movie"), "1");
}
