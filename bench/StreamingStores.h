#pragma once
// Memory floors with non-temporal stores: 64 bytes at a time, the copy
// prefetching its source past the cache too. Sizes are multiples of 64 and
// buffers 64-byte aligned.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

inline void StreamFill(std::uint8_t* to, std::uint32_t pattern, std::size_t bytes)
{
    const __m128i v = _mm_set1_epi32(int(pattern));
    for (std::size_t i = 0; i < bytes; i += 64) {
        auto* p = reinterpret_cast<__m128i*>(to + i);
        _mm_stream_si128(p, v);
        _mm_stream_si128(p + 1, v);
        _mm_stream_si128(p + 2, v);
        _mm_stream_si128(p + 3, v);
    }
    _mm_sfence();
}

inline void StreamCopy(std::uint8_t* to, const std::uint8_t* from, std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes; i += 64) {
        _mm_prefetch(reinterpret_cast<const char*>(from + i + 512), _MM_HINT_NTA);
        const auto* s = reinterpret_cast<const __m128i*>(from + i);
        auto* d = reinterpret_cast<__m128i*>(to + i);
        const __m128i a = _mm_load_si128(s), b = _mm_load_si128(s + 1), c = _mm_load_si128(s + 2),
                      e = _mm_load_si128(s + 3);
        _mm_stream_si128(d, a);
        _mm_stream_si128(d + 1, b);
        _mm_stream_si128(d + 2, c);
        _mm_stream_si128(d + 3, e);
    }
    _mm_sfence();
}
