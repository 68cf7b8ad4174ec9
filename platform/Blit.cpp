#include "platform/Blit.h"

#include "platform/PixelFormat.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

using Wide = __int128;

Wide ceilDiv(Wide a, Wide b)
{
    return a >= 0 ? (a + b - 1) / b : -(-a / b);
}

// Which destination positions along one axis a blit writes, and the source
// position each of them reads: s(d) = sourceBegin + (d - destBegin) * sourceSize / destSize.
struct AxisMap {
    int begin = 0;
    int end = 0;
    bool identity = true;
    int offset = 0; // source = dest + offset, when identity
    std::vector<int> source; // source[d - begin], otherwise

    int at(int d) const { return identity ? d + offset : source[size_t(d - begin)]; }
};

AxisMap mapAxis(LONG destBegin, LONG destEnd, int destLimit, LONG sourceBegin, LONG sourceEnd, int sourceLimit)
{
    const Wide dW = Wide(destEnd) - destBegin;
    const Wide sW = Wide(sourceEnd) - sourceBegin;
    Wide lo = std::max<Wide>(destBegin, 0);
    Wide hi = std::min<Wide>(destEnd, destLimit);
    // Keep only positions whose source lies in [0, sourceLimit); one pixel
    // to one pixel (every blit of a frame) needs no division for that.
    if (dW == sW) {
        lo = std::max(lo, Wide(destBegin) - std::min<LONG>(sourceBegin, 0));
        hi = std::min(hi, Wide(destBegin) + sourceLimit - sourceBegin);
    } else {
        if (sourceBegin < 0)
            lo = std::max(lo, destBegin + ceilDiv(-Wide(sourceBegin) * dW, sW));
        hi = std::min(hi, destBegin + ceilDiv((Wide(sourceLimit) - sourceBegin) * dW, sW));
    }

    AxisMap map;
    if (lo >= hi)
        return map;
    map.begin = int(lo);
    map.end = int(hi);
    map.identity = dW == sW;
    if (map.identity) {
        map.offset = int(Wide(sourceBegin) - destBegin);
        return map;
    }
    map.source.resize(size_t(map.end - map.begin));
    for (int d = map.begin; d < map.end; ++d)
        map.source[size_t(d - map.begin)] = int(sourceBegin + (Wide(d) - destBegin) * sW / dW);
    return map;
}

// The keyed copy is the hot loop of every frame: a branch-free select over
// fixed-size blocks, which the compiler turns into vector compares and
// blends even at -O2 (a block's trip count is known), then a short tail.
template<typename Pixel>
[[gnu::always_inline]] inline void keyedRow(
    Pixel* __restrict dest, const Pixel* __restrict source, int count, Pixel key)
{
    constexpr int kBlock = 64 / sizeof(Pixel);
    int i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        for (int j = 0; j < kBlock; ++j) {
            const Pixel value = source[i + j];
            dest[i + j] = value == key ? dest[i + j] : value;
        }
    }
    for (; i < count; ++i) {
        const Pixel value = source[i];
        dest[i] = value == key ? dest[i] : value;
    }
}

#if defined(__x86_64__)
// The same loop built for AVX2, used only where the processor has it.
template<typename Pixel>
[[gnu::target("avx2")]] void keyedRowAvx2(Pixel* __restrict dest, const Pixel* __restrict source, int count, Pixel key)
{
    keyedRow<Pixel>(dest, source, count, key);
}

bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

template<typename Pixel> void keyedRows(Pixel* dest, const Pixel* source, int count, Pixel key)
{
#if defined(__x86_64__)
    if (hasAvx2())
        return keyedRowAvx2<Pixel>(dest, source, count, key);
#endif
    keyedRow<Pixel>(dest, source, count, key);
}

// Copies and fills larger than this go past the cache: they bypass it with
// non-temporal stores, which measured about 30% faster for 3840x2160 frames
// and no better for 1920x1080 (on a 32 MiB L3).
constexpr size_t kStreamBytes = size_t(16) << 20;

// An opaque row copy that does not pull the destination into the cache.
void streamRow(BYTE* dest, const BYTE* source, size_t bytes)
{
#if defined(__x86_64__)
    const size_t head = std::min(bytes, (16 - (reinterpret_cast<std::uintptr_t>(dest) & 15)) & 15);
    std::memcpy(dest, source, head);
    size_t i = head;
    for (; i + 64 <= bytes; i += 64) {
        _mm_prefetch(reinterpret_cast<const char*>(source + i + 512), _MM_HINT_NTA);
        const auto* s = reinterpret_cast<const __m128i*>(source + i);
        auto* d = reinterpret_cast<__m128i*>(dest + i);
        const __m128i a = _mm_loadu_si128(s), b = _mm_loadu_si128(s + 1);
        const __m128i c = _mm_loadu_si128(s + 2), e = _mm_loadu_si128(s + 3);
        _mm_stream_si128(d, a);
        _mm_stream_si128(d + 1, b);
        _mm_stream_si128(d + 2, c);
        _mm_stream_si128(d + 3, e);
    }
    std::memcpy(dest + i, source + i, bytes - i);
#else
    std::memcpy(dest, source, bytes);
#endif
}

void streamDone()
{
#if defined(__x86_64__)
    _mm_sfence();
#endif
}

// A row of one value. String stores match memset's speed for any pattern,
// where a plain loop of 16-byte stores is half as fast on cached frames.
template<typename Pixel> void fillSpan(Pixel* dest, size_t count, Pixel value)
{
    if constexpr (sizeof(Pixel) == 1) {
        std::memset(dest, value, count);
    } else {
#if defined(__x86_64__)
        if (count >= 64) {
            if constexpr (sizeof(Pixel) == 4)
                asm volatile("rep stosl" : "+D"(dest), "+c"(count) : "a"(value) : "memory");
            else
                asm volatile("rep stosw" : "+D"(dest), "+c"(count) : "a"(value) : "memory");
            return;
        }
#endif
        std::fill(dest, dest + count, value);
    }
}

