#pragma once

// Hidden files a save writes beside its target before renaming them into place. A process killed
// in the middle leaves one behind; its name says who made it, ".quarnel-<kind>-<pid>-<tag>-<name>",
// so that a later run can tell the maker is gone and remove it, and leave everything else alone.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The kinds of staging file the program makes. "save": a package save or an atomic file write;
// "goal": one step of the size-goal search; "encode": a movie encoder's output.
inline constexpr std::string_view kStagingSave = "save";
inline constexpr std::string_view kStagingGoal = "goal";
inline constexpr std::string_view kStagingEncode = "encode";

struct StagingName {
    std::string kind;
    long pid = 0;
    std::string tag;    // letters and digits the maker chose: random, or a step number
    std::string target; // the file name it stands in for
};

// The id this process's staging names and work folders carry.
long CurrentProcessId();

// This process's staging name for targetName; tag holds letters and digits only.
std::string MakeStagingName(std::string_view kind, std::string_view tag, std::string_view targetName);
// The parts of a name MakeStagingName could have made; nothing for any other name.
std::optional<StagingName> ParseStagingName(std::string_view fileName);

// Creates a new staging file for target, in target's folder, with a random tag; the descriptor is
// open for writing (close-on-exec), or -1 with errno set. path receives the file's path.
int CreateStagingFile(const std::string& target, std::string_view kind, std::string& path);

// Whether the process that made a staging file can no longer be writing it: no process has that
// pid, or the one that has it now is not this program (the pid was reused). A live process of this
// program counts as the maker, and so does one whose name cannot be read.
bool StagingMakerGone(long pid);

// The folder work folders go under: $TMPDIR when it is an absolute path, else /tmp; on Windows the
// user's temporary folder.
std::filesystem::path WorkFolderRoot();
// The name of a process's private work folder under the temporary folder, "<prefix><pid>-XXXXXX"
// as mkdtemp wants it.
std::string WorkFolderPattern(std::string_view prefix);
// Creates a new work folder of WorkFolderPattern's form in parent, the X replaced by six random
// letters and digits, that only this user may enter (mode 0700 on POSIX; on Windows an access list
// of this user alone, which what is made in it inherits); its path, or an empty path when it cannot
// be made (errno set on POSIX). The caller removes it when done.
std::filesystem::path CreateWorkFolder(const std::filesystem::path& parent, std::string_view prefix);

// Removes the staging files in folder whose maker is gone, of every kind, or, with targetName, only
// those standing in for that name. Only regular files are removed; returns how many were.
std::size_t RemoveStaleStaging(const std::filesystem::path& folder, std::string_view targetName = {});
// Whether folderName has WorkFolderPattern's form for prefix and its maker is gone.
bool IsStaleWorkFolderName(std::string_view prefix, std::string_view folderName);
// Removes the work folders under root, named after prefix, whose maker is gone.
std::size_t RemoveStaleWorkFolders(const std::filesystem::path& root, std::string_view prefix);

} // namespace platform
