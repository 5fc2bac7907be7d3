#pragma once

// The encoder profiles of movie and audio files: which extensions are movies, which are sound, and
// the profile file "cores/Transcoding.ini" that holds the command templates of every profile.

#include <optional>
#include <string>
#include <vector>

namespace batch {

inline constexpr const char* kTranscodingIniName = "cores/Transcoding.ini";

struct EncoderProfile {
    std::string Name;
    std::vector<std::string> Commands; // indices 0..10 consulted; a blank template ends the list
};

// Containers treated as movies (the movie table applies to them).
const std::vector<std::string>& DefaultMovieExtensions();
// Sound files the general table is made for.
const std::vector<std::string>& GeneralExtensions();

struct MovieProfiles {
    std::vector<std::string> MovieExtensions = DefaultMovieExtensions();
    std::vector<EncoderProfile> MovieProfileTable;
    std::vector<EncoderProfile> GeneralProfileTable;
};

// True for the lower-cased extensions a run takes as a movie or sound entry.
bool IsMediaEntryExtension(const std::string& lowerExtension);

// The profile file beside the program, else the installed copy (<prefix>/share/quarnel/cores/...);
// the first candidate when neither exists, so that a message can name it.
std::string TranscodingIniPath(const std::string& programFolder);

// Reads both tables. Layout: sections [MovieProfileN] and [GeneralProfileN], N counting from 0 without
// gaps, each with Name= and Command0= to Command10=; values are taken as written (enclosing quotes
// are part of a command). On a missing or damaged file the tables are left empty and the reason is
// returned (Japanese, for the log).
std::optional<std::string> LoadTranscodingProfiles(const std::string& path, MovieProfiles& profiles);

// The movie table's names, in order (what the profile list shows).
std::vector<std::string> ProfileNames(const MovieProfiles& profiles);
// The index of the profile named name, or of the decimal index text; nullopt when neither fits.
std::optional<int> FindProfile(const MovieProfiles& profiles, const std::string& nameOrIndex);

} // namespace batch
