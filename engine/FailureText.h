#pragma once

// How a failed step reads in the log: the backend's Japanese explanation when it gave one, then
// the technical detail in parentheses.

#include <exception>
#include <string>

namespace engine {

// "パスワードで保護されたファイルは開けません。(Presentations.Open: encrypted ...)", or "(detail)"
// alone when the failure carries no explanation of its own.
std::string FailureText(const std::exception& error);

} // namespace engine
