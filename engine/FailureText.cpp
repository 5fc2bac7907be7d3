#include "engine/FailureText.h"

#include "automation/AutomationError.h"

namespace engine {

std::string FailureText(const std::exception& error) {
    const std::string detail = std::string("(") + error.what() + ")";
    if (const auto* automation = dynamic_cast<const automation::AutomationError*>(&error))
        if (!automation->userText().empty())
            return automation->userText() + detail;
    return detail;
}

} // namespace engine
