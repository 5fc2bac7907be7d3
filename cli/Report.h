#pragma once

// The machine-readable account of a run: a JSON array with one object per input.

#include "batch/BatchRun.h"

#include <string>
#include <vector>

namespace cli {

std::string ReportJson(const std::vector<batch::EntryReport>& entries);
// How the report names a deck-wide picture's place ("background", "layout", ...), and back.
const char* PlaceText(automation::DeckPicturePlace place);
automation::DeckPicturePlace PlaceFromText(const std::string& text);
// Written atomically; false when the file could not be written.
bool WriteReport(const std::string& path, const std::vector<batch::EntryReport>& entries);

} // namespace cli
