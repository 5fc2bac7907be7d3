#pragma once

// Inside the platform layer: how each system removes a file a killed run left.

#include <filesystem>

namespace platform::detail {

// Whether the file is gone now; never throws.
bool RemoveLeftFile(const std::filesystem::path& path);

} // namespace platform::detail
