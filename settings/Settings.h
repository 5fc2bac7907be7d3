#pragma once

// The user's choices, one field per stored value under SOFTWARE\VODRIK\quarnel\param.
// The windows' controls are views of these fields and edit them live; the engine and the batch
// read them when they need a value. The CLI fills the same record from the store and its flags.

#include <string>

namespace settings {

inline constexpr const char* kSettingsKey = "SOFTWARE\\VODRIK\\quarnel\\param";

struct Settings {
    int OLE = 0;          // chkObject: convert application objects
    int Movie = 0;        // chkMovie (read only at start)
    int SameFilename = 0; // combSameFilename: 0 ask, 1 always overwrite
    int KeepFileDate = 0; // chkKeepFileDate
    int ShowFileSize = 1; // chkFileSize
    int optPPTFolder = 0; // 0 the input's folder, 1 PPTFolder
    int optMovieFolder = 0;
    std::string PPTFolder;   // default: the desktop folder
    std::string MovieFolder; // default: the desktop folder
    int Format = 0;          // combFormat position 0..4
    int Ratio = 2;           // combRatio position 0..4
    std::string FileSize = "50";
    std::string ExpectRate = "75";
    std::string PixelSize = "50";
    int Twice = 1;         // chkTwice
    int DeckPictures = 1;  // chkDeckPictures: also recompress backgrounds, fills, layouts, masters
    int FormHeight = 6000; // twips
    int MovieTarget = 0;
    int MovieCond = 0;
    int Encode = -1;             // combType list index: the profile of Transcoding.ini (-1: the first)
    int MediaInDeck = 0;         // frmMovieOption: re-encode the movies and sound inside presentations too
    int SubsetFonts = 0;         // chkSubsetFonts: embedded fonts keep only the characters the deck uses
    int RemoveUnusedLayouts = 0; // chkRemoveUnusedLayouts: drop layouts and masters no slide uses
    // A size each deck is to come under (chkTargetSize, txtTargetSize): the mildest settings that reach
    // it are searched for. The text is as ParseTargetSize reads it ("500KB", "10MB", "9.5MB").
    int TargetSizeOn = 0;
    std::string TargetSize = "10MB";
    // The savings the search may add when the pictures alone do not reach the goal
    // (chkTargetAllow...): objects to pictures, media re-encoded, fonts subset, unused layouts removed.
    int TargetAllowObjects = 0;
    int TargetAllowMedia = 0;
    int TargetAllowFonts = 0;
    int TargetAllowLayouts = 0;
};

} // namespace settings
