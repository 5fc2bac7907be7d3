#include "cli/CliHost.h"

namespace cli {

std::string TerminalLines(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            result += text[i];
        }
    }
    return result;
}

CliHost::CliHost(std::ostream& out, std::ostream& err, std::istream& in, bool interactive)
    : out_(out), err_(err), in_(in), interactive_(interactive) {}

void CliHost::Poll() {
    if (!stopDelivered_ && InterruptRequested()) {
        stopDelivered_ = true;
        if (onStop) {
            onStop();
        }
    }
}

void CliHost::AppendLog(const std::string& text) {
    out_ << TerminalLines(text) << '\n';
    out_.flush();
    Poll();
}

void CliHost::AppendLogRaw(const std::string& text) {
    out_ << TerminalLines(text);
    out_.flush();
    Poll();
}

namespace {

// The walk appends a dot to the status per slide part; the terminal shows each status once.
std::string WithoutTrailingDots(const std::string& text) {
    const auto end = text.find_last_not_of('.');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

} // namespace

void CliHost::SetStatus(const std::string& text) {
    if (statusLines && WithoutTrailingDots(text) != WithoutTrailingDots(status_)) {
        err_ << text << '\n';
        err_.flush();
    }
    status_ = text;
    Poll();
}

engine::MessageResult CliHost::MessageBox(const std::string& text, engine::MessageIcon,
                                          engine::MessageButtons buttons) {
    err_ << TerminalLines(text) << '\n';
    if (buttons == engine::MessageButtons::Ok) {
        err_.flush();
        return engine::MessageResult::Ok;
    }
    if (!interactive_) {
        err_ << "(端末がないため圧縮しません / no terminal: skipped)\n";
        err_.flush();
        return engine::MessageResult::Cancel;
    }
    for (;;) {
        err_ << "[y] はい/yes  [n] いいえ/no  [c] キャンセル/cancel: ";
        err_.flush();
        std::string answer;
        if (!std::getline(in_, answer)) {
            return engine::MessageResult::Cancel;
        }
        if (answer == "y" || answer == "Y" || answer == "yes") {
            return engine::MessageResult::Yes;
        }
        if (answer == "n" || answer == "N" || answer == "no") {
            return engine::MessageResult::No;
        }
        if (answer == "c" || answer == "C" || answer == "cancel") {
            return engine::MessageResult::Cancel;
        }
    }
}

std::optional<std::string> CliHost::InputBox(const std::string& prompt, const std::string&,
                                             const std::string& defaultText) {
    if (!interactive_) {
        return std::nullopt;
    }
    err_ << prompt << " [" << defaultText << "]: ";
    err_.flush();
    std::string answer;
    if (!std::getline(in_, answer)) {
        return std::nullopt;
    }
    // An empty line takes the offered text, as confirming the prefilled box does.
    return answer.empty() ? defaultText : answer;
}

void CliHost::DoEvents() {
    Poll();
}

} // namespace cli
