#pragma once

// The run's visual report: one self-contained HTML page (pictures inline, no scripts, nothing fetched)
// with, per deck, where its bytes went before and after, whether the output was kept, and every
// replaced picture before and after, the largest savings first and the least similar marked.

#include "batch/BatchRun.h"

#include <string>
#include <vector>

namespace report {

// Thumbnails the report asks the engine for (engine::EngineState::ReportThumbnailWidth).
inline constexpr int kThumbnailWidth = 320;

std::string ReportHtml(const std::vector<batch::EntryReport>& entries);
// Written atomically; false when the file could not be written.
bool WriteHtmlReport(const std::string& path, const std::vector<batch::EntryReport>& entries);

} // namespace report
