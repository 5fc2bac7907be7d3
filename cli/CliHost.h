#pragma once

// The person, as a terminal sees it: the log on standard output, the status and messages on
// standard error, questions asked on the terminal when there is one. An interrupt (Ctrl-C) is
// noticed where the run lets events run and is handed on as Stop.

#include "cli/Interrupt.h"
#include "engine/Host.h"

#include <cstdio>
#include <functional>
#include <istream>
#include <ostream>

namespace cli {

class CliHost : public engine::Host {
public:
    // interactive: questions are asked on `in`; otherwise the same-name question is answered Cancel.
    CliHost(std::ostream& out, std::ostream& err, std::istream& in, bool interactive);

    // Called once, the first time an interrupt is noticed.
    std::function<void()> onStop;
    // A worker of a parallel batch keeps its status to itself; the batch shows progress instead.
    bool statusLines = true;

    void AppendLog(const std::string& text) override;
    void AppendLogRaw(const std::string& text) override;
    void ClearLog() override {}
    void SetStatus(const std::string& text) override;
    std::string Status() const override { return status_; }
    engine::MessageResult MessageBox(const std::string& text, engine::MessageIcon icon,
                                     engine::MessageButtons buttons) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    void DoEvents() override;
    void Beep() override {}
    void SetRunning(bool) override {}
    void SetCaptionSuffix(const std::string&) override {}

    bool stopDelivered() const { return stopDelivered_; }

private:
    void Poll();
    std::ostream& out_;
    std::ostream& err_;
    std::istream& in_;
    bool interactive_;
    std::string status_;
    bool stopDelivered_ = false;
};

// CR LF and lone CR become the terminal's line end.
std::string TerminalLines(const std::string& text);

} // namespace cli
