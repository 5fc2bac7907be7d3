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

    const std::string& member() const noexcept { return member_; }

private:
    std::string member_;
};

} // namespace automation
