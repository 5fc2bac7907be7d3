#pragma once

// The window's "結果を表示": the last run's visual report, written to a private temporary file and
// opened in the desktop's browser.

#include "app/WebPages.h"
#include "batch/BatchRun.h"

#include <optional>
#include <string>
#include <vector>

namespace app {

inline constexpr const char* kMsgCannotShowReport = "結果を表示できませんでした。";

class RunReport {
public:
    // tempFolder: where the private folder of each report is made.
    explicit RunReport(std::string tempFolder) : tempFolder_(std::move(tempFolder)) {}
    ~RunReport();
    RunReport(const RunReport&) = delete;
    RunReport& operator=(const RunReport&) = delete;

    void Remember(std::vector<batch::EntryReport> entries) { entries_ = std::move(entries); }
    bool Available() const { return !entries_.empty(); }

    // Writes the report into a new folder only this user may read, removes the one shown before, and
    // returns the file; nullopt when it could not be written.
    std::optional<std::string> Write();
    // Write() and open it; false (after the message) when either failed.
    bool Show(const UrlOpener& opener, engine::Host& host);

private:
    void RemoveShown();

    std::string tempFolder_;
    std::vector<batch::EntryReport> entries_;
    std::string shownFolder_;
};

} // namespace app
