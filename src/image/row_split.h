#pragma once
// Internal helpers of the image engine: how many threads an operation may use, and a per-row job
// run over [0, rows) on that many threads.
//
// The caller chooses the budget: a folder run already works on several pictures at once and
// passes 1, so each picture's operations stay on the worker that holds it; a single picture (and
// the preview) passes kAllCores. One thread means the job runs on the calling thread and no
// thread is started.
//
// Every row must be independent of every other one (each row's output depends only on inputs that
// no row writes), so the bytes are the same whatever the split; callers rely on that. A thread
// that cannot be started leaves its rows to the calling thread. Nothing throws, provided fn does
// not.

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "image/c_image.h"

namespace pictorra::image::detail {

// The number of threads a budget allows: kAllCores is every core, a larger budget is cut to the
// core count, and anything below one is one.
inline int32_t ThreadsFor(int32_t budget) {
    const int32_t cores = static_cast<int32_t>(
        std::clamp(std::thread::hardware_concurrency(), 1u, unsigned{INT32_MAX}));
    if (budget == kAllCores) return cores;
    return std::clamp(budget, int32_t{1}, cores);
}

// A thread given less than this much work (in the caller's own unit, e.g. pixels) costs more than
// it saves; so work below twice this runs on the caller.
inline constexpr int64_t kMinWorkPerThread = int64_t{1} << 15;

// fn(first_row, end_row) is called for disjoint contiguous ranges covering [0, rows), possibly
// at the same time from different threads.
template <typename Fn>
void SplitRows(int32_t rows, int64_t work, int32_t budget, Fn&& fn) {
    if (rows <= 0) return;
    const int64_t most = std::min<int64_t>({ThreadsFor(budget), rows, work / kMinWorkPerThread});
    const int32_t parts = static_cast<int32_t>(std::max<int64_t>(most, 1));
    const auto begin = [rows, parts](int32_t part) {
        return static_cast<int32_t>(int64_t{rows} * part / parts);
    };
    if (parts == 1) {
        fn(int32_t{0}, rows);
        return;
    }
    std::vector<std::thread> workers;
    int32_t started = 1;  // parts 1 .. started - 1 run on the workers
    try {
        workers.reserve(size_t(parts - 1));
        for (; started < parts; ++started) {
            const int32_t first = begin(started), end = begin(started + 1);
            workers.emplace_back([&fn, first, end] { fn(first, end); });
        }
    } catch (...) {  // std::system_error (no thread) or std::bad_alloc
    }
    fn(int32_t{0}, begin(1));
    for (int32_t part = started; part < parts; ++part) fn(begin(part), begin(part + 1));
    for (std::thread& worker : workers) worker.join();
}

}  // namespace pictorra::image::detail
