#pragma once

// A host that records what the runner shows and can press Stop after a number of event rounds.

#include "engine/Host.h"

#include <functional>
#include <string>
#include <vector>

class FakeHost : public engine::Host {
public:
    std::vector<std::string> statuses;
    int eventRounds = 0;
    std::function<void(int)> onEvents; // called with the round number

    void AppendLog(const std::string&) override {}
    void AppendLogRaw(const std::string&) override {}
    void ClearLog() override {}
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    std::string Status() const override { return statuses.empty() ? std::string() : statuses.back(); }
    engine::MessageResult MessageBox(const std::string&, engine::MessageIcon,
                                     engine::MessageButtons) override {
        return engine::MessageResult::Ok;
    }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void DoEvents() override {
        ++eventRounds;
        if (onEvents) {
            onEvents(eventRounds);
        }
    }
    void Beep() override {}
    void SetRunning(bool) override {}
    void SetCaptionSuffix(const std::string&) override {}
};
