#pragma once

// Where an output goes and what it is called: folder choice, size or fixed mark in the name, and
// the same-name question when a file of that name exists already.

#include "engine/EngineState.h"

#include <string>
#include <vector>

namespace settings {
struct Settings;
}

namespace batch {

inline constexpr const char* kMarkCompressed = "【圧縮】";
inline constexpr const char* kMarkBeforePresentation = "-圧縮前";
inline constexpr const char* kMarkBeforeMovieOpen = "【圧縮前";
inline constexpr const char* kMarkBeforeMovieClose = "】";
inline constexpr const char* kSameNameExists = "同一出力ﾌｧｲﾙが存在します:";
inline constexpr const char* kSameNameQuestionPresentation =
    "上書きしますか？   ( はい→上書き、いいえ→別名で保存、キャンセル→圧縮しない )";
inline constexpr const char* kSameNameQuestionMovie =
    "上書きしますか？  ( はい→上書き、いいえ→別名で保存、、キャンセル→圧縮しない )";
inline constexpr const char* kNewNamePrompt = "新しいパス名(拡張子を除く)を入力してください";

// Makes the folder path end with exactly one of the system's separators (platform::FolderWithSeparator).
// Rewrites the argument and returns the same value.
std::string NormalizeFolderPath(std::string& path);

// Output path without extension for a presentation; unit is "KB" or "MB" (any other gives no size).
std::string MakePresentationOutputBase(const settings::Settings& settings, const std::string& inputFolder,
                                       const std::string& baseName, double size, const std::string& unit);
std::string MakeMovieOutputBase(const settings::Settings& settings, const std::string& inputFolder,
                                const std::string& baseName, double size);
// The folders the entries' outputs go to, each once, in the order of the entries (ending with the
// separator). A name typed at the same-name question may still lead elsewhere.
std::vector<std::string> OutputFolders(const settings::Settings& settings,
                                       const std::vector<std::string>& entries);

// Full output path, or empty text when the file is to be skipped. Asks when the name exists and the
// policy says ask; minimises the office windows first so that the question is not hidden.
std::string ResolvePresentationName(engine::EngineContext& ctx, const std::string& path,
                                    const std::string& extension);
// As above for movies; the result has no extension.
std::string ResolveMovieName(engine::EngineContext& ctx, const std::string& path,
                             const std::string& extension);

// True when the lower-cased extension is one of movieExtensions; an empty list is an error
// (std::logic_error), which the batch run's error rules receive.
bool IsMovieExtension(const std::vector<std::string>& movieExtensions, const std::string& extension);

} // namespace batch