template<typename Pixel>
void stretchedRow(
    Pixel* __restrict dest, const Pixel* __restrict source, const int* columns, int count, std::optional<Pixel> key)
{
    if (key) {
        for (int i = 0; i < count; ++i) {
            const Pixel value = source[columns[i]];
            dest[i] = value == *key ? dest[i] : value;
        }
    } else {
        for (int i = 0; i < count; ++i)
            dest[i] = source[columns[i]];
    }
}

template<typename Pixel>
void copyRows(
    const PixelBuffer& dest, const PixelBuffer& source, const AxisMap& xs, const AxisMap& ys, std::optional<DWORD> key)
{
    const int count = xs.end - xs.begin;
    const std::optional<Pixel> pixelKey = key ? std::optional<Pixel>(Pixel(*key)) : std::nullopt;
    const size_t rowBytes = size_t(count) * sizeof(Pixel);
    if (xs.identity && ys.identity && !pixelKey && rowBytes * size_t(ys.end - ys.begin) > kStreamBytes) {
        for (int y = ys.begin; y < ys.end; ++y)
            streamRow(dest.bits + size_t(y) * size_t(dest.pitch) + size_t(xs.begin) * sizeof(Pixel),
                source.bits + size_t(y + ys.offset) * size_t(source.pitch)
                    + size_t(xs.begin + xs.offset) * sizeof(Pixel),
                rowBytes);
        streamDone();
        return;
    }
    for (int y = ys.begin; y < ys.end; ++y) {
        auto* out = reinterpret_cast<Pixel*>(dest.bits + size_t(y) * size_t(dest.pitch)) + xs.begin;
        const auto* in = reinterpret_cast<const Pixel*>(source.bits + size_t(ys.at(y)) * size_t(source.pitch));
        if (!xs.identity)
            stretchedRow<Pixel>(out, in, xs.source.data(), count, pixelKey);
        else if (pixelKey)
            keyedRows<Pixel>(out, in + xs.begin + xs.offset, count, *pixelKey);
        else
            std::memcpy(out, in + xs.begin + xs.offset, size_t(count) * sizeof(Pixel));
    }
}

template<typename Pixel> void fillRows(const PixelBuffer& dest, int left, int top, int right, int bottom, Pixel value)
{
    // Whole rows without padding are one span.
    if (left == 0 && right == dest.width && size_t(dest.pitch) == size_t(dest.width) * sizeof(Pixel)) {
        fillSpan(reinterpret_cast<Pixel*>(dest.bits + size_t(top) * size_t(dest.pitch)),
            size_t(bottom - top) * size_t(dest.width), value);
        return;
    }
    for (int y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<Pixel*>(dest.bits + size_t(y) * size_t(dest.pitch));
        fillSpan(row + left, size_t(right - left), value);
    }
}

