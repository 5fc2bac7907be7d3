#pragma once

// A host that keeps the log to itself and passes everything else on: a pass whose log may not be
// shown (a step of the size-goal search) runs against it, and the log of the one that is kept is
// shown afterwards.

#include "batch/ForwardingHost.h"

#include <string>
#include <vector>

namespace batch {

class LogCapture : public ForwardingHost {
public:
    struct Line {
        std::string text;
        bool raw = false; // AppendLogRaw: carries its own line breaks
    };

    explicit LogCapture(engine::Host& inner) : ForwardingHost(inner) {}

    std::vector<Line>& Lines() { return lines_; }

    void AppendLog(const std::string& text) override { lines_.push_back({text, false}); }
    void AppendLogRaw(const std::string& text) override { lines_.push_back({text, true}); }
    void ClearLog() override { lines_.clear(); }

private:
    std::vector<Line> lines_;
};

} // namespace batch
