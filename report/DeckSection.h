#pragma once

// One deck's part of the report: its names, what became of it and why, and its bytes by kind.

#include "batch/BatchRun.h"

#include <string>

namespace report {

// What became of the deck, in Japanese with English in parentheses.
std::string OutcomeText(const batch::EntryReport& entry);
// Whether an output was written and kept.
bool Kept(const batch::EntryReport& entry);
// The heading, outcome, output name and the bars of bytes by kind (before, and after when kept).
std::string DeckSummaryHtml(const batch::EntryReport& entry);

} // namespace report
