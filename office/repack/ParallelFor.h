#pragma once

// Runs independent jobs on a few threads. Each job writes only its own result, so the outcome does
// not depend on the scheduling.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace office::repack {

// Calls job(i) for i in [0, count) on up to maxThreads threads (the calling thread included); job
// must not throw.
template <typename Job> void ParallelFor(std::size_t count, unsigned maxThreads, Job&& job) {
    const unsigned threads = unsigned(
        std::min<std::size_t>({count, std::max(1u, std::thread::hardware_concurrency()), maxThreads}));
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            job(i);
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (auto& thread : pool)
        thread.join();
}

} // namespace office::repack
