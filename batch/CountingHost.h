#pragma once

// Passes everything on to the real host and counts the replaced-shape lines of the log (the walk
// writes one TAB-indented line per replaced shape), so that a run can report how many there were.

#include "batch/ForwardingHost.h"

namespace batch {

class CountingHost : public ForwardingHost {
public:
    explicit CountingHost(engine::Host& inner) : ForwardingHost(inner) {}

    int replacedLines() const { return replacedLines_; }
    void ResetCount() { replacedLines_ = 0; }

    void AppendLog(const std::string& text) override {
        if (!text.empty() && text.front() == '\t') {
            ++replacedLines_;
        }
        inner_.AppendLog(text);
    }

private:
    int replacedLines_ = 0;
};

} // namespace batch
