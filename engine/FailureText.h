#pragma once

// Japanese reasons for the failures that reach the log. A backend that explains a failure itself
// (automation::AutomationError with a userText) is taken at its word; otherwise the English text of the
// office backend and the package layer (member and cause) is put into Japanese here when its cause is
// known. The English text follows in parentheses as the technical detail.

#include <exception>
#include <string>

namespace engine {

// The Japanese reason for an English failure text ("" when no entry of the table matches).
std::string JapaneseReason(const std::string& englishDetail);

// "<reason>。(<english>)", or "(<english>)" alone when the cause is not in the table.
std::string FailureDetail(const std::string& englishDetail);

// As above, but an AutomationError's own Japanese explanation comes first when it carries one:
// "パスワードで保護されたファイルは開けません。(Presentations.Open: ...)".
std::string FailureDetail(const std::exception& error);

} // namespace engine
