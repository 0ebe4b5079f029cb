// DarkenPic, LightenPic, SharpenPic: the in-place tonal operations behind the
// lighten, darken, sharpen and soften tools.
//
// The arithmetic is fixed to the last bit, because outputs are compared byte for byte with
// other implementations of the same formulas:
//   * DarkenPic: v * Part255 / 255 in integer arithmetic, truncated.
//   * LightenPic: the HSL round trip in single precision. Every named value (r, g, b,
//     max, min, d, H, S, L, lo, hi and the three channel values of HSLToRGB) is stored as a float;
//     each formula is evaluated in double from those floats and narrowed to float when stored. The
//     final channel x 255 is evaluated in double and rounded to the nearest integer, ties to even.
//   * SharpenPic: the 3 x 3 convolution in place, with the results of the column-major
//     order (the walk differs, the bytes do not; see SharpenInPlace).
// Large pictures take faster routes to the same bytes: LightenPic computes the part that depends
// only on (max, min) once per pair and splits the rows over the threads its budget allows (see
// row_split.h); SharpenPic shares its band walk between threads. The tests check both against
// literal transcriptions.
// A result that does not fit a byte (only possible with parameters the tools never pass: Part255
// outside 0..255, LPerc below -100) leaves that byte unchanged, as a failing step is skipped
// rather than stored.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "image/c_image.h"
#include "image/rounding.h"
#include "image/row_split.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pictorra::image {
namespace {

using detail::RoundHalfEven;

// ---- DarkenPic -------------------------------------------------------------------------------

#if defined(__SSE2__)
// x / 255 for every product x = v x Part255 of two bytes, as a multiply and a shift.
constexpr bool DivideBy255IsExact() {
    for (uint32_t x = 0; x <= 255 * 255; ++x) {
        if ((x * 0x8081u) >> 23 != x / 255) return false;
    }
    return true;
}
static_assert(DivideBy255IsExact());

// Darkens the first multiple of 16 of `count` bytes; returns how many it did.
int64_t DarkenBytesSse2(uint8_t* p, int64_t count, int32_t part255) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_set1_epi16(static_cast<int16_t>(part255));
    const __m128i magic = _mm_set1_epi16(static_cast<int16_t>(0x8081));
    const auto scale = [&](__m128i v16) {
        return _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(v16, factor), magic), 7);
    };
    int64_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
        const __m128i lo = scale(_mm_unpacklo_epi8(v, zero));
        const __m128i hi = scale(_mm_unpackhi_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + x), _mm_packus_epi16(lo, hi));
    }
    return x;
}
#endif

// ---- LightenPic ------------------------------------------------------------------------------

struct Hsl {
    float h;  // sixths of the colour circle, -1 to below 5
    float s;
    float l;
};

inline float MaxOf3(float a, float b, float c) { return std::max(std::max(a, b), c); }
inline float MinOf3(float a, float b, float c) { return std::min(std::min(a, b), c); }

// r, g, b: the channel bytes divided by 255, as singles.
inline Hsl RgbToHsl(float r, float g, float b) {
    const double mx = MaxOf3(r, g, b);
    const double mn = MinOf3(r, g, b);
    Hsl out;
    out.l = static_cast<float>((mx + mn) / 2);
    if (mx == mn) {
        out.s = 0;
        out.h = 0;
        return out;
    }
    if (out.l <= 0.5f) {
        out.s = static_cast<float>((mx - mn) / (mx + mn));
    } else {
        out.s = static_cast<float>((mx - mn) / (2.0 - mx - mn));
    }
    const double d = static_cast<float>(mx - mn);
    if (double(r) == mx) {
        out.h = static_cast<float>((double(g) - double(b)) / d);
    } else if (double(g) == mx) {
        out.h = static_cast<float>(2.0 + (double(b) - double(r)) / d);
    } else {
        out.h = static_cast<float>(4.0 + (double(r) - double(g)) / d);
    }
    return out;
}

