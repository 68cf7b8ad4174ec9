// The blit loops (string-store fills, streamed copies, vector keyed rows,
// stretched rows) against a plain per-pixel reference, at every depth.
#include "platform/Blit.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <numeric>
#include <optional>
#include <vector>

namespace {

// Pixels with padding after each row and guard bytes around the whole, so
// that any write outside the pixels shows up. A copy owns its own memory.
struct TestBuffer {
    int width, height, bpp, padding;
    BYTE seed;
    int pitch = width * bpp + padding;
    std::vector<BYTE> memory = noise(size_t(pitch * height + 2 * kGuard), seed);

    static constexpr int kGuard = 64;
    static std::vector<BYTE> noise(size_t size, BYTE seed)
    {
        std::vector<BYTE> bytes(size);
        std::iota(bytes.begin(), bytes.end(), seed);
        return bytes;
    }
    PixelBuffer pixels() { return { memory.data() + kGuard, width, height, pitch, bpp }; }
    DWORD at(int x, int y) const
    {
        DWORD value = 0;
        std::memcpy(&value, memory.data() + kGuard + y * pitch + x * bpp, size_t(bpp));
        return value;
    }
    void set(int x, int y, DWORD value)
    {
        std::memcpy(memory.data() + kGuard + y * pitch + x * bpp, &value, size_t(bpp));
    }
};

// `buffer` with value(x, y) written wherever it gives one inside `rect`.
std::vector<BYTE> Reference(TestBuffer buffer, RECT rect, const std::function<std::optional<DWORD>(int, int)>& value)
{
    for (int y = std::max<LONG>(rect.top, 0); y < std::min<LONG>(rect.bottom, buffer.height); ++y)
        for (int x = std::max<LONG>(rect.left, 0); x < std::min<LONG>(rect.right, buffer.width); ++x)
            if (const std::optional<DWORD> v = value(x, y))
                buffer.set(x, y, *v);
    return buffer.memory;
}

// What CopyPixels must leave in `dest`: destination position d reads source
// position from.begin + (d - to.begin) * from.size / to.size.
std::vector<BYTE> ReferenceCopy(
    const TestBuffer& dest, RECT to, const TestBuffer& source, RECT from, std::optional<DWORD> key)
{
    const auto map = [](int d, LONG toBegin, LONG toEnd, LONG fromBegin, LONG fromEnd) {
        return fromBegin + (__int128(d) - toBegin) * (__int128(fromEnd) - fromBegin) / (__int128(toEnd) - toBegin);
    };
    return Reference(dest, to, [&](int x, int y) -> std::optional<DWORD> {
        const __int128 sx = map(x, to.left, to.right, from.left, from.right);
        const __int128 sy = map(y, to.top, to.bottom, from.top, from.bottom);
        if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height || source.at(int(sx), int(sy)) == key)
            return std::nullopt;
        return source.at(int(sx), int(sy));
    });
}

TEST(Blit, FillsAndCopiesMatchThePerPixelRule)
{
    // Short rows take the plain loop, long ones string stores; with no
    // padding a full-width fill is one span.
    const RECT fills[] = { { 3, 2, 9, 7 }, { 1, 1, 136, 5 }, { -5, -5, 500, 500 }, { 4, 4, 4, 9 } };
    // Off the destination's top left and the source's right, stretched,
    // shrunk, and far out of range.
    std::vector<std::pair<RECT, RECT>> copies
        = { { { 0, 0, 70, 5 }, { 0, 0, 70, 5 } }, { { -1, -2, 5, 2 }, { 131, 0, 137, 4 } },
              { { 0, 0, 137, 6 }, { 0, 0, 3, 2 } }, { { 0, 0, 2, 2 }, { 0, 0, 134, 5 } },
              { { 1, 1, 8, 2 }, { 0, 2, 4, 3 } }, { { INT_MIN, INT_MIN, INT_MAX, INT_MAX }, { 0, 0, 3, 3 } },
              { { 0, 0, 4, 4 }, { INT_MIN, INT_MIN, INT_MAX, INT_MAX } }, { { 100, 100, 200, 200 }, { 0, 0, 3, 3 } },
              { { 0, 0, 4, 4 }, { -50, -50, -40, -40 } }, { { -7, -7, 1, 1 }, { 2, 2, 1000, 1000 } },
              { { 3, 3, INT_MAX, INT_MAX }, { INT_MIN, 0, 1, INT_MAX } } };
    // Keyed rows around the vector block sizes, at offsets that misalign.
    for (int width : { 1, 15, 16, 17, 63, 64, 65, 130 })
        copies.push_back({ { 2, 0, 2 + width, 3 }, { 1, 0, 1 + width, 3 } });

    for (int bpp : { 1, 2, 4 })
        for (int padding : { 0, 4 }) {
            SCOPED_TRACE(testing::Message() << bpp << " bytes, padding " << padding);
            const DWORD mask = bpp == 4 ? 0xFFFFFFFF : (DWORD(1) << (8 * bpp)) - 1, key = 0x00AB00AB & mask;
            for (RECT rect : fills) {
                TestBuffer buffer { 137, 6, bpp, padding, 7 };
                const auto expected = Reference(buffer, rect, [&](int, int) { return 0x12345678 & mask; });
                FillPixels(buffer.pixels(), rect, 0x12345678 & mask);
                ASSERT_EQ(buffer.memory, expected) << rect.left << "," << rect.top << "," << rect.right;
            }
            TestBuffer source { 134, 5, bpp, 0, 1 };
            for (int y = 0; y < 5; ++y)
                for (int x = y % 3; x < 134; x += 3)
                    source.set(x, y, key);
            for (const auto& [to, from] : copies)
                for (std::optional<DWORD> k : { std::optional<DWORD>(), std::optional<DWORD>(key) }) {
                    TestBuffer dest { 137, 6, bpp, padding, 2 };
                    const std::vector<BYTE> expected = ReferenceCopy(dest, to, source, from, k);
                    CopyPixels(dest.pixels(), to, source.pixels(), from, k);
                    ASSERT_EQ(dest.memory, expected) << "keyed " << k.has_value() << ", to " << to.left << "," << to.top
                                                     << " from " << from.left << "," << from.top;
                }
        }
}

TEST(Blit, LargeOpaqueCopyStreamsExactly)
{
    // Over the size from which copies stream past the cache; a destination
    // offset of one pixel leaves every row misaligned for 16-byte stores.
    const int width = 2400, height = 1800;
    TestBuffer source { width, height, 4, 0, 3 }, dest { width + 2, height + 1, 4, 8, 5 };
    const RECT to { 1, 1, 1 + width, 1 + height }, from { 0, 0, width, height };
    const std::vector<BYTE> expected = ReferenceCopy(dest, to, source, from, std::nullopt);
    CopyPixels(dest.pixels(), to, source.pixels(), from, std::nullopt);
    ASSERT_TRUE(dest.memory == expected);
}

} // namespace
