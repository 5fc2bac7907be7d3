#pragma once

// Several decks at once, one worker process per deck (quarnel-cli itself with --deck-child): the
// engine keeps process-wide state (the office application, the clipboard, the engine state), so
// decks are kept apart by processes, not threads. Each worker's log and messages are held until
// every earlier deck has been printed, so the output reads as a one-at-a-time run would.

#include "batch/BatchRun.h"

#include <ostream>
#include <string>
#include <vector>

namespace settings {
struct Settings;
}

namespace cli {

struct JobsOutcome {
    std::vector<batch::EntryReport> entries; // in input order
    bool stopped = false;                    // Ctrl-C: running decks were stopped, no new one started
};

// The number of cores, or 1 when a same-name question could be asked (a terminal and the ask policy).
int DefaultJobs(const settings::Settings& config, bool interactive);
// Picture threads for each deck: the cores that the decks at once leave to each, when a deck gets more
// than one (a deck's own thread keeps one core busy; speculative work on a full machine only costs).
int DefaultPictureThreads(int jobs);

// Runs `program` (this executable) once per entry with `forwarded` options; at most `jobs` at once.
// progress: a one-line display on `err` (a terminal) after every deck. pictures: each worker hands back
// its replaced pictures for the visual report.
JobsOutcome RunDeckJobs(const std::string& program, const std::vector<std::string>& entries,
                        const std::vector<std::string>& forwarded, int jobs, std::ostream& out,
                        std::ostream& err, bool progress, bool pictures = false);

// This process's executable.
std::string SelfExecutable();

} // namespace cli