// Source over for one 32-bit pixel: the source's colour plus the
// destination's scaled by 255 - alpha. Red and blue go as two 16-bit lanes
// of one word, green alone; with t = x * y + 128 (which fits 16 bits),
// (t + (t >> 8)) >> 8 is x * y / 255 rounded to nearest for all x, y below
// 256. Premultiplied colour never exceeds its alpha, so no channel carries
// into the next. The destination's top byte is left out, so it stays clear.
[[gnu::always_inline]] inline std::uint32_t overPixel(std::uint32_t dest, std::uint32_t source)
{
    const std::uint32_t inverse = 255 - (source >> 24);
    std::uint32_t rb = (dest & 0x00FF00FF) * inverse + 0x00800080;
    std::uint32_t g = (dest & 0x0000FF00) * inverse + 0x00008000;
    rb = ((rb + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    g = ((g + ((g >> 8) & 0x0000FF00)) >> 8) & 0x0000FF00;
    return (source & 0x00FFFFFF) + rb + g;
}

// Pictures are blended in blocks of this many pixels, as the keyed copy
// goes: fixed-size loops the compiler vectorises even at -O2; a run's last
// few pixels go in a small block (one 16-byte vector) where they can. A
// mixed run takes in gaps shorter than a small block.
constexpr int kBlendBlock = 8;
constexpr int kSmallBlock = 4;

// overPixel for a block, in 16-bit lanes (red and blue of each pixel, then
// green and the clear top byte), where the multiplies are cheapest. With
// t = x * y + 128, (t * 257) >> 16 equals (t + (t >> 8)) >> 8: one
// high-half multiply instead of shifts and adds.
template<int kBlock>
[[gnu::always_inline]] inline void overBlock(std::uint32_t* __restrict dest, const std::uint32_t* __restrict source)
{
    constexpr int kLanes = 2 * kBlock;
    std::uint16_t rb[kLanes], g[kLanes], inverse[kLanes];
    for (int j = 0; j < kBlock; ++j) {
        // 255 - alpha in both halves of the word.
        const std::uint32_t a = 0x00FF00FF - ((source[j] >> 24) | ((source[j] >> 8) & 0x00FF0000));
        const std::uint32_t redBlue = dest[j] & 0x00FF00FF, green = (dest[j] >> 8) & 0x00FF00FF;
        std::memcpy(rb + 2 * j, &redBlue, 4);
        std::memcpy(g + 2 * j, &green, 4);
        std::memcpy(inverse + 2 * j, &a, 4);
    }
    for (int k = 0; k < kLanes; ++k) {
        rb[k] = std::uint16_t((std::uint32_t(std::uint16_t(rb[k] * inverse[k] + 128)) * 257) >> 16);
        g[k] = std::uint16_t((std::uint32_t(std::uint16_t(g[k] * inverse[k] + 128)) * 257) >> 16);
    }
    for (int j = 0; j < kBlock; ++j) {
        std::uint32_t redBlue, green;
        std::memcpy(&redBlue, rb + 2 * j, 4);
        std::memcpy(&green, g + 2 * j, 4);
        dest[j] = (source[j] & 0x00FFFFFF) + redBlue + (green << 8);
    }
}

// A mixed run, blended branch-free.
[[gnu::always_inline]] inline void mixRow32(
    std::uint32_t* __restrict dest, const std::uint32_t* __restrict source, int count)
{
    int i = 0;
    for (; i + kBlendBlock <= count; i += kBlendBlock)
        overBlock<kBlendBlock>(dest + i, source + i);
    if (i + kSmallBlock <= count) {
        overBlock<kSmallBlock>(dest + i, source + i);
        i += kSmallBlock;
    }
    for (; i < count; ++i)
        dest[i] = overPixel(dest[i], source[i]);
}

// A row of unknown content: pictures with soft edges are mostly transparent
// or opaque, so a block of either is skipped or copied, and only mixed
// blocks are blended.
[[gnu::always_inline]] inline void blendRow32(
    std::uint32_t* __restrict dest, const std::uint32_t* __restrict source, int count)
{
    constexpr int kBlock = kBlendBlock;
    int i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        std::uint32_t any = 0, all = 0xFFFFFFFF;
        for (int j = 0; j < kBlock; ++j) {
            any |= source[i + j];
            all &= source[i + j];
        }
        if (any == 0)
            continue;
        if (all >= 0xFF000000) {
            for (int j = 0; j < kBlock; ++j)
                dest[i + j] = source[i + j] & 0x00FFFFFF;
            continue;
        }
        overBlock<kBlendBlock>(dest + i, source + i);
    }
    for (; i < count; ++i)
        dest[i] = overPixel(dest[i], source[i]);
}

// RGB565 widened as the device context widens it (each field's top bits
// repeated), blended, and narrowed as colours are stored (truncated).
[[gnu::always_inline]] inline void blendRow16(
    std::uint16_t* __restrict dest, const std::uint32_t* __restrict source, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::uint32_t r = dest[i] >> 11, g = (dest[i] >> 5) & 0x3F, b = dest[i] & 0x1F;
        const std::uint32_t wide = (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
        const std::uint32_t c = overPixel(wide, source[i]);
        dest[i] = std::uint16_t(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
    }
}

// A picture drawn one pixel to one pixel by its runs: the rows [top,
// bottom) of `dest`, the columns [from, to) of the picture, which lie
// `offset` pixels right of (and `rowOffset` rows below) the destination's.
struct RunBlit {
    const PixelBuffer& dest;
    const PixelBuffer& source;
    const AlphaRuns& runs;
    int top, bottom, rowOffset;
    int from, to, offset;
};

// What a run blit does with a run: copy an opaque one, blend a block, or
// blend the part of a block that an edge leaves.
struct PlainRunKernel {
    static void copy(std::uint32_t* dest, const std::uint32_t* source, int count)
    {
        std::memcpy(dest, source, size_t(count) * sizeof(*dest));
    }
    static void mix(std::uint32_t* dest, const std::uint32_t* source, int count) { mixRow32(dest, source, count); }
    static void mixBlock(std::uint32_t* dest, const std::uint32_t* source) { overBlock<kBlendBlock>(dest, source); }
};

// How many rows ahead the lines a picture's blocks blend onto are fetched.
constexpr int kFetchAhead = 3;

// Every column of the picture drawn (`kWhole`, the usual case) or some cut
// off; its blocks then lie within what is drawn.
template<typename Kernel, bool kWhole> [[gnu::always_inline]] inline void runBlit32(const RunBlit& b)
{
    // Everything the loop reads is held here: the stores to the destination
    // could otherwise alias it and force reloads every run.
    const AlphaRun* const runs = b.runs.runs.data();
    const int* const rows = b.runs.rows.data() + b.rowOffset;
    const int* const copies = b.runs.copies.data() + b.rowOffset;
    const std::uint32_t* const pixels = b.runs.pixels.data();
    const int from = b.from, to = b.to, offset = b.offset;
    const size_t pitch = size_t(b.dest.pitch);
    const Kernel kernel;
    // The destination's rows lie far apart, so each block's load waits on
    // memory unless its line was asked for rows before (copies only store):
    // the first rows' lines now, then each block's a few rows below it.
    if constexpr (kWhole)
        for (int y = b.top; y < std::min(b.top + kFetchAhead, b.bottom); ++y) {
            auto* ahead = reinterpret_cast<const std::uint32_t*>(b.dest.bits + size_t(y) * pitch);
            for (const AlphaRun* run = runs + rows[y]; run != runs + copies[y]; ++run)
                __builtin_prefetch(ahead + (run->begin - offset), 1);
        }
    const std::uintptr_t fetchAhead = kFetchAhead * pitch;
    BYTE* line = b.dest.bits + size_t(b.top) * pitch;
    for (int y = b.top; y < b.bottom; ++y, line += pitch) {
        auto* out = reinterpret_cast<std::uint32_t*>(line);
        const AlphaRun* run = runs + rows[y];
        if constexpr (kWhole) {
            for (const AlphaRun* const blocks = runs + copies[y]; run != blocks; ++run) {
                std::uint32_t* at = out + (run->begin - offset);
                // Rows ahead have their blocks about where this one has. A
                // prefetch past the surface's end is harmless.
                __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(at) + fetchAhead), 1);
                kernel.mixBlock(at, pixels + run->pixels);
            }
            for (const AlphaRun* const last = runs + rows[y + 1]; run != last; ++run)
                kernel.copy(out + (run->begin - offset), pixels + run->pixels, run->end - run->begin);
            continue;
        }
        for (const AlphaRun* const blocks = runs + copies[y]; run != blocks; ++run) {
            if (run->begin >= from && run->end <= to) {
                kernel.mixBlock(out + (run->begin - offset), pixels + run->pixels);
                continue;
            }
            // A block cut by the edge of what is drawn.
            const int begin = std::max(run->begin, from), end = std::min(run->end, to);
            if (begin < end)
                kernel.mix(out + (begin - offset), pixels + run->pixels + (begin - run->begin), end - begin);
        }
        for (const AlphaRun* const last = runs + rows[y + 1]; run != last; ++run) {
            const int begin = std::max(run->begin, from), end = std::min(run->end, to);
            if (begin < end)
                kernel.copy(out + (begin - offset), pixels + run->pixels + (begin - run->begin), end - begin);
        }
    }
}

