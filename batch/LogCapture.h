#pragma once

// A host that keeps the log to itself and passes everything else on: a pass whose log may not be
// shown (a step of the size-goal search) runs against it, and the log of the one that is kept is
// shown afterwards.

#include "engine/Host.h"

#include <string>
#include <vector>

namespace batch {

class LogCapture : public engine::Host {
public:
    struct Line {
        std::string text;
        bool raw = false; // AppendLogRaw: carries its own line breaks
    };

    explicit LogCapture(engine::Host& inner) : inner_(inner) {}

    const std::vector<Line>& Lines() const { return lines_; }
    std::vector<Line>& Lines() { return lines_; }

    void AppendLog(const std::string& text) override { lines_.push_back({text, false}); }
    void AppendLogRaw(const std::string& text) override { lines_.push_back({text, true}); }
    void ClearLog() override { lines_.clear(); }
    void SetStatus(const std::string& text) override { inner_.SetStatus(text); }
    std::string Status() const override { return inner_.Status(); }
    engine::MessageResult MessageBox(const std::string& text, engine::MessageIcon icon,
                                     engine::MessageButtons buttons) override {
        return inner_.MessageBox(text, icon, buttons);
    }
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        return inner_.InputBox(prompt, title, defaultText);
    }
    void DoEvents() override { inner_.DoEvents(); }
    void Beep() override { inner_.Beep(); }
    void SetRunning(bool running) override { inner_.SetRunning(running); }
    void SetCaptionSuffix(const std::string& suffix) override { inner_.SetCaptionSuffix(suffix); }

private:
    engine::Host& inner_;
    std::vector<Line> lines_;
};

} // namespace batch
