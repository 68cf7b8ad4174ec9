// The blit loops' fast paths (string-store fills, streamed copies of large
// areas, vector keyed rows) against a plain per-pixel reference, at each depth.
#include "platform/Blit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A buffer with padding at the end of each row and guard bytes around the
// whole, so writes outside the pixels show up.
struct TestBuffer {
    TestBuffer(int width, int height, int bytesPerPixel, int padding, BYTE seed)
        : memory(size_t((width * bytesPerPixel + padding) * height + 2 * kGuard))
    {
        for (size_t i = 0; i < memory.size(); ++i)
            memory[i] = BYTE(i * 131 + seed);
        pixels = { memory.data() + kGuard, width, height, width * bytesPerPixel + padding, bytesPerPixel };
    }

    DWORD at(int x, int y) const
    {
        DWORD value = 0;
        std::memcpy(&value, pixels.bits + y * pixels.pitch + x * pixels.bytesPerPixel, size_t(pixels.bytesPerPixel));
        return value;
    }

    static constexpr int kGuard = 64;
    std::vector<BYTE> memory;
    PixelBuffer pixels;
};

DWORD mask(int bytesPerPixel)
{
    return bytesPerPixel == 4 ? 0xFFFFFFFF : (DWORD(1) << (8 * bytesPerPixel)) - 1;
}

TEST(Blit, FillsOnlyTheClippedRectangleAtEveryDepthAndWidth)
{
    for (int bpp : { 1, 2, 4 }) {
        for (int padding : { 0, 4 }) {
            // Short rows take the plain loop, long ones string stores; with no
            // padding a full-width fill is one span.
            for (RECT rect : { RECT { 3, 2, 9, 7 }, RECT { 1, 1, 199, 5 }, RECT { -5, -5, 500, 500 } }) {
                TestBuffer buffer(200, 9, bpp, padding, 7);
                const std::vector<BYTE> before = buffer.memory;
                const DWORD value = 0x12345678 & mask(bpp);
                FillPixels(buffer.pixels, rect, value);

                for (size_t i = 0; i < buffer.memory.size(); ++i) {
                    const long offset = long(i) - TestBuffer::kGuard;
                    const int y = offset >= 0 ? int(offset / buffer.pixels.pitch) : -1;
                    const int column = offset >= 0 ? int(offset % buffer.pixels.pitch) : -1;
                    const int x = column >= 0 ? column / bpp : -1;
                    const bool inside = y >= std::max<LONG>(rect.top, 0) && y < std::min<LONG>(rect.bottom, 9)
                        && column < 200 * bpp && x >= std::max<LONG>(rect.left, 0)
                        && x < std::min<LONG>(rect.right, 200);
                    const BYTE expected = inside ? BYTE(value >> (8 * (column % bpp))) : before[i];
                    ASSERT_EQ(buffer.memory[i], expected) << bpp << " bytes, byte " << i;
                }
            }
        }
    }
}

TEST(Blit, KeyedRowsOfAnyLengthMatchThePerPixelRule)
{
    for (int bpp : { 1, 2, 4 }) {
        const DWORD key = 0x00AB00AB & mask(bpp);
        // Lengths around the vector block sizes, and offsets that misalign.
        for (int width : { 1, 15, 16, 17, 63, 64, 65, 130 }) {
            TestBuffer source(width + 3, 3, bpp, 0, 1);
            TestBuffer dest(width + 5, 3, bpp, 4, 2);
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < width + 3; x += 3)
                    std::memcpy(source.pixels.bits + y * source.pixels.pitch + x * bpp, &key, size_t(bpp));
            }
            const TestBuffer destBefore = dest;
            CopyPixels(dest.pixels, RECT { 2, 0, 2 + width, 3 }, source.pixels, RECT { 1, 0, 1 + width, 3 }, key);
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < width + 5; ++x) {
                    const bool written = x >= 2 && x < 2 + width && source.at(x - 1, y) != key;
                    ASSERT_EQ(dest.at(x, y), written ? source.at(x - 1, y) : destBefore.at(x, y))
                        << bpp << " bytes, width " << width << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(Blit, LargeOpaqueCopyIsExactAndStaysInsideTheDestination)
{
    // Over the size from which copies stream past the cache; a destination
    // offset of one pixel leaves every row misaligned for 16-byte stores.
    const int width = 2400, height = 1800;
    TestBuffer source(width, height, 4, 0, 3);
    TestBuffer dest(width + 2, height + 1, 4, 8, 5);
    const std::vector<BYTE> before = dest.memory;
    CopyPixels(
        dest.pixels, RECT { 1, 1, 1 + width, 1 + height }, source.pixels, RECT { 0, 0, width, height }, std::nullopt);

    for (int y = 0; y < height + 1; ++y) {
        for (int x = 0; x < width + 2; ++x) {
            const bool copied = x >= 1 && x <= width && y >= 1;
            if (copied)
                ASSERT_EQ(dest.at(x, y), source.at(x - 1, y - 1)) << x << "," << y;
            else
                ASSERT_EQ(dest.at(x, y),
                    [&] {
                        DWORD v;
                        std::memcpy(&v, before.data() + TestBuffer::kGuard + y * dest.pixels.pitch + x * 4, 4);
                        return v;
                    }())
                    << x << "," << y;
        }
    }
    // Guards and row padding untouched.
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + TestBuffer::kGuard, dest.memory.begin()));
    EXPECT_TRUE(std::equal(before.end() - TestBuffer::kGuard, before.end(), dest.memory.end() - TestBuffer::kGuard));
    for (int y = 0; y < height + 1; ++y) {
        const size_t pad = size_t(TestBuffer::kGuard + y * dest.pixels.pitch + (width + 2) * 4);
        EXPECT_TRUE(
            std::equal(before.begin() + long(pad), before.begin() + long(pad) + 8, dest.memory.begin() + long(pad)));
    }
}

} // namespace