#if defined(__x86_64__)
// Source over for 4 pixels, as overBlock computes it: red and blue in the
// 16-bit lanes of one vector, green alone in another, each times 255 -
// alpha (in both lanes of a pixel), plus 128, then (t * 257) >> 16.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i over4(__m128i dest, __m128i source)
{
    const __m128i lowBytes = _mm_set1_epi32(0x00FF00FF);
    __m128i inverse = _mm_sub_epi32(_mm_set1_epi32(255), _mm_srli_epi32(source, 24));
    inverse = _mm_or_si128(inverse, _mm_slli_epi32(inverse, 16));
    __m128i rb = _mm_mullo_epi16(_mm_and_si128(dest, lowBytes), inverse);
    __m128i g = _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(dest, 8), _mm_set1_epi32(0xFF)), inverse);
    const __m128i half = _mm_set1_epi16(128), scale = _mm_set1_epi16(257);
    rb = _mm_mulhi_epu16(_mm_add_epi16(rb, half), scale);
    g = _mm_mulhi_epu16(_mm_add_epi16(g, half), scale);
    const __m128i colour = _mm_and_si128(source, _mm_set1_epi32(0x00FFFFFF));
    return _mm_add_epi32(colour, _mm_or_si128(rb, _mm_slli_epi32(g, 8)));
}

// The run blit's steps in 32-byte vectors, their constants held in
// registers over a whole blit.
struct Avx2RunKernel {
    [[gnu::target("avx2")]] Avx2RunKernel()
        : m_alphas(_mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, 3, -1, 3, -1, 7, -1, 7,
            -1, 11, -1, 11, -1, 15, -1, 15, -1))
        , m_greens(_mm256_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1, 1, -1, -1, -1, 5, -1,
              -1, -1, 9, -1, -1, -1, 13, -1, -1, -1))
        , m_lowBytes(_mm256_set1_epi32(0x00FF00FF))
        , m_colour(_mm256_set1_epi32(0x00FFFFFF))
        , m_half(_mm256_set1_epi16(128))
        , m_scale(_mm256_set1_epi16(257))
    {
    }
    // overBlock for 8 pixels: byte shuffles put 255 - alpha in both 16-bit
    // lanes of a pixel, and green alone in the low one.
    [[gnu::target("avx2")]] void mixBlock(std::uint32_t* dest, const std::uint32_t* source) const
    {
        auto* at = reinterpret_cast<__m256i*>(dest);
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source)), d = _mm256_loadu_si256(at);
        const __m256i inverse = _mm256_xor_si256(_mm256_shuffle_epi8(s, m_alphas), m_lowBytes);
        __m256i rb = _mm256_mullo_epi16(_mm256_and_si256(d, m_lowBytes), inverse);
        __m256i g = _mm256_mullo_epi16(_mm256_shuffle_epi8(d, m_greens), inverse);
        rb = _mm256_mulhi_epu16(_mm256_add_epi16(rb, m_half), m_scale);
        g = _mm256_mulhi_epu16(_mm256_add_epi16(g, m_half), m_scale);
        const __m256i over = _mm256_or_si256(rb, _mm256_slli_epi32(g, 8));
        _mm256_storeu_si256(at, _mm256_add_epi32(_mm256_and_si256(s, m_colour), over));
    }

    // Runs are short (an opaque one is a picture's row less its edges), so
    // a call to memcpy costs about what the copy does: 32-byte moves
    // inline, the last one overlapping the one before.
    [[gnu::target("avx2")]] void copy(std::uint32_t* dest, const std::uint32_t* source, int count) const
    {
        if (count >= 8) {
            int i = 0;
            for (; i + 16 < count; i += 16) {
                const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
                const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i + 8));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), a);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i + 8), b);
            }
            if (i + 8 < count)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i),
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + count - 8),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + count - 8)));
        } else if (count >= 4) {
            const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
            const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + count - 4));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), head);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + count - 4), tail);
        } else {
            for (int i = 0; i < count; ++i)
                dest[i] = source[i];
        }
    }
    [[gnu::target("avx2")]] void mix(std::uint32_t* dest, const std::uint32_t* source, int count) const
    {
        int i = 0;
        for (; i + 8 <= count; i += 8)
            mixBlock(dest + i, source + i);
        if (i + 4 <= count) {
            auto* d = reinterpret_cast<__m128i*>(dest + i);
            _mm_storeu_si128(
                d, over4(_mm_loadu_si128(d), _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i))));
            i += 4;
        }
        for (; i < count; ++i)
            dest[i] = overPixel(dest[i], source[i]);
    }

    __m256i m_alphas, m_greens, m_lowBytes, m_colour, m_half, m_scale;
};
#endif

#if defined(__x86_64__)
[[gnu::target("avx2")]] void blendRow32Avx2(
    std::uint32_t* __restrict dest, const std::uint32_t* __restrict source, int count)
{
    blendRow32(dest, source, count);
}

