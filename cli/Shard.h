#pragma once

// Stable shards of an input list: a path always falls in the same shard, on every machine and in
// every run, whatever else the list holds.

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// FNV-1a over the path's bytes.
std::uint64_t PathHash(const std::string& path);
// 1-based shard of the path among `count`.
int ShardOf(const std::string& path, int count);
// The paths of shard `k` of `count`, in their order.
std::vector<std::string> ShardPaths(const std::vector<std::string>& paths, int k, int count);

} // namespace cli
