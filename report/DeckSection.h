#pragma once

// One deck's part of the report: its names, what became of it and why, and its bytes by kind.

#include "batch/BatchRun.h"
#include "office/package/StoredComposition.h"

#include <optional>
#include <string>

namespace report {

// What became of the deck, in Japanese with English in parentheses.
std::string OutcomeText(const batch::EntryReport& entry);
// Whether this run wrote an output and kept it.
bool Kept(const batch::EntryReport& entry);
using Composition = std::optional<office::package::StoredComposition>;
// What a package file holds by kind; nothing for a file that is no package (or none).
Composition CompositionOf(const std::string& path);
// The heading, outcome, output name and the bars of bytes by kind (before, and after when kept).
std::string DeckSummaryHtml(const batch::EntryReport& entry, const Composition& before,
                            const Composition& after);

} // namespace report