// Flattened: the kernel's steps inline only into a caller built for AVX2.
template<bool kWhole> [[gnu::target("avx2"), gnu::flatten]] void runBlit32Avx2(const RunBlit& b)
{
    runBlit32<Avx2RunKernel, kWhole>(b);
}

[[gnu::target("avx2")]] void blendRow16Avx2(
    std::uint16_t* __restrict dest, const std::uint32_t* __restrict source, int count)
{
    blendRow16(dest, source, count);
}
#endif

void blendRows32(std::uint32_t* dest, const std::uint32_t* source, int count)
{
#if defined(__x86_64__)
    if (hasAvx2())
        return blendRow32Avx2(dest, source, count);
#endif
    blendRow32(dest, source, count);
}

void runBlits32(const RunBlit& b)
{
    // Blocks lie within pictures at least a block wide.
    const bool whole = b.from == 0 && b.to == b.source.width && b.source.width >= kBlendBlock;
#if defined(__x86_64__)
    if (hasAvx2())
        return whole ? runBlit32Avx2<true>(b) : runBlit32Avx2<false>(b);
#endif
    return whole ? runBlit32<PlainRunKernel, true>(b) : runBlit32<PlainRunKernel, false>(b);
}

void blendRows16(std::uint16_t* dest, const std::uint32_t* source, int count)
{
#if defined(__x86_64__)
    if (hasAvx2())
        return blendRow16Avx2(dest, source, count);
#endif
    blendRow16(dest, source, count);
}

// The nearest palette entry of blended colours, remembered in a small
// direct-mapped table: a picture's pixels repeat their colours, and a full
// search is 256 distances.
class NearestEntries {
public:
    explicit NearestEntries(const PALETTEENTRY* palette)
        : m_palette(palette)
    {
        m_colors.fill(kNone);
    }
    BYTE operator()(std::uint32_t rgb)
    {
        const size_t slot = (rgb * 2654435761u) >> (32 - kBits);
        if (m_colors[slot] != rgb) {
            m_colors[slot] = rgb;
            m_entries[slot] = NearestPaletteIndex(0xFF000000 | rgb, m_palette);
        }
        return m_entries[slot];
    }

private:
    static constexpr int kBits = 12;
    static constexpr std::uint32_t kNone = 0xFFFFFFFF; // no colour has its top byte set
    const PALETTEENTRY* m_palette;
    std::array<std::uint32_t, size_t(1) << kBits> m_colors;
    std::array<BYTE, size_t(1) << kBits> m_entries {};
};

// A pixel the picture leaves as it is keeps its index, so equal entries are
// not merged.
void blendRow8(BYTE* dest, const std::uint32_t* source, int count, const std::uint32_t* colors, NearestEntries& nearest)
{
    for (int i = 0; i < count; ++i) {
        if (source[i] == 0)
            continue;
        const std::uint32_t before = colors[dest[i]];
        const std::uint32_t after = overPixel(before, source[i]);
        if (after != before)
            dest[i] = nearest(after);
    }
}

} // namespace

void FillPixels(const PixelBuffer& dest, const RECT& rect, DWORD value)
{
    const int left = int(std::clamp<LONG>(rect.left, 0, dest.width));
    const int right = int(std::clamp<LONG>(rect.right, 0, dest.width));
    const int top = int(std::clamp<LONG>(rect.top, 0, dest.height));
    const int bottom = int(std::clamp<LONG>(rect.bottom, 0, dest.height));
    if (left >= right || top >= bottom)
        return;
    switch (dest.bytesPerPixel) {
    case 4:
        fillRows<std::uint32_t>(dest, left, top, right, bottom, value);
        break;
    case 2:
        fillRows<std::uint16_t>(dest, left, top, right, bottom, std::uint16_t(value));
        break;
    default:
        fillRows<std::uint8_t>(dest, left, top, right, bottom, std::uint8_t(value));
    }
}

void CopyPixels(const PixelBuffer& dest, const RECT& destRect, const PixelBuffer& source, const RECT& sourceRect,
    std::optional<DWORD> key)
{
    const AxisMap xs
        = mapAxis(destRect.left, destRect.right, dest.width, sourceRect.left, sourceRect.right, source.width);
    const AxisMap ys
        = mapAxis(destRect.top, destRect.bottom, dest.height, sourceRect.top, sourceRect.bottom, source.height);
    if (xs.begin >= xs.end || ys.begin >= ys.end)
        return;
    switch (dest.bytesPerPixel) {
    case 4:
        copyRows<std::uint32_t>(dest, source, xs, ys, key);
        break;
    case 2:
        copyRows<std::uint16_t>(dest, source, xs, ys, key);
        break;
    default:
        copyRows<std::uint8_t>(dest, source, xs, ys, key);
    }
}

