#pragma once

// Obtaining and testing the presentation and worksheet applications, and settling the office mode.
// Nothing here ends the process: a check that finds no usable application says so in its result
// and the front end (window or command line) exits.

#include "engine/EngineState.h"

#include <string>

namespace engine {

inline constexpr const char* kCaptionXPMode = " [Office XP/2003/2007モード]";
inline constexpr const char* kCaption2000Mode = " [Office 2000モード]";
inline constexpr const char* kMsgCannotStartPowerPoint = "パワーポイントを起動できません。";
inline constexpr const char* kMsgCannotStartPowerPointExit = "パワーポイントを起動できません。終了します。";
inline constexpr const char* kMsgCannotStartExcel = "エクセルを起動できません。";
inline constexpr const char* kMsgExcelRequiredExit =
    "[Office 2000モード]での動作にはエクセルが必要です。終了します。";
inline constexpr const char* kMsgCloseAllPowerPoint =
    "圧縮処理はパワーポイントを全て終了させてから行ってください。";

enum class OfficeCheck {
    Ok,      // the installation can be used now
    Busy,    // documents are open in the attached application; warn and stay usable
    MustExit // no application could be started; the front end ends the process
};

// The whole-number part of a version text ("12.0" -> 12, "9.0" -> 9); 0 when it has none.
int VersionNumber(const std::string& versionText);

bool IsPowerPointAlive(EngineState& state);
bool IsExcelAlive(EngineState& state);
// True when no presentation (workbook) is open, or when the count cannot be read.
bool IsPowerPointIdle(EngineState& state);
bool IsExcelIdle(EngineState& state);

// Keeps a live application, else attaches to a running one, else creates one; says so when neither works.
bool StartPowerPoint(EngineContext& ctx);
// Keeps a live worksheet application, else creates one (never attaches).
bool StartExcel(EngineContext& ctx);

// Starts the presentation application, fixes the office mode and the caption suffix, and quits it
// again when idle; in the older mode does the same with the worksheet application.
OfficeCheck CheckOfficeEnvironment(EngineContext& ctx);

} // namespace engine