struct Channels {
    float red;
    float green;
    float blue;
};

inline Channels HslToChannels(Hsl in) {
    if (in.s == 0) return {in.l, in.l, in.l};
    const double l = in.l, s = in.s, h = in.h;
    const float lo_f =
        in.l <= 0.5f ? static_cast<float>(l * (1.0 - s)) : static_cast<float>(l - (1.0 - l) * s);
    const double lo = lo_f;
    const double hi = static_cast<float>(2.0 * l - lo);
    const auto f = [](double v) { return static_cast<float>(v); };
    if (in.h < 0) return {f(hi), lo_f, f(lo - (hi - lo) * h)};
    if (in.h < 1) return {f(hi), f(lo + (hi - lo) * h), lo_f};
    if (in.h < 2) return {f(lo - (h - 2) * (hi - lo)), f(hi), lo_f};
    if (in.h < 3) return {lo_f, f(hi), f(lo + (h - 2) * (hi - lo))};
    if (in.h < 4) return {lo_f, f(lo - (h - 4) * (hi - lo)), f(hi)};
    return {f(lo + (h - 4) * (hi - lo)), lo_f, f(hi)};
}

inline void StoreChannel(uint8_t& byte, float channel) {
    const int32_t v = RoundHalfEven(double(channel) * 255);
    if (v >= 0 && v <= 255) byte = static_cast<uint8_t>(v);
}

// byte / 255 as a single, for every byte.
std::array<float, 256> UnitTable() {
    std::array<float, 256> t{};
    for (int v = 0; v < 256; ++v) t[size_t(v)] = static_cast<float>(double(v) / 255);
    return t;
}

// The fast path for large pictures. L, S, d, lo and hi depend only on the largest and the
// smallest channel, so they are computed once for each of the 32,896 pairs (max >= min); per
// pixel only H, the sector and the middle channel remain. Every value is computed by exactly the
// same operations as RgbToHsl and HslToChannels above, so the bytes are the same (the tests check
// all 16,777,216 colours).
struct PairEntry {
    float lo;  // the HSLToRGB lo and hi of the lightened L
    float hi;
    float d;          // max - min as a single
    int16_t lo_byte;  // lo and hi turned into bytes; -1 when out of range (byte kept)
    int16_t hi_byte;  // for a grey pair: the byte of the lightened grey
};

inline int16_t ChannelByte(float channel) {
    const int32_t v = RoundHalfEven(double(channel) * 255);
    return static_cast<int16_t>(v >= 0 && v <= 255 ? v : -1);
}

inline size_t PairIndex(int32_t mx, int32_t mn) { return size_t(mx * (mx + 1) / 2 + mn); }

std::vector<PairEntry> PairTable(const std::array<float, 256>& unit, double factor) {
    std::vector<PairEntry> table(PairIndex(255, 255) + 1);
    for (int32_t mx_byte = 0; mx_byte < 256; ++mx_byte) {
        for (int32_t mn_byte = 0; mn_byte <= mx_byte; ++mn_byte) {
            // The same steps as RgbToHsl, LightenPic and HslToChannels, without the hue.
            const double mx = unit[size_t(mx_byte)], mn = unit[size_t(mn_byte)];
            PairEntry& e = table[PairIndex(mx_byte, mn_byte)];
            float l = static_cast<float>((mx + mn) / 2);
            float s = 0;
            if (mx != mn) {
                s = l <= 0.5f ? static_cast<float>((mx - mn) / (mx + mn))
                              : static_cast<float>((mx - mn) / (2.0 - mx - mn));
            }
            l = static_cast<float>(double(l) * factor);
            if (l > 1.0f) l = 1.0f;
            if (mx == mn) {
                e = {l, l, 0.0f, ChannelByte(l), ChannelByte(l)};
                continue;
            }
            const double dl = l, ds = s;
            e.lo = l <= 0.5f ? static_cast<float>(dl * (1.0 - ds))
                             : static_cast<float>(dl - (1.0 - dl) * ds);
            e.hi = static_cast<float>(2.0 * dl - double(e.lo));
            e.d = static_cast<float>(mx - mn);
            e.lo_byte = ChannelByte(e.lo);
            e.hi_byte = ChannelByte(e.hi);
        }
    }
    return table;
}

