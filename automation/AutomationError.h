#pragma once

#include <stdexcept>
#include <string>

namespace automation {

// Every member of the object model may fail; the backend reports that with this one type,
// naming the member so that a log or a test can say which call went wrong.
class AutomationError : public std::runtime_error {
public:
    AutomationError(std::string member, const std::string& message)
        : std::runtime_error(member + ": " + message), member_(std::move(member)) {}
    // userText explains the failure to the person (Japanese); the message stays the technical detail.
    AutomationError(std::string member, const std::string& message, std::string userText)
        : std::runtime_error(member + ": " + message), member_(std::move(member)),
          userText_(std::move(userText)) {}

    const std::string& member() const noexcept { return member_; }
    // Empty when the member gave no explanation of its own.
    const std::string& userText() const noexcept { return userText_; }

private:
    std::string member_;
    std::string userText_;
};

} // namespace automation
