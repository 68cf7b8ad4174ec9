// Bitmap and palette loading onto surfaces, colour matching and keys.
#include "bitmaps/DDUtil.h"
#include "platform/DirectDrawFaults.h"
#include "support/Bytes.h"
#include "support/SurfaceTest.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>

namespace {

// kColors[(x + 3 * y) % colours] at (x, y) of a 3 x 2 Windows bitmap of the
// given depth, written byte by byte, bottom-up or top-down.
constexpr QRgb kColors[6]
    = { qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 255, 255) };

QByteArray HandWrittenBitmap(int bitCount, bool topDown)
{
    const int colours = bitCount == 1 ? 2 : 6, tableSize = bitCount <= 8 ? (1 << bitCount) : 0;
    const int rowBytes = (3 * bitCount + 31) / 32 * 4;
    QByteArray pixels(rowBytes * 2, '\0'), table(tableSize * 4, '\0');
    for (int y = 0; y < 2; ++y) {
        char* row = pixels.data() + (topDown ? y : 1 - y) * rowBytes;
        for (int x = 0; x < 3; ++x) {
            const int index = (x + 3 * y) % colours, bit = x * bitCount;
            const QRgb c = kColors[index];
            if (bitCount <= 8) // packed from the high bits down
                row[bit / 8] = char(row[bit / 8] | index << (8 - bitCount - bit % 8));
            else if (bitCount == 16)
                qToLittleEndian<quint16>((qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3, row + 2 * x);
            else
                row[bit / 8] = char(qBlue(c)), row[bit / 8 + 1] = char(qGreen(c)), row[bit / 8 + 2] = char(qRed(c));
        }
    }
    for (int i = 0; i < std::min(tableSize, colours); ++i)
        qToLittleEndian<quint32>(kColors[i] & 0xFFFFFF, table.data() + 4 * i);
    BITMAPINFOHEADER info {};
    info.biSize = 40;
    info.biWidth = 3;
    info.biHeight = topDown ? -2 : 2;
    info.biPlanes = 1;
    info.biBitCount = WORD(bitCount);
    info.biSizeImage = DWORD(pixels.size());
    BITMAPFILEHEADER file {};
    file.bfType = 0x4D42;
    file.bfOffBits = DWORD(sizeof(file) + sizeof(info) + table.size());
    file.bfSize = DWORD(file.bfOffBits + pixels.size());
    return AsBytes(file) + AsBytes(info) + table + pixels;
}

class BitmapUtilities : public SurfaceTest {
protected:
    IDirectDrawSurface* load(const QByteArray& bytes)
    {
        EXPECT_TRUE(WriteAll(path, bytes));
        return DDLoadBitmap(dd, path.toLatin1(), 0, 0);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("file.bmp");
};

TEST_F(BitmapUtilities, FilesOfEveryDepthLoadInEitherRowOrderAtTheSizeAsked)
{
    for (int bitCount : { 1, 4, 8, 16, 24, 32 })
        for (bool topDown : { false, true }) {
            SCOPED_TRACE(testing::Message() << bitCount << " bits, top-down " << topDown);
            IDirectDrawSurface* s = load(HandWrittenBitmap(bitCount, topDown));
            ASSERT_NE(s, nullptr);
            // Five-bit components widen by a shift, as GDI does: 31 becomes 248.
            const DWORD mask = bitCount == 16 ? 0xF8F8F8 : 0xFFFFFF;
            expectPixels(s, [&](int x, int y) { return kColors[(x + 3 * y) % (bitCount == 1 ? 2 : 6)] & mask; });
            s->Release();
        }
    IDirectDrawSurface* wide = DDLoadBitmap(dd, path.toLatin1(), 6, 4);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->height(), 4);
    expectPixels(wide, [](int x, int y) { return kColors[x / 2 + 3 * (y / 2)] & 0xFFFFFF; });
    // A resource is found by its name before any file.
    IDirectDrawSurface* splash = DDLoadBitmap(dd, "splash.bmp", 0, 0);
    ASSERT_NE(splash, nullptr);
    EXPECT_GT(splash->width(), 1);
    EXPECT_EQ(dd->liveSurfaceCount(), 2u);

    // On an 8-bit display each pixel is the nearest entry.
    open(8);
    IDirectDrawSurface* s
        = DDLoadBitmap(dd, WriteBitmap(dir.path(), "red.bmp", 2, 2, QColor(250, 10, 0)).c_str(), 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(at(s, 1, 1), 224u);
}

TEST_F(BitmapUtilities, DamagedOrHugeFilesAreRefused)
{
    const QByteArray good = HandWrittenBitmap(24, false);
    // Every cut of the file, headers or pixels, is refused.
    for (qsizetype length = 0; length < good.size(); ++length)
        EXPECT_EQ(load(good.left(length)), nullptr) << "cut to " << length << " bytes";
    // Fields changed at an offset; sides beyond 32767 are refused even when
    // the data would cover them.
    const std::tuple<int, LONG, int> cases[] = {
        { 0, 'X', 0 }, // not "BM"
        { 14, 20, 0 }, // an info header of no known size
        { 18, 0, 0 }, // no width
        { 22, 32768, 12 * 32768 },
        { 22, -32768, 12 * 32768 },
    };
    for (const auto& [offset, value, extra] : cases) {
        QByteArray bad = good + QByteArray(extra, '\0');
        std::memcpy(bad.data() + offset, &value, offset == 0 ? 1 : 4);
        EXPECT_EQ(load(bad), nullptr) << offset << ": " << value;
    }
    EXPECT_EQ(DDLoadBitmap(dd, (dir.path() + "/missing.bmp").toLatin1(), 0, 0), nullptr);
    EXPECT_EQ(dd->liveSurfaceCount(), 0u);
    IDirectDrawSurface* whole = load(good);
    ASSERT_NE(whole, nullptr);
}

TEST_F(BitmapUtilities, ReloadScalesToTheSurfaceRestoresItAndReportsFailures)
{
    const std::string file = WriteBitmap(dir.path(), "one.bmp", 2, 2, QColor(10, 20, 30));
    IDirectDrawSurface* s = make(5, 3);
    s->markLost();
    ASSERT_EQ(DDReloadBitmap(s, file.c_str()), DD_OK);
    EXPECT_FALSE(s->isLost());
    expectPixels(s, [](int, int) { return 0x0A141Eu; });

    WriteBitmap(dir.path(), "one.bmp", 2, 2, QColor(90, 80, 70));
    testing::internal::CaptureStderr();
    EXPECT_EQ(DDReloadBitmap(s, (dir.path() + "/gone.bmp").toLatin1()), E_FAIL);
    FailNextCall(FaultPoint::GetDC);
    EXPECT_NE(DDReloadBitmap(s, file.c_str()), DD_OK);
    FailNextCall(FaultPoint::CreateCompatibleDC);
    EXPECT_EQ(DDReloadBitmap(s, file.c_str()), E_FAIL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        "handle is null\nddcopybitmap failed\ncreatecompatible dc failed\nddcopybitmap failed\n");
    EXPECT_EQ(at(s, 2, 1), 0x0A141Eu); // none of these copied anything
    EXPECT_EQ(DDCopyBitmap(nullptr, nullptr, 0, 0, 0, 0), E_FAIL);
}

TEST_F(BitmapUtilities, ColorMatchGivesTheStoredValueLeavesThePixelAndKeysTheColour)
{
    const std::tuple<int, COLORREF, DWORD> cases[]
        = { { 32, 0x7F7F00, 0x007F7F }, { 16, RGB(255, 255, 255), 0xFFFF }, { 8, 0x7F7F00, 13 } };
    for (const auto& [depth, color, value] : cases) {
        open(depth);
        EXPECT_EQ(DDColorMatch(make(1, 1), color), value) << depth;
    }
    open(32);
    IDirectDrawSurface *s = make(2, 1), *dest = make(2, 1);
    RECT second { 1, 0, 2, 1 };
    fill(s, nullptr, 0x445566);
    fill(s, &second, 0xC80000);
    EXPECT_EQ(DDColorMatch(s, RGB(9, 9, 9)), 0x090909u);
    EXPECT_EQ(DDColorMatch(s, CLR_INVALID), 0x445566u);
    // A key set by colour leaves that colour out of keyed copies.
    ASSERT_EQ(DDSetColorKey(s, RGB(0x44, 0x55, 0x66)), DD_OK);
    ASSERT_EQ(dest->Blt(nullptr, s, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
    expectPixels(dest, [](int x, int) { return x == 0 ? 0u : 0xC80000u; });
    s->markLost();
    EXPECT_EQ(DDColorMatch(s, RGB(9, 9, 9)), CLR_INVALID);
}

bool Same(const PALETTEENTRY& a, const PALETTEENTRY& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(BitmapUtilities, PalettesComeFromTheFilesColourTableOrTheDefault)
{
    IDirectDrawPalette* defaults = DDLoadPalette(dd, nullptr);
    ASSERT_NE(defaults, nullptr);
    const PALETTEENTRY* d = defaults->entries();
    // Three bits of red, three of green, two of blue.
    const std::pair<int, PALETTEENTRY> spots[] = { { 0, { 0, 0, 0, 0 } }, { 255, { 255, 255, 255, 0 } },
        { 224, { 255, 0, 0, 0 } }, { 28, { 0, 255, 0, 0 } }, { 3, { 0, 0, 255, 0 } }, { 146, { 145, 145, 170, 0 } } };
    for (const auto& [i, entry] : spots)
        EXPECT_TRUE(Same(d[i], entry)) << i;

    QByteArray tail;
    for (int i = 0; i < 1024; ++i)
        tail.append(char(i * 7 + 3));
    // Entries below `swapped` come from the table with red and blue swapped,
    // those below `raw` as read, the rest are the default; a missing file or
    // a bitmap resource without a colour table gives the default.
    const struct {
        const char* name;
        DWORD biSize;
        WORD bitCount;
        DWORD clrUsed;
        int tailBytes, cut, swapped, raw;
    } cases[] = {
        { nullptr, 40, 8, 0, 1024, 0, 256, 256 },
        { nullptr, 40, 4, 0, 64 + 100, 0, 16, 41 },
        { nullptr, 40, 8, 3, 64 + 100, 0, 3, 41 }, // biClrUsed limits the swapped entries
        { nullptr, 40, 8, 100000, 1024, 0, 256, 256 }, // and never reaches past the table
        { nullptr, 40, 24, 0, 1024, 0, 0, 256 }, // deep or odd headers swap nothing
        { nullptr, 108, 8, 0, 1024, 0, 0, 256 },
        { nullptr, 12, 8, 0, 1024, 0, 0, 256 },
        { nullptr, 40, 8, 0, 1024, 30, 0, 0 }, // too short for its headers: no colours
        { "no/such/palette.bmp", 0, 0, 0, 0, 0, 0, 0 },
        { "splash.bmp", 0, 0, 0, 0, 0, 0, 0 },
    };
    for (const auto& c : cases) {
        BITMAPFILEHEADER file {};
        file.bfType = 0x4D42;
        BITMAPINFOHEADER info {};
        info.biSize = c.biSize;
        info.biWidth = info.biHeight = info.biPlanes = 1;
        info.biBitCount = c.bitCount;
        info.biClrUsed = c.clrUsed;
        const QByteArray bytes = AsBytes(file) + AsBytes(info) + tail.left(c.tailBytes);
        ASSERT_TRUE(WriteAll(path, c.cut ? bytes.left(c.cut) : bytes));
        IDirectDrawPalette* palette = DDLoadPalette(dd, c.name ? c.name : path.toLatin1().constData());
        ASSERT_NE(palette, nullptr);
        for (int i = 0; i < 256; ++i) {
            const auto q = [&](int k) { return BYTE(tail[4 * i + k]); };
            const PALETTEENTRY expected = i < c.swapped ? PALETTEENTRY { q(2), q(1), q(0), q(3) }
                : i < c.raw                             ? PALETTEENTRY { q(0), q(1), q(2), q(3) }
                                                        : d[i];
            ASSERT_TRUE(Same(palette->entries()[i], expected)) << c.biSize << "/" << c.bitCount << ": " << i;
        }
        palette->Release();
    }
}

} // namespace