// Per hue sector (H < 0, [0, 1), ..., [4, 5)): where hi, lo and the middle value go, and the
// middle value as lo + sign x ((H - base) x (hi - lo)), which is the sector table row by row
// (a - b equals a + (-1) x b exactly, and the products commute).
struct Sector {
    int8_t red, green, blue;  // 0 hi, 1 lo, 2 middle
    double sign;
    double base;
};
constexpr Sector kSectors[6] = {{0, 1, 2, -1, 0}, {0, 2, 1, 1, 0},  {2, 0, 1, -1, 2},
                                {1, 0, 2, 1, 2},  {1, 2, 0, -1, 4}, {2, 1, 0, 1, 4}};

inline void LightenPixelFast(uint8_t* p, const std::array<float, 256>& unit,
                             const PairEntry* table) {
    const int32_t b = p[0], g = p[1], r = p[2];
    const int32_t mx = std::max(std::max(r, g), b), mn = std::min(std::min(r, g), b);
    const PairEntry& e = table[PairIndex(mx, mn)];
    int16_t out[3];
    if (mx == mn) {
        out[0] = out[1] = out[2] = e.hi_byte;
    } else {
        // RgbToHsl's hue: red checked first, then green.
        const bool red_max = r == mx, green_max = !red_max && g == mx;
        const int32_t first = red_max ? g : (green_max ? b : r);
        const int32_t second = red_max ? b : (green_max ? r : g);
        const double base = red_max ? 0.0 : (green_max ? 2.0 : 4.0);
        const double quotient =
            (double(unit[size_t(first)]) - double(unit[size_t(second)])) / double(e.d);
        const float h = static_cast<float>(red_max ? quotient : base + quotient);
        const int sector = (h >= 0) + (h >= 1) + (h >= 2) + (h >= 3) + (h >= 4);
        const Sector& sc = kSectors[sector];
        const double lo = e.lo, hi = e.hi;
        const float middle = static_cast<float>(lo + sc.sign * ((double(h) - sc.base) * (hi - lo)));
        const int16_t values[3] = {e.hi_byte, e.lo_byte, ChannelByte(middle)};
        out[0] = values[sc.blue];
        out[1] = values[sc.green];
        out[2] = values[sc.red];
    }
    for (int ch = 0; ch < 3; ++ch) {
        if (out[ch] >= 0) p[ch] = static_cast<uint8_t>(out[ch]);
    }
}

// Below this many pixels the pair table costs more than it saves.
constexpr int64_t kLightenTablePixels = int64_t{1} << 18;

// ---- SharpenPic ------------------------------------------------------------------------------

// The kernels: sharpen 15 / -1 (sum 7), soften 4 / 1 (sum 12). Both have one weight
// for all eight neighbours, so the weighted sum is (centre - neighbour) x centre value +
// neighbour x (sum of all nine), which is exact in integers.
struct Kernel {
    int32_t centre;
    int32_t neighbour;
    int32_t sum;
};

constexpr Kernel MakeKernel(bool sharpen) {
    if (sharpen) return {15, -1, 15 - 8};
    // Soften: 2 - max(|i|, |j|) for the neighbours, 3 / 2 x 3 = 4.5 rounded half to even for the
    // centre.
    return {4, 1, 4 + 8};
}

template <bool kSharpen>
inline int32_t Convolve(int32_t centre, int32_t sum9) {
    constexpr Kernel k = MakeKernel(kSharpen);
    const int32_t total = (k.centre - k.neighbour) * centre + k.neighbour * sum9;
    if (total <= 0) return 0;  // a quotient truncated toward zero, then clamped to 0
    return static_cast<int32_t>(std::min(static_cast<uint32_t>(total) / k.sum, 255u));
}

