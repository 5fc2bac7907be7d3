#pragma once

// Japanese reasons for the failures that reach the log. The office backend and the package layer
// describe a failure in English (member and cause); the log is Japanese, so a known cause is put into
// Japanese here and the English text follows in parentheses as the technical detail.

#include <exception>
#include <string>

namespace engine {

// The Japanese reason for an English failure text ("" when no entry of the table matches).
std::string JapaneseReason(const std::string& englishDetail);

// "<reason>。(<english>)", or "(<english>)" alone when the cause is not in the table.
std::string FailureDetail(const std::string& englishDetail);
std::string FailureDetail(const std::exception& error);

} // namespace engine
