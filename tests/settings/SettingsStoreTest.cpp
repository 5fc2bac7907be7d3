#include "settings/SettingsStore.h"

#include "TempFolder.h"
#include "settings/Settings.h"
#include "settings/TargetSize.h"
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

TEST(TargetSizeText, ReadsKilobytesAndMegabytesIn1024s) {
    EXPECT_EQ(settings::ParseTargetSize("500KB"), 500u * 1024);
    EXPECT_EQ(settings::ParseTargetSize("10MB"), 10u * 1024 * 1024);
    EXPECT_EQ(settings::ParseTargetSize(" 9.5 mb "), 9u * 1024 * 1024 + 512 * 1024);
    for (const char* bad :
         {"", "0", "10", "0MB", "-1MB", "10XB", "MB", ".MB", "1.2.3MB", "1e3KB", "2000000MB"}) {
        EXPECT_EQ(settings::ParseTargetSize(bad), std::nullopt) << bad;
    }
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
    EXPECT_EQ(s.TargetSizeOn, 0);
    EXPECT_EQ(s.TargetSize, "10MB");
    EXPECT_EQ(s.TargetAllowObjects, 0);
    EXPECT_EQ(s.TargetAllowMedia, 0);
    EXPECT_EQ(s.TargetAllowFonts, 0);
    EXPECT_EQ(s.TargetAllowLayouts, 0);
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
    Put(store, "SubsetFonts", "1");
    Put(store, "RemoveUnusedLayouts", "7"); // not a check box state: the default
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
    EXPECT_EQ(s.SubsetFonts, 1);
    EXPECT_EQ(s.RemoveUnusedLayouts, 0);
}

TEST(SettingsStore, DeckSavingChoicesSurviveASaveAndLoad) {
    TempFolder dir;
    RegistryStore store(dir.path());
    Settings chosen;
    chosen.SubsetFonts = 1;
    chosen.RemoveUnusedLayouts = 1;
    settings::SaveSettings(chosen, store);
    Settings loaded;
    settings::LoadSettings(loaded, store, kDesktop);
    EXPECT_EQ(loaded.SubsetFonts, 1);
    EXPECT_EQ(loaded.RemoveUnusedLayouts, 1);
    EXPECT_EQ(Settings{}.SubsetFonts, 0); // both off unless asked for
    EXPECT_EQ(Settings{}.RemoveUnusedLayouts, 0);
}

TEST(SettingsStore, SizeGoalAndItsAllowedSavingsSurviveASaveAndLoad) {
    TempFolder dir;
    RegistryStore store(dir.path());
    Settings chosen;
    chosen.TargetSizeOn = 1;
    chosen.TargetSize = "9.5MB";
    chosen.TargetAllowObjects = 1;
    chosen.TargetAllowFonts = 1;
    settings::SaveSettings(chosen, store);
    EXPECT_EQ(Stored(store, "TargetSizeOn"), "1");
    EXPECT_EQ(Stored(store, "TargetSize"), "9.5MB");
    EXPECT_EQ(Stored(store, "TargetAllowObjects"), "1");
    EXPECT_EQ(Stored(store, "TargetAllowMedia"), "0");
    Settings loaded;
    loaded.TargetAllowMedia = 1; // what was there before the load does not count
    settings::LoadSettings(loaded, store, kDesktop);
    EXPECT_EQ(loaded.TargetSizeOn, 1);
    EXPECT_EQ(loaded.TargetSize, "9.5MB");
    EXPECT_EQ(loaded.TargetAllowObjects, 1);
    EXPECT_EQ(loaded.TargetAllowMedia, 0);
    EXPECT_EQ(loaded.TargetAllowFonts, 1);
    EXPECT_EQ(loaded.TargetAllowLayouts, 0);

    // Turned off again, the goal's text is kept for the next time it is turned on.
    loaded.TargetSizeOn = 0;
    loaded.TargetSize = "500kb";
    settings::SaveSettings(loaded, store);
    Settings again;
    settings::LoadSettings(again, store, kDesktop);
    EXPECT_EQ(again.TargetSizeOn, 0);
    EXPECT_EQ(again.TargetSize, "500kb");
}

TEST(SettingsStore, AGoalThatIsNotASizeIsNeitherLoadedNorSaved) {
    TempFolder dir;
    RegistryStore store(dir.path());
    Put(store, "TargetSizeOn", "1");
    Put(store, "TargetAllowLayouts", "2");
    for (const char* bad : {"10XB", "0", "-1MB", "10", " \r\n"}) {
        Put(store, "TargetSize", bad);
        Settings s;
        s.TargetSize = "1KB";
        settings::LoadSettings(s, store, kDesktop);
        EXPECT_EQ(s.TargetSize, "10MB") << bad;
        EXPECT_EQ(s.TargetSizeOn, 1);
        EXPECT_EQ(s.TargetAllowLayouts, 0);
    }
    Put(store, "TargetSize", " 700 KB ");
    Settings s;
    settings::LoadSettings(s, store, kDesktop);
    EXPECT_EQ(s.TargetSize, " 700 KB "); // applied as read, like the other texts

    // A text the window would not have taken keeps the stored goal.
    s.TargetSize = "12XB";
    settings::SaveSettings(s, store);
    EXPECT_EQ(Stored(store, "TargetSize"), " 700 KB ");
    s.TargetSize = "";
    settings::SaveSettings(s, store);
    EXPECT_EQ(Stored(store, "TargetSize"), " 700 KB ");
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