// One column c, memory rows y0..y1 (inclusive), bottom to top, in place. Every pixel of column
// c - 1 from row y0 - 1 to y1 + 1 is final, and every pixel of column c + 1 is still old; the
// pixel below y0 in column c is final and those above are old. The sums of the left and right
// neighbours of each row are carried from row to row, and the value just stored at (c, y - 1) is
// carried in a register instead of being read back.
template <bool kSharpen>
void SharpenColumn(uint8_t* bits, int64_t stride, int32_t c, int32_t y0, int32_t y1) {
    const uint8_t* row = bits + int64_t{y0 - 1} * stride + 3 * int64_t{c - 1};
    int32_t side_below[3], side_here[3], centre_here[3], done_below[3];
    for (int ch = 0; ch < 3; ++ch) {
        side_below[ch] = row[ch] + row[6 + ch];
        done_below[ch] = row[3 + ch];
        side_here[ch] = row[stride + ch] + row[stride + 6 + ch];
        centre_here[ch] = row[stride + 3 + ch];
    }
    uint8_t* out = bits + int64_t{y0} * stride + 3 * int64_t{c};
    const uint8_t* above = row + 2 * stride;
    for (int32_t y = y0; y <= y1; ++y, out += stride, above += stride) {
        for (int ch = 0; ch < 3; ++ch) {
            const int32_t side_above = above[ch] + above[6 + ch];
            const int32_t centre_above = above[3 + ch];
            const int32_t sum9 = side_below[ch] + side_here[ch] + side_above + done_below[ch] +
                                 centre_here[ch] + centre_above;
            const int32_t value = Convolve<kSharpen>(centre_here[ch], sum9);
            out[ch] = static_cast<uint8_t>(value);
            side_below[ch] = side_here[ch];
            side_here[ch] = side_above;
            done_below[ch] = value;
            centre_here[ch] = centre_above;
        }
    }
}

#if defined(__SSE2__)
// The same walk with the three channels side by side in 16-bit lanes (lanes 3 to 7 carry
// garbage that is never stored). The division by the kernel sum is a multiplication by a
// reciprocal, exact over the whole range of the weighted sums (checked below).
constexpr uint16_t kSharpenReciprocal = 9363;  // ceil(65536 / 7)
constexpr uint16_t kSoftenReciprocal = 5462;   // ceil(65536 / 12)

constexpr bool ReciprocalIsExact(uint32_t divisor, uint32_t reciprocal, uint32_t max_total) {
    for (uint32_t t = 0; t <= max_total; ++t) {
        if ((t * reciprocal) >> 16 != t / divisor) return false;
    }
    return true;
}
static_assert(ReciprocalIsExact(7, kSharpenReciprocal, 15 * 255));  // 16 c - sum9 <= 15 x 255
static_assert(ReciprocalIsExact(12, kSoftenReciprocal, 12 * 255));  // 3 c + sum9 <= 12 x 255

struct Triple {
    __m128i side;    // left + right pixel, per channel
    __m128i centre;  // the centre pixel, per channel
};

// The three pixels c - 1, c, c + 1 of one row; p points at pixel c - 1. Reads exactly those
// nine bytes.
inline Triple LoadTriple(const uint8_t* p) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i w = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
    const __m128i right = _mm_insert_epi16(_mm_srli_si128(w, 12), p[8], 2);
    return {_mm_add_epi16(w, right), _mm_srli_si128(w, 6)};
}

