#pragma once

// Passes everything on to the real host and counts the replaced-shape lines of the log (the walk
// writes one TAB-indented line per replaced shape), so that a run can report how many there were.

#include "engine/Host.h"

namespace batch {

class CountingHost : public engine::Host {
public:
    explicit CountingHost(engine::Host& inner) : inner_(inner) {}

    int replacedLines() const { return replacedLines_; }
    void ResetCount() { replacedLines_ = 0; }

    void AppendLog(const std::string& text) override {
        if (!text.empty() && text.front() == '\t') {
            ++replacedLines_;
        }
        inner_.AppendLog(text);
    }
    void AppendLogRaw(const std::string& text) override { inner_.AppendLogRaw(text); }
    void ClearLog() override { inner_.ClearLog(); }
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
    int replacedLines_ = 0;
};

} // namespace batch
