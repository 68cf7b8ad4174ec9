// The blit loops (string-store fills, streamed copies, vector keyed rows,
// stretched rows) against a plain per-pixel reference, at every depth.
#include "platform/Blit.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// Pixels with padding after each row and guard bytes around the whole, so
// that any write outside the pixels shows up. A copy owns its own memory.
struct TestBuffer {
    TestBuffer(int w, int h, int bytes, int padding, BYTE seed)
        : width(w)
        , height(h)
        , bpp(bytes)
        , pitch(w * bytes + padding)
        , memory(size_t(pitch * h + 2 * kGuard))
    {
        for (size_t i = 0; i < memory.size(); ++i)
            memory[i] = BYTE(i * 131 + seed);
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

    static constexpr int kGuard = 64;
    int width, height, bpp, pitch;
    std::vector<BYTE> memory;
};

// The source position read for destination position `d`.
__int128 SourceOf(int d, LONG destBegin, LONG destEnd, LONG sourceBegin, LONG sourceEnd)
{
    return sourceBegin
        + (__int128(d) - destBegin) * (__int128(sourceEnd) - sourceBegin) / (__int128(destEnd) - destBegin);
}

// What CopyPixels must leave in `dest`, worked out one pixel at a time.
std::vector<BYTE> ReferenceCopy(TestBuffer dest, RECT to, const TestBuffer& source, RECT from, std::optional<DWORD> key)
{
    for (int y = std::max<LONG>(to.top, 0); y < std::min<LONG>(to.bottom, dest.height); ++y)
        for (int x = std::max<LONG>(to.left, 0); x < std::min<LONG>(to.right, dest.width); ++x) {
            const __int128 sx = SourceOf(x, to.left, to.right, from.left, from.right);
            const __int128 sy = SourceOf(y, to.top, to.bottom, from.top, from.bottom);
            if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height)
                continue;
            if (const DWORD value = source.at(int(sx), int(sy)); value != key)
                dest.set(x, y, value);
        }
    return dest.memory;
}

DWORD Mask(int bpp)
{
    return bpp == 4 ? 0xFFFFFFFF : (DWORD(1) << (8 * bpp)) - 1;
}

TEST(Blit, FillsMatchThePerPixelRule)
{
    // Short rows take the plain loop, long ones string stores; with no
    // padding a full-width fill is one span.
    for (int bpp : { 1, 2, 4 })
        for (int padding : { 0, 4 })
            for (RECT rect :
                { RECT { 3, 2, 9, 7 }, RECT { 1, 1, 199, 5 }, RECT { -5, -5, 500, 500 }, RECT { 4, 4, 4, 9 } }) {
                TestBuffer buffer(200, 9, bpp, padding, 7);
                TestBuffer expected = buffer;
                const DWORD value = 0x12345678 & Mask(bpp);
                for (int y = std::max<LONG>(rect.top, 0); y < std::min<LONG>(rect.bottom, 9); ++y)
                    for (int x = std::max<LONG>(rect.left, 0); x < std::min<LONG>(rect.right, 200); ++x)
                        expected.set(x, y, value);
                FillPixels(buffer.pixels(), rect, value);
                ASSERT_EQ(buffer.memory, expected.memory) << bpp << " bytes, padding " << padding;
            }
}

TEST(Blit, CopiesMatchThePerPixelRule)
{
    struct Case {
        RECT to, from;
    };
    std::vector<Case> cases = {
        { { 0, 0, 70, 5 }, { 0, 0, 70, 5 } },
        { { -1, -2, 5, 2 }, { 131, 0, 137, 4 } }, // off the destination's top left and the source's right
        { { 0, 0, 137, 6 }, { 0, 0, 3, 2 } }, // stretched
        { { 0, 0, 2, 2 }, { 0, 0, 134, 5 } }, // shrunk
        { { 1, 1, 8, 2 }, { 0, 2, 4, 3 } },
        { { INT_MIN, INT_MIN, INT_MAX, INT_MAX }, { 0, 0, 3, 3 } },
        { { 0, 0, 4, 4 }, { INT_MIN, INT_MIN, INT_MAX, INT_MAX } },
        { { 100, 100, 200, 200 }, { 0, 0, 3, 3 } },
        { { 0, 0, 4, 4 }, { -50, -50, -40, -40 } },
        { { -7, -7, 1, 1 }, { 2, 2, 1000, 1000 } },
        { { 3, 3, INT_MAX, INT_MAX }, { INT_MIN, 0, 1, INT_MAX } },
    };
    // Keyed rows around the vector block sizes, at offsets that misalign.
    for (int width : { 1, 15, 16, 17, 63, 64, 65, 130 })
        cases.push_back({ { 2, 0, 2 + width, 3 }, { 1, 0, 1 + width, 3 } });

    for (int bpp : { 1, 2, 4 }) {
        const DWORD key = 0x00AB00AB & Mask(bpp);
        TestBuffer source(134, 5, bpp, 0, 1);
        for (int y = 0; y < 5; ++y)
            for (int x = y % 3; x < 134; x += 3)
                source.set(x, y, key);
        for (const Case& c : cases)
            for (std::optional<DWORD> k : { std::optional<DWORD>(), std::optional<DWORD>(key) }) {
                TestBuffer dest(137, 6, bpp, 4, 2);
                const std::vector<BYTE> expected = ReferenceCopy(dest, c.to, source, c.from, k);
                CopyPixels(dest.pixels(), c.to, source.pixels(), c.from, k);
                ASSERT_EQ(dest.memory, expected) << bpp << " bytes, keyed " << k.has_value() << ", to " << c.to.left
                                                 << "," << c.to.top << " from " << c.from.left << "," << c.from.top;
            }
    }
}

TEST(Blit, LargeOpaqueCopyStreamsExactly)
{
    // Over the size from which copies stream past the cache; a destination
    // offset of one pixel leaves every row misaligned for 16-byte stores.
    const int width = 2400, height = 1800;
    TestBuffer source(width, height, 4, 0, 3);
    TestBuffer dest(width + 2, height + 1, 4, 8, 5);
    const RECT to { 1, 1, 1 + width, 1 + height }, from { 0, 0, width, height };
    const std::vector<BYTE> expected = ReferenceCopy(dest, to, source, from, std::nullopt);
    CopyPixels(dest.pixels(), to, source.pixels(), from, std::nullopt);
    ASSERT_TRUE(dest.memory == expected);
}

} // namespace