namespace {

bool isEmptyRect(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

RECT intersection(const RECT& a, const RECT& b)
{
    const RECT r { std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
        std::min(a.bottom, b.bottom) };
    return isEmptyRect(r) ? RECT {} : r;
}

bool contains(const RECT& outer, const RECT& inner)
{
    return isEmptyRect(inner)
        || (outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right
            && outer.bottom >= inner.bottom);
}

} // namespace

void KnownFill::wrote(const RECT& area)
{
    if (isEmptyRect(area))
        return;
    if (isEmptyRect(drawn)) {
        drawn = area;
        return;
    }
    drawn = { std::min(drawn.left, area.left), std::min(drawn.top, area.top), std::max(drawn.right, area.right),
        std::max(drawn.bottom, area.bottom) };
}

RECT KnownFill::fill(const RECT& area, DWORD fillValue, const RECT& whole, bool exact)
{
    const RECT target = intersection(area, whole);
    if (isEmptyRect(target))
        return {};
    if (fillValue == value) {
        const RECT needed = intersection(target, drawn);
        if (exact && contains(target, drawn))
            drawn = {};
        return needed;
    }
    if (contains(target, whole)) {
        value = fillValue;
        if (!exact && !isEmptyRect(drawn))
            return target;
        // Written where the memory is next used.
        drawn = {};
        pending = true;
        settled = {};
        return {};
    }
    wrote(target);
    return target;
}

AlphaRuns FindAlphaRuns(const PixelBuffer& source)
{
    AlphaRuns found;
    const size_t height = size_t(std::max(source.height, 0));
    found.rows.reserve(height + 1);
    found.copies.reserve(height);
    std::vector<AlphaRun> copies;
    for (int y = 0; y < source.height; ++y) {
        found.rows.push_back(int(found.runs.size()));
        copies.clear();
        const auto* row = reinterpret_cast<const std::uint32_t*>(source.bits + size_t(y) * size_t(source.pitch));
        const auto mixed = [&](int x) { return row[x] != 0 && row[x] < 0xFF000000; };
        for (int x = 0; x < source.width;) {
            if (row[x] == 0) {
                ++x;
                continue;
            }
            AlphaRun run { x, x + 1, !mixed(x), int(found.pixels.size()) };
            if (run.opaque) {
                while (run.end < source.width && row[run.end] >= 0xFF000000)
                    ++run.end;
                for (int i = run.begin; i < run.end; ++i)
                    found.pixels.push_back(row[i] & 0x00FFFFFF);
                copies.push_back(run);
                x = run.end;
                continue;
            }
            // Short gaps of other pixels stay in: blending them changes
            // nothing, and fewer runs mean fewer branches.
            for (int i = run.end; i < source.width && i - run.end < kSmallBlock; ++i)
                if (mixed(i))
                    run.end = i + 1;
            x = run.end;
            // Whole blocks, padded with transparent pixels, moved left where
            // they would pass the picture's right edge.
            const int padded = (run.end - run.begin + kBlendBlock - 1) & -kBlendBlock;
            const int block = std::max(0, std::min(run.begin, source.width - padded));
            found.pixels.resize(found.pixels.size() + size_t(run.begin - block), 0);
            found.pixels.insert(found.pixels.end(), row + run.begin, row + run.end);
            found.pixels.resize(size_t(run.pixels + padded), 0);
            for (int i = 0; i < padded; i += kBlendBlock)
                found.runs.push_back({ block + i, block + i + kBlendBlock, false, run.pixels + i });
        }
        found.copies.push_back(int(found.runs.size()));
        found.runs.insert(found.runs.end(), copies.begin(), copies.end());
    }
    found.rows.push_back(int(found.runs.size()));
    return found;
}

void BlendPixels(const PixelBuffer& dest, const RECT& destRect, const PixelBuffer& source, const RECT& sourceRect,
    const PALETTEENTRY* palette, const AlphaRuns* runs)
{
    if (source.bytesPerPixel != 4)
        return;
    const AxisMap xs
        = mapAxis(destRect.left, destRect.right, dest.width, sourceRect.left, sourceRect.right, source.width);
    const AxisMap ys
        = mapAxis(destRect.top, destRect.bottom, dest.height, sourceRect.top, sourceRect.bottom, source.height);
    if (xs.begin >= xs.end || ys.begin >= ys.end)
        return;
    // Runs are in the picture's columns: of use one pixel to one pixel.
    if (!xs.identity || (runs && runs->rows.size() != size_t(source.height) + 1))
        runs = nullptr;
    // The picture's columns that are drawn.
    const int from = xs.begin + xs.offset, to = xs.end + xs.offset;
    // Every frame's case: one pixel to one pixel onto 32 bits, all rows in
    // one go.
    if (runs && ys.identity && dest.bytesPerPixel == 4)
        return runBlits32({ dest, source, *runs, ys.begin, ys.end, ys.offset, from, to, xs.offset });
    const int count = xs.end - xs.begin;
    // A stretched row is gathered first, then blended as a plain one.
    std::vector<std::uint32_t> gathered(xs.identity ? 0 : size_t(count));
    std::array<std::uint32_t, 256> colors;
    std::unique_ptr<NearestEntries> nearest;
    if (dest.bytesPerPixel == 1) {
        if (!palette)
            palette = DefaultPalette();
        for (int i = 0; i < 256; ++i)
            colors[size_t(i)]
                = std::uint32_t(palette[i].peRed) << 16 | std::uint32_t(palette[i].peGreen) << 8 | palette[i].peBlue;
        nearest.reset(new NearestEntries(palette));
    }
    for (int y = ys.begin; y < ys.end; ++y) {
        const int sy = ys.at(y);
        const auto* in = reinterpret_cast<const std::uint32_t*>(source.bits + size_t(sy) * size_t(source.pitch));
        BYTE* out = dest.bits + size_t(y) * size_t(dest.pitch);
        if (runs) {
            const AlphaRun* first = runs->runs.data() + runs->rows[size_t(sy)];
            const AlphaRun* last = runs->runs.data() + runs->rows[size_t(sy) + 1];
            // Every run blended, the transparent ones left out.
            for (const AlphaRun* run = first; run != last; ++run) {
                const int begin = std::max(run->begin, from), end = std::min(run->end, to);
                if (begin >= end)
                    continue;
                // A mixed run's block may take in pixels of its neighbours,
                // transparent in its own copy.
                const std::uint32_t* pixels
                    = run->opaque ? in + begin : runs->pixels.data() + run->pixels + (begin - run->begin);
                if (dest.bytesPerPixel == 4)
                    blendRows32(reinterpret_cast<std::uint32_t*>(out) + (begin - xs.offset), pixels, end - begin);
                else if (dest.bytesPerPixel == 2)
                    blendRows16(reinterpret_cast<std::uint16_t*>(out) + (begin - xs.offset), pixels, end - begin);
                else
                    blendRow8(out + (begin - xs.offset), pixels, end - begin, colors.data(), *nearest);
            }
            continue;
        }
        const std::uint32_t* row = in + from;
        if (!xs.identity) {
            for (int i = 0; i < count; ++i)
                gathered[size_t(i)] = in[xs.source[size_t(i)]];
            row = gathered.data();
        }
        switch (dest.bytesPerPixel) {
        case 4:
            blendRows32(reinterpret_cast<std::uint32_t*>(out) + xs.begin, row, count);
            break;
        case 2:
            blendRows16(reinterpret_cast<std::uint16_t*>(out) + xs.begin, row, count);
            break;
        default:
            blendRow8(out + xs.begin, row, count, colors.data(), *nearest);
        }
    }
}

std::vector<RECT> KnownFill::settle(const RECT& area, const RECT& whole, bool overwritten)
{
    std::vector<RECT> fills;
    const RECT a = intersection(area, whole);
    if (!pending || isEmptyRect(a) || contains(settled, a))
        return fills;
    // What settled grows to, less what it was: up to four bands.
    const RECT s = settled;
    const RECT grown = isEmptyRect(s) ? a
                                      : RECT { std::min(s.left, a.left), std::min(s.top, a.top),
                                            std::max(s.right, a.right), std::max(s.bottom, a.bottom) };
    RECT bands[4] = { grown, {}, {}, {} };
    if (!isEmptyRect(s)) {
        bands[0] = { grown.left, grown.top, grown.right, s.top };
        bands[1] = { grown.left, s.bottom, grown.right, grown.bottom };
        bands[2] = { grown.left, s.top, s.left, s.bottom };
        bands[3] = { s.right, s.top, grown.right, s.bottom };
    }
    for (const RECT& band : bands) {
        if (isEmptyRect(band))
            continue;
        const RECT cut = intersection(band, a);
        if (!overwritten || isEmptyRect(cut)) {
            fills.push_back(band);
            continue;
        }
        // The band less `a`, which the caller writes itself.
        const RECT rest[4]
            = { { band.left, band.top, band.right, cut.top }, { band.left, cut.bottom, band.right, band.bottom },
                  { band.left, cut.top, cut.left, cut.bottom }, { cut.right, cut.top, band.right, cut.bottom } };
        for (const RECT& r : rest)
            if (!isEmptyRect(r))
                fills.push_back(r);
    }
    settled = grown;
    if (contains(settled, whole))
        pending = false;
    return fills;
}

namespace {

// A cell's rows are repeated to at least this many bytes, so that a row of a
// tiled surface is a few long copies, not one for each cell.
constexpr int kTileRowBytes = 4096;
// A repetition pays where the cell is small beside the surface.
constexpr int kCellsPerSurface = 4;
// Copies laid out of order may leave the covered area in pieces; past this
// many, they are written.
constexpr size_t kCoveredPieces = 64;

bool meets(const RECT& a, const RECT& b)
{
    return !isEmptyRect(intersection(a, b));
}

// Two rectangles whose union is a rectangle: one holds the other, or they
// share a side's span and touch or overlap across it.
std::optional<RECT> joined(const RECT& a, const RECT& b)
{
    const bool rows = a.top == b.top && a.bottom == b.bottom && a.left <= b.right && b.left <= a.right;
    const bool columns = a.left == b.left && a.right == b.right && a.top <= b.bottom && b.top <= a.bottom;
    if (!rows && !columns && !contains(a, b) && !contains(b, a))
        return std::nullopt;
    return RECT { std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
        std::max(a.bottom, b.bottom) };
}

// Writes the repetition onto `area` of `dest`, whose pixel (x, y) shows the
// tiled surface's (x + dx, y + dy).
void repeatRows(const PixelBuffer& dest, const RECT& area, const KnownTile& tile, int dx, int dy)
{
    const size_t bpp = size_t(tile.bytesPerPixel);
    const size_t cellPitch = size_t(tile.stride) * bpp;
    const bool stream = size_t(area.right - area.left) * bpp * size_t(area.bottom - area.top) > kStreamBytes;
    for (int y = area.top; y < area.bottom; ++y) {
        const BYTE* row = tile.cell.data() + size_t((y + dy) % tile.height) * cellPitch;
        BYTE* out = dest.bits + size_t(y) * size_t(dest.pitch) + size_t(area.left) * bpp;
        for (int x = area.left, from = (x + dx) % tile.stride; x < area.right; from = 0) {
            const int count = std::min(tile.stride - from, int(area.right) - x);
            if (stream)
                streamRow(out, row + size_t(from) * bpp, size_t(count) * bpp);
            else
                std::memcpy(out, row + size_t(from) * bpp, size_t(count) * bpp);
            out += size_t(count) * bpp;
            x += count;
        }
    }
    if (stream)
        streamDone();
}

} // namespace

bool KnownTile::covers(const RECT& area) const
{
    return !isEmptyRect(area)
        && std::any_of(covered.begin(), covered.end(), [&](const RECT& r) { return contains(r, area); });
}

bool KnownTile::record(
    const PixelBuffer& memory, const RECT& destRect, const PixelBuffer& source, const RECT& sourceRect)
{
    const RECT whole { 0, 0, memory.width, memory.height };
    const RECT area = intersection(destRect, whole);
    const LONGLONG w = LONGLONG(sourceRect.right) - sourceRect.left, h = LONGLONG(sourceRect.bottom) - sourceRect.top;
    if (isEmptyRect(area) || LONGLONG(destRect.right) - destRect.left != w
        || LONGLONG(destRect.bottom) - destRect.top != h || source.bytesPerPixel != memory.bytesPerPixel
        || !contains({ 0, 0, source.width, source.height }, sourceRect))
        return false;
    // A cell from the source's origin, written whole at a multiple of its
    // size: the first of a repetition, perhaps.
    const bool firstCell = sourceRect.left == 0 && sourceRect.top == 0 && contains(whole, destRect)
        && destRect.left % w == 0 && destRect.top % h == 0
        && w * h * kCellsPerSurface <= LONGLONG(whole.right) * whole.bottom;
    const bool learning = !known();
    // The cell's pixels are those the first copy wrote here; on an untouched
    // surface, the first copy's own.
    const bool direct = learning && isEmptyRect(first) && firstCell && untouched;
    if (learning && isEmptyRect(first) && !direct) {
        if (firstCell)
            first = area;
        return false;
    }
    if (direct)
        first = area;
    const size_t bpp = size_t(source.bytesPerPixel);
    const BYTE* origin
        = direct ? source.bits : memory.bits + size_t(first.top) * size_t(memory.pitch) + size_t(first.left) * bpp;
    const size_t originPitch = size_t(direct ? source.pitch : memory.pitch);
    // The same pixels, laid at the same phase as the cell.
    const int cellWidth = learning ? int(first.right - first.left) : width;
    const int cellHeight = learning ? int(first.bottom - first.top) : height;
    const auto rowOf = [&](int y) {
        return learning ? origin + size_t(y) * originPitch : cell.data() + size_t(y) * size_t(stride) * bpp;
    };
    bool fits = direct
        || (sourceRect.right <= cellWidth && sourceRect.bottom <= cellHeight
            && (LONGLONG(destRect.left) - sourceRect.left) % cellWidth == 0
            && (LONGLONG(destRect.top) - sourceRect.top) % cellHeight == 0 && !(learning && meets(area, first)));
    for (int y = sourceRect.top; fits && !direct && y < sourceRect.bottom; ++y)
        fits = std::memcmp(source.bits + size_t(y) * size_t(source.pitch) + size_t(sourceRect.left) * bpp,
                   rowOf(y) + size_t(sourceRect.left) * bpp, size_t(w) * bpp)
            == 0;
    if (!fits) {
        if (!learning && firstCell && !below && covered.size() == 1 && covered.front() == whole) {
            // Nothing here but the old repetition, so the copy's pixels are
            // the new cell at once.
            auto old = std::make_unique<KnownTile>(std::move(*this));
            *this = KnownTile {};
            below = std::move(old);
            return record(memory, destRect, source, sourceRect);
        }
        if (learning && firstCell)
            first = area;
        return false;
    }
    if (learning) {
        width = cellWidth;
        height = cellHeight;
        bytesPerPixel = source.bytesPerPixel;
        int repeats = std::max(1, (kTileRowBytes / bytesPerPixel + width - 1) / width);
        // Rows of whole cache lines keep a tiled row's copies on whole lines,
        // which streaming stores need, where that costs little memory.
        const int perLine = 64 / std::gcd(width * bytesPerPixel, 64);
        if (perLine * width * bytesPerPixel <= 4 * kTileRowBytes)
            repeats = (repeats + perLine - 1) / perLine * perLine;
        stride = width * repeats;
        cell.resize(size_t(stride) * size_t(height) * bpp);
        for (int y = 0; y < height; ++y)
            for (int i = 0; i < repeats; ++i)
                std::memcpy(cell.data() + (size_t(y) * size_t(stride) + size_t(i) * size_t(width)) * bpp, rowOf(y),
                    size_t(width) * bpp);
        covered.push_back(first);
        first = {};
    }
    // Covered areas that make one rectangle become one.
    RECT grown = area;
    for (size_t i = 0; i < covered.size();) {
        if (const std::optional<RECT> both = joined(covered[i], grown)) {
            grown = *both;
            covered.erase(covered.begin() + std::ptrdiff_t(i));
            i = 0;
        } else {
            ++i;
        }
    }
    if (covered.size() >= kCoveredPieces)
        return false;
    covered.push_back(grown);
    if (below && std::all_of(below->covered.begin(), below->covered.end(), [&](const RECT& r) { return covers(r); }))
        below.reset();
    return true;
}

void KnownTile::settle(const PixelBuffer& memory, const RECT& area, bool overwritten)
{
    const auto meetsArea = [&](const KnownTile& tile) {
        return std::any_of(tile.covered.begin(), tile.covered.end(), [&](const RECT& r) { return meets(r, area); });
    };
    const auto withinArea = [&](const KnownTile& tile) {
        return std::all_of(tile.covered.begin(), tile.covered.end(), [&](const RECT& r) { return contains(area, r); });
    };
    if (!meetsArea(*this) && !(below && meetsArea(*below)))
        return;
    if (!overwritten || !withinArea(*this) || (below && !withinArea(*below))) {
        // In the order they were laid.
        if (below)
            for (const RECT& r : below->covered)
                repeatRows(memory, r, *below, 0, 0);
        for (const RECT& r : covered)
            repeatRows(memory, r, *this, 0, 0);
    }
    *this = KnownTile {};
}

void CopyTilePixels(
    const PixelBuffer& dest, const RECT& destRect, const KnownTile& tile, const RECT& sourceRect, int width, int height)
{
    const AxisMap xs = mapAxis(destRect.left, destRect.right, dest.width, sourceRect.left, sourceRect.right, width);
    const AxisMap ys = mapAxis(destRect.top, destRect.bottom, dest.height, sourceRect.top, sourceRect.bottom, height);
    if (xs.begin >= xs.end || ys.begin >= ys.end || !xs.identity || !ys.identity)
        return;
    repeatRows(dest, { xs.begin, ys.begin, xs.end, ys.end }, tile, xs.offset, ys.offset);
}
