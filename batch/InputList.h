#pragma once

// Turning the input list's text into entries, and refusing a list with an entry that cannot be run.

#include <optional>
#include <string>
#include <vector>

namespace batch {

inline constexpr const char* kMsgNoInput = "パワーポイントファイルまたは動画ファイルを指定してください";
inline constexpr const char* kMsgFolderGiven = "フォルダ名は指定できません：";
inline constexpr const char* kMsgMissingInput = "入力ファイルが存在しません：";
inline constexpr const char* kMsgNotPresentation = "パワーポイントファイルではありません：";

// True when the text holds nothing but blanks.
bool IsBlankText(const std::string& text);

// Entries in order: empty lines and leading blanks vanish, blanks inside a path stay, an entry
// ended by a line break is trimmed of blanks, and the last entry keeps its trailing blanks.
// A carriage return ends an entry; so does a line feed that follows text (the line end here).
std::vector<std::string> ParseInputList(const std::string& text);

// Every relative entry joined to the working folder ("m.pptx" in /home/u is /home/u/m.pptx);
// absolute entries stay as they are.
std::vector<std::string> AbsoluteEntries(std::vector<std::string> entries, const std::string& workingFolder);
// The process's working folder ("" when it cannot be read).
std::string WorkingFolder();

// The message for the first entry that is a folder, is missing or is neither a PowerPoint file
// (IsPresentationExtension) nor a movie or sound file (IsMediaEntryExtension); nullopt when
// every entry can be run.
std::optional<std::string> CheckEntries(const std::vector<std::string>& entries);

// True for the extensions of PowerPoint files (lower-cased, without the dot): the packages .pptx,
// .pptm, .ppsx, .ppsm, .potx, .potm and the older binary .ppt, .pps, .pot. The content decides how
// such a file is opened and which format its output takes.
bool IsPresentationExtension(const std::string& extension);

// The extension a deck with this (lower-cased) extension is written with by its name: the binary kinds
// take their package form ("ppt" → "pptx", "pps" → "ppsx", "pot" → "potx"), every other stays.
std::string WrittenExtensionFor(const std::string& extension);

// Lower-cased extension without the dot ("" when none).
std::string LowerExtension(const std::string& path);

} // namespace batch
