// The blit loops (string-store fills, streamed copies, vector keyed rows,
// stretched rows, blends) against a plain per-pixel reference, at every depth.
#include "platform/Blit.h"
#include "platform/PixelFormat.h"
#include "support/DisplayFixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <optional>
#include <random>
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

// The source pixel a blit from `from` onto `to` reads for destination (x, y):
// position from.begin + (d - to.begin) * from.size / to.size on each axis.
std::optional<DWORD> SourceAt(int x, int y, RECT to, const TestBuffer& source, RECT from)
{
    const auto map = [](int d, LONG toBegin, LONG toEnd, LONG fromBegin, LONG fromEnd) {
        return fromBegin + (__int128(d) - toBegin) * (__int128(fromEnd) - fromBegin) / (__int128(toEnd) - toBegin);
    };
    const __int128 sx = map(x, to.left, to.right, from.left, from.right);
    const __int128 sy = map(y, to.top, to.bottom, from.top, from.bottom);
    if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height)
        return std::nullopt;
    return source.at(int(sx), int(sy));
}

// What CopyPixels must leave in `dest`.
std::vector<BYTE> ReferenceCopy(
    const TestBuffer& dest, RECT to, const TestBuffer& source, RECT from, std::optional<DWORD> key)
{
    return Reference(dest, to, [&](int x, int y) -> std::optional<DWORD> {
        const std::optional<DWORD> value = SourceAt(x, y, to, source, from);
        return value == key ? std::nullopt : value;
    });
}