template <bool kSharpen>
void SharpenColumnSse2(uint8_t* bits, int64_t stride, int32_t c, int32_t y0, int32_t y1) {
    const uint8_t* row = bits + int64_t{y0 - 1} * stride + 3 * int64_t{c - 1};
    const Triple below = LoadTriple(row);
    const Triple here = LoadTriple(row + stride);
    __m128i side_below = below.side, side_here = here.side, centre_here = here.centre;
    __m128i done_below = below.centre;  // final: row y0 - 1 is done or never changes
    const __m128i zero = _mm_setzero_si128();
    const __m128i max_byte = _mm_set1_epi16(255);
    const __m128i reciprocal =
        _mm_set1_epi16(static_cast<int16_t>(kSharpen ? kSharpenReciprocal : kSoftenReciprocal));
    uint8_t* out = bits + int64_t{y0} * stride + 3 * int64_t{c};
    const uint8_t* above = row + 2 * stride;
    for (int32_t y = y0; y <= y1; ++y, out += stride, above += stride) {
        const Triple next = LoadTriple(above);
        // Everything but the pixel just below, which the previous step has only now produced.
        const __m128i rest = _mm_add_epi16(_mm_add_epi16(side_below, side_here),
                                           _mm_add_epi16(next.side, next.centre));
        __m128i total;
        if (kSharpen) {  // 16 c - sum9 = 15 c - rest - done_below
            const __m128i c15 = _mm_sub_epi16(_mm_slli_epi16(centre_here, 4), centre_here);
            total = _mm_sub_epi16(_mm_sub_epi16(c15, rest), done_below);
        } else {  // 3 c + sum9 = 4 c + rest + done_below
            total = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(centre_here, 2), rest), done_below);
        }
        const __m128i quotient = _mm_mulhi_epu16(_mm_max_epi16(total, zero), reciprocal);
        const __m128i value = _mm_min_epi16(quotient, max_byte);
        const uint32_t bytes =
            static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(value, value)));
        out[0] = static_cast<uint8_t>(bytes);
        out[1] = static_cast<uint8_t>(bytes >> 8);
        out[2] = static_cast<uint8_t>(bytes >> 16);
        side_below = side_here;
        side_here = next.side;
        done_below = value;
        centre_here = next.centre;
    }
}
#endif

// The defining order is: columns c = 1..W-2 left to right, and within a column memory rows
// y = 1..H-2 bottom to top, each pixel reading its neighbours from the one buffer. So pixel (c, y)
// reads new values at (c-1, y-1..y+1) and (c, y-1), and old values at (c, y+1) and
// (c+1, y-1..y+1). Any order that keeps those facts gives the same bytes. Walking the picture in
// diagonal bands of s = c + y (band after band, each band column by column, bottom to top) does:
// the new neighbours have s' <= s and come earlier in the band or in an earlier band; the old
// ones have s' >= s and come later. A band touches only a few rows at a time, so the walk stays in
// the cache and the TLB instead of striding over the whole buffer for every column.
//
// Several threads can share the walk. A pixel of band k + 1 in column j reads new values of band
// k only in columns j - 1 and j, and band k's column j reads old values of band k + 1 only in
// columns j and j + 1 (and nothing of the bands further on). So band k + 1 may do its column j as
// soon as band k has finished its column j, and never earlier. The threads take the bands in
// order, each the next one nobody has taken; each band publishes the last column it has finished,
// and the thread of the next band, when it catches up, sleeps until that band is well ahead.
// Nothing spins: the threads may share the cores with other work, and a thread spinning on a core
// would take it from the very thread it waits for.
constexpr int32_t kBand = 32;  // rows of a column segment
// A thread that has caught up sleeps until the band before its own is this many columns ahead of
// it (or finished), so that it does not have to sleep again at once.
constexpr int32_t kLag = 128;
// A band publishes its progress every this many columns, and at its end: a sequentially
// consistent store per column would cost more than a waiter gains from knowing each column.
constexpr int32_t kPublishEvery = 8;

struct BandWalk {
    PixelView view;
    int32_t s_last;

    int32_t Count() const { return (s_last - 2) / kBand + 1; }
    int32_t Start(int32_t k) const { return 2 + k * kBand; }
    int32_t End(int32_t k) const { return std::min(Start(k) + kBand - 1, s_last); }
    int32_t FirstColumn(int32_t k) const { return std::max(1, Start(k) - (view.height - 2)); }
    int32_t LastColumn(int32_t k) const { return std::min(view.width - 2, End(k) - 1); }

