#pragma once

// The one-line progress display of a parallel batch: "[123/5000] 2.1 GB→1.3 GB  deck.pptx".

#include <string>

namespace cli {

// Bytes in the largest unit that keeps a digit before the point: "980 KB", "1.3 GB".
std::string ShortSize(double bytes);
// done of total, the bytes of the decks done before and after, the last deck's file name.
std::string ProgressLine(std::size_t done, std::size_t total, double before, double after,
                         const std::string& path);

} // namespace cli