// What BlendPixels must leave in `dest` at `bpp` bytes a pixel: RGB565 is
// widened by repeating each field's top bits and narrowed by truncating; on
// 8 bits a blended pixel takes the nearest entry (the first of equals),
// unless it still shows its entry's colour.
std::vector<BYTE> ReferenceBlend(
    const TestBuffer& dest, RECT to, const TestBuffer& source, RECT from, const PALETTEENTRY* palette)
{
    const auto color = [&](int i) { return qRgb(palette[i].peRed, palette[i].peGreen, palette[i].peBlue); };
    return Reference(dest, to, [&](int x, int y) -> std::optional<DWORD> {
        const std::optional<DWORD> s = SourceAt(x, y, to, source, from);
        if (!s)
            return std::nullopt;
        const DWORD d = dest.at(x, y);
        if (dest.bpp == 4)
            return SourceOver(d, *s) & 0xFFFFFF;
        if (dest.bpp == 2) {
            const auto widen = [](DWORD v, int bits) { return int(v << (8 - bits) | v >> (2 * bits - 8)); };
            const QRgb c = SourceOver(qRgb(widen(d >> 11, 5), widen(d >> 5 & 0x3F, 6), widen(d & 0x1F, 5)), *s);
            return DWORD(qRed(c) >> 3 << 11 | qGreen(c) >> 2 << 5 | qBlue(c) >> 3);
        }
        const QRgb c = SourceOver(color(int(d)), *s);
        if (c == color(int(d)))
            return std::nullopt;
        int best = 0, bestDistance = INT_MAX;
        for (int i = 0; i < 256; ++i) {
            const int dr = qRed(c) - palette[i].peRed, dg = qGreen(c) - palette[i].peGreen,
                      db = qBlue(c) - palette[i].peBlue;
            if (dr * dr + dg * dg + db * db < bestDistance)
                best = i, bestDistance = dr * dr + dg * dg + db * db;
        }
        return DWORD(best);
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

// Premultiplied pictures blended at every depth: rows of transparent,
// opaque and mixed runs (so that whole blocks are skipped, copied and
// blended), clipped, stretched and shrunk, over noise.
TEST(Blit, BlendsMatchSourceOverAtEveryDepth)
{
    constexpr unsigned kSeed = 20261207;
    std::printf("BlendsMatchSourceOverAtEveryDepth: seed %u\n", kSeed);
    std::mt19937 rng(kSeed);
    const auto random = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TestBuffer source { 75, 6, 4, 0, 0 };
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width;) {
            const int run = random(1, 20), kind = random(0, 2);
            for (int end = std::min(source.width, x + run); x < end; ++x) {
                const int a = kind == 0 ? 0 : kind == 1 ? 255 : random(0, 255);
                source.set(
                    x, y, DWORD(a) << 24 | DWORD(random(0, a)) << 16 | DWORD(random(0, a)) << 8 | DWORD(random(0, a)));
            }
        }
    // A row ending opaque then mixed, whose last block reaches back over
    // the opaque run; and a picture narrower than a block.
    for (int x = 66; x < source.width; ++x)
        source.set(x, 0, x < 71 ? 0xFF102030 : DWORD(x) << 24 | DWORD(x / 2));
    TestBuffer narrow { 5, 3, 4, 0, 0 };
    for (int y = 0; y < narrow.height; ++y)
        for (int x = 0; x < narrow.width; ++x)
            narrow.set(x, y, DWORD(40 * x + 9) << 24 | DWORD(7 * y) << 8);
    // Every alpha over every channel value, the extremes included.
    TestBuffer ramp { 256, 1, 4, 0, 0 };
    for (int a = 0; a < 256; ++a)
        ramp.set(a, 0, DWORD(a) << 24 | DWORD(a / 2) << 16 | DWORD(a) << 8);
    std::array<PALETTEENTRY, 256> palette;
    for (PALETTEENTRY& entry : palette)
        entry = { BYTE(random(0, 255)), BYTE(random(0, 255)), BYTE(random(0, 255)), 0 };
    palette[9] = palette[7]; // of equal entries the first is nearest

    const struct {
        TestBuffer* source;
        RECT to, from;
    } blends[] = {
        { &source, { 0, 0, 75, 6 }, { 0, 0, 75, 6 } }, // whole rows, every block kind
        { &source, { 62, 0, 137, 6 }, { 0, 0, 75, 6 } }, // whole, at the destination's right edge
        { &source, { 3, 1, 12, 4 }, { 1, 2, 10, 5 } }, // short rows: the tail alone
        { &source, { -4, -2, 90, 9 }, { 0, 0, 94, 11 } }, // cut by both buffers
        { &source, { 0, 0, 137, 6 }, { 5, 0, 50, 3 } }, // stretched
        { &source, { 2, 2, 20, 4 }, { 0, 0, 75, 6 } }, // shrunk
        { &ramp, { 0, 0, 137, 6 }, { 0, 0, 256, 1 } },
        { &narrow, { 132, 2, 137, 5 }, { 0, 0, 5, 3 } }, // whole, at the destination's right edge
    };
    for (int bpp : { 4, 2, 1 })
        for (const auto& b : blends) {
            SCOPED_TRACE(testing::Message() << bpp << " bytes, to " << b.to.left << "," << b.to.top << " from "
                                            << b.from.left << "," << b.from.top);
            for (int pass = 0; pass < 2; ++pass) { // over noise, then over black, grey and white rows
                TestBuffer dest { 137, 6, bpp, 4, BYTE(3 + pass) };
                if (pass == 1)
                    for (int y = 0; y < dest.height; ++y)
                        for (int x = 0; x < dest.width; ++x)
                            dest.set(x, y, bpp == 1 ? y * 40 : bpp == 2 ? y * 0x3333 : y * 0x333333);
                if (bpp == 4)
                    for (int y = 0; y < dest.height; ++y)
                        for (int x = 0; x < dest.width; ++x)
                            dest.set(x, y, dest.at(x, y) & 0xFFFFFF); // the display keeps the top byte clear
                const std::vector<BYTE> expected = ReferenceBlend(dest, b.to, *b.source, b.from, palette.data());
                // Over each pixel, or by the runs the source shows in.
                TestBuffer byRuns = dest;
                BlendPixels(dest.pixels(), b.to, b.source->pixels(), b.from, palette.data());
                ASSERT_TRUE(dest.memory == expected) << "pass " << pass;
                const AlphaRuns runs = FindAlphaRuns(b.source->pixels());
                BlendPixels(byRuns.pixels(), b.to, b.source->pixels(), b.from, palette.data(), &runs);
                ASSERT_TRUE(byRuns.memory == expected) << "pass " << pass << " by runs";
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