    template <bool kSharpen>
    void Column(int32_t k, int32_t c) const {
        const int32_t y0 = std::max(1, Start(k) - c);
        const int32_t y1 = std::min(view.height - 2, End(k) - c);
#if defined(__SSE2__)
        SharpenColumnSse2<kSharpen>(view.bits, view.stride, c, y0, y1);
#else
        SharpenColumn<kSharpen>(view.bits, view.stride, c, y0, y1);
#endif
    }
};

constexpr int32_t kNobody = INT32_MAX;

// One band's progress, and where the thread of the next band sleeps when it has caught up.
// Lost wake-ups: the sleeper stores `wanted` and then reads `done`, the publisher stores `done`
// and then reads `wanted`, all sequentially consistent, so at least one of them sees the other's
// store; the sleeper checks and waits under the mutex, and the publisher takes the mutex before
// it notifies, so a notification cannot fall between the sleeper's check and its wait.
struct alignas(64) BandProgress {
    std::atomic<int32_t> done{0};          // the last column finished; columns start at 1
    std::atomic<int32_t> wanted{kNobody};  // the column the next band's thread sleeps for
    std::mutex mutex;
    std::condition_variable reached;

    void Publish(int32_t column) {
        done.store(column, std::memory_order_seq_cst);
        if (wanted.load(std::memory_order_seq_cst) <= column) {
            const std::lock_guard lock(mutex);
            // One notification per sleep, however long the sleeper takes to be scheduled.
            wanted.store(kNobody, std::memory_order_relaxed);
            reached.notify_one();
        }
    }

    // Returns the last column finished, once it is at least `column`; when it has to sleep, it
    // sleeps until `target` (>= column) is finished.
    int32_t WaitFor(int32_t column, int32_t target) {
        int32_t seen = done.load(std::memory_order_acquire);
        if (seen >= column) return seen;
        std::unique_lock lock(mutex);
        for (;;) {
            wanted.store(target, std::memory_order_seq_cst);
            if ((seen = done.load(std::memory_order_seq_cst)) >= target) break;
            reached.wait(lock);
        }
        wanted.store(kNobody, std::memory_order_relaxed);
        return seen;
    }
};

// Takes bands in order from `next` until none is left, each after the band before it.
template <bool kSharpen>
void WalkSharedBands(const BandWalk& walk, std::vector<BandProgress>& progress,
                     std::atomic<int32_t>& next) {
    for (int32_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < walk.Count();) {
        BandProgress* before = k > 0 ? &progress[size_t(k - 1)] : nullptr;
        const int32_t before_last = k > 0 ? walk.LastColumn(k - 1) : 0;
        int32_t seen = 0;  // the last column of band k - 1 known to be finished
        const int32_t first = walk.FirstColumn(k), last = walk.LastColumn(k);
        for (int32_t c = first; c <= last; ++c) {
            const int32_t needed = std::min(c, before_last);
            if (seen < needed) {
                seen = before->WaitFor(needed, std::min(c + kLag, before_last));
            }
            walk.Column<kSharpen>(k, c);
            if (c == last || (c - first + 1) % kPublishEvery == 0) {
                progress[size_t(k)].Publish(c);
            }
        }
    }
}

// Shares the walk between `threads` threads, the calling one among them; a thread that cannot
// be started leaves its share to the others. False, with nothing done, when the progress records
// cannot be allocated.
template <bool kSharpen>
bool WalkShared(const BandWalk& walk, int32_t threads) {
    std::vector<BandProgress> progress;
    try {
        progress = std::vector<BandProgress>(size_t(walk.Count()));
    } catch (...) {
        return false;
    }
    std::atomic<int32_t> next{0};
    std::vector<std::thread> workers;
    try {
        workers.reserve(size_t(threads - 1));
        for (int32_t t = 1; t < threads; ++t) {
            workers.emplace_back([&] { WalkSharedBands<kSharpen>(walk, progress, next); });
        }
    } catch (...) {  // std::system_error (no thread) or std::bad_alloc
    }
    WalkSharedBands<kSharpen>(walk, progress, next);
    for (std::thread& worker : workers) worker.join();
    return true;
}

