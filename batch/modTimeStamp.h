#pragma once

// Giving an output the dates of its input so that it sorts like the input in a listing.

#include <string>

namespace batch {

// Copies the creation, modification and access dates of source to target, to the whole second.
// Never reports anything: a date that cannot be copied stays as it is; an empty target changes nothing.
void CopyFileDates(const std::string& source, const std::string& target);

} // namespace batch
