#include "cli/Shard.h"

namespace cli {

std::uint64_t PathHash(const std::string& path) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : path) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return hash;
}

int ShardOf(const std::string& path, int count) {
    return static_cast<int>(PathHash(path) % static_cast<std::uint64_t>(count)) + 1;
}

std::vector<std::string> ShardPaths(const std::vector<std::string>& paths, int k, int count) {
    std::vector<std::string> shard;
    for (const auto& path : paths) {
        if (ShardOf(path, count) == k) {
            shard.push_back(path);
        }
    }
    return shard;
}

} // namespace cli