// A thread given fewer pixels than this costs more than it saves.
constexpr int64_t kSharpenPixelsPerThread = int64_t{1} << 17;

template <bool kSharpen>
void SharpenInPlace(PixelView view, int32_t budget) {
    const int32_t w = view.width, h = view.height;
    if (w < 3 || h < 3) return;
    const BandWalk walk{view, (w - 2) + (h - 2)};
    const int64_t threads = std::min<int64_t>(
        {detail::ThreadsFor(budget), walk.Count(), int64_t{w} * h / kSharpenPixelsPerThread});
    if (threads >= 2 && WalkShared<kSharpen>(walk, static_cast<int32_t>(threads))) return;
    for (int32_t k = 0; k < walk.Count(); ++k) {
        for (int32_t c = walk.FirstColumn(k); c <= walk.LastColumn(k); ++c) {
            walk.Column<kSharpen>(k, c);
        }
    }
}

}  // namespace

void cImage::DarkenPic(int32_t Part255) {
    if (!PicValid()) return;
    std::array<uint8_t, 256> table{};
    for (int32_t v = 0; v < 256; ++v) {
        const int64_t q = int64_t{v} * Part255 / 255;
        table[size_t(v)] = (q >= 0 && q <= 255) ? static_cast<uint8_t>(q) : static_cast<uint8_t>(v);
    }
    const PixelView view = View();
    const int64_t row_bytes = int64_t{3} * view.width;
    for (int32_t dib_row = 0; dib_row < view.height; ++dib_row) {
        uint8_t* p = view.DibRow(dib_row);
        int64_t x = 0;
#if defined(__SSE2__)
        if (Part255 >= 0 && Part255 <= 255) x = DarkenBytesSse2(p, row_bytes, Part255);
#endif
        for (; x < row_bytes; ++x) p[x] = table[p[x]];
    }
}

void cImage::LightenPic(int32_t LPerc, int32_t Threads) {
    if (!PicValid()) return;
    const std::array<float, 256> unit = UnitTable();
    const double factor = double(LPerc) / 100 + 1;
    const PixelView view = View();
    const int64_t pixels = int64_t{view.width} * view.height;
    if (pixels >= kLightenTablePixels) {
        const std::vector<PairEntry> table = PairTable(unit, factor);
        detail::SplitRows(view.height, pixels, Threads, [&](int32_t first, int32_t end) {
            for (int32_t dib_row = first; dib_row < end; ++dib_row) {
                uint8_t* p = view.DibRow(dib_row);
                for (int32_t c = 0; c < view.width; ++c, p += 3) {
                    LightenPixelFast(p, unit, table.data());
                }
            }
        });
        return;
    }
    // The defining steps, literally, pixel by pixel.
    for (int32_t dib_row = 0; dib_row < view.height; ++dib_row) {
        uint8_t* p = view.DibRow(dib_row);
        for (int32_t c = 0; c < view.width; ++c, p += 3) {
            Hsl hsl = RgbToHsl(unit[p[2]], unit[p[1]], unit[p[0]]);
            hsl.l = static_cast<float>(double(hsl.l) * factor);
            if (hsl.l > 1.0f) hsl.l = 1.0f;
            const Channels out = HslToChannels(hsl);
            StoreChannel(p[2], out.red);
            StoreChannel(p[1], out.green);
            StoreChannel(p[0], out.blue);
        }
    }
}

void cImage::SharpenPic(bool IfSharpen, int32_t Threads) {
    if (!PicValid()) return;
    if (IfSharpen) {
        SharpenInPlace<true>(View(), Threads);
    } else {
        SharpenInPlace<false>(View(), Threads);
    }
}

}  // namespace pictorra::image
