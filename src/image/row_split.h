#pragma once
// Internal helper of the image engine: runs a per-row job over [0, rows) on up to two threads.
//
// Every row must be independent of every other one (each row's output depends only on inputs that
// no row writes), so the bytes are the same whatever the split; callers rely on that. When a
// worker thread cannot be started the whole range runs on the calling thread. Nothing throws.

#include <cstdint>
#include <thread>

namespace pictorra::image::detail {

// Below this much work (in the caller's own unit, e.g. pixels) a second thread costs more than it
// saves.
inline constexpr int64_t kMinWorkForThreads = int64_t{1} << 16;

// fn(first_row, end_row) is called for disjoint ranges covering [0, rows).
template <typename Fn>
void SplitRows(int32_t rows, int64_t work, Fn&& fn) {
    if (rows <= 0) return;
    const unsigned cores = std::thread::hardware_concurrency();
    if (rows < 2 || work < kMinWorkForThreads || cores < 2) {
        fn(int32_t{0}, rows);
        return;
    }
    const int32_t half = rows / 2;
    std::thread worker;
    try {
        worker = std::thread([&fn, half, rows] { fn(half, rows); });
    } catch (...) {
        fn(int32_t{0}, rows);
        return;
    }
    fn(int32_t{0}, half);
    worker.join();
}

}  // namespace pictorra::image::detail
