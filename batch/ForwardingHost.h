#pragma once

// A host that passes every call on to another; the batch's hosts derive from it and change only what
// they are for.

#include "engine/Host.h"

namespace batch {

class ForwardingHost : public engine::Host {
public:
    explicit ForwardingHost(engine::Host& inner) : inner_(inner) {}

    void AppendLog(const std::string& text) override { inner_.AppendLog(text); }
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

protected:
    engine::Host& inner_;
};

} // namespace batch
