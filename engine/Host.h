#pragma once

// How the batch and the engine talk to the person: the main window implements this, and so does
// the command-line front end. Texts are UTF-8.

#include <optional>
#include <string>

namespace engine {

enum class MessageIcon { None, Exclamation, Stop, Information, Question };
enum class MessageButtons { Ok, YesNoCancel };
enum class MessageResult { Ok, Yes, No, Cancel };

class Host {
public:
    virtual ~Host() = default;

    // Appends text and CR LF at the end of the log pane.
    virtual void AppendLog(const std::string& text) = 0;
    // Appends text exactly as given (it carries its own line breaks).
    virtual void AppendLogRaw(const std::string& text) = 0;
    virtual void ClearLog() = 0;

    virtual void SetStatus(const std::string& text) = 0;
    virtual std::string Status() const = 0;

    // The caption is always the application title.
    virtual MessageResult MessageBox(const std::string& text, MessageIcon icon, MessageButtons buttons) = 0;
    // nullopt when the box was cancelled.
    virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;

    // Lets pending window events run; the command line checks for an interrupt here.
    virtual void DoEvents() = 0;
    virtual void Beep() = 0;

    // The run's buttons: Start enabled / Stop enabled.
    virtual void SetRunning(bool running) = 0;
    // The main window's caption suffix for the office mode (" [Office XP/2003/2007モード]").
    virtual void SetCaptionSuffix(const std::string& suffix) = 0;
};

inline constexpr const char* kAppTitle = "Vodrik クオーネル";

} // namespace engine
