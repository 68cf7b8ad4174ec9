#include "bitmaps/DDUtil.h"
#include "platform/DirectDrawFaults.h"
#include "support/SurfaceTest.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <vector>

namespace {

class BitmapUtilities : public SurfaceTest {
protected:
    // A file of the two headers (biSize, biBitCount, biClrUsed as given)
    // followed by `tail`.
    std::string paletteFile(DWORD biSize, WORD bitCount, DWORD clrUsed, const std::vector<BYTE>& tail)
    {
        BITMAPFILEHEADER file {};
        file.bfType = 0x4D42;
        BITMAPINFOHEADER info {};
        info.biSize = biSize;
        info.biWidth = 1;
        info.biHeight = 1;
        info.biPlanes = 1;
        info.biBitCount = bitCount;
        info.biClrUsed = clrUsed;
        QByteArray bytes(reinterpret_cast<const char*>(&file), sizeof(file));
        bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
        bytes.append(reinterpret_cast<const char*>(tail.data()), qsizetype(tail.size()));
        const QString path = dir.path() + "/palette.bmp";
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        return path.toStdString();
    }

    static std::vector<BYTE> counting(size_t n)
    {
        std::vector<BYTE> bytes(n);
        for (size_t i = 0; i < n; ++i)
            bytes[i] = BYTE(i * 7 + 3);
        return bytes;
    }

    static PALETTEENTRY defaultEntry(int i)
    {
        return { BYTE(((i >> 5) & 7) * 255 / 7), BYTE(((i >> 2) & 7) * 255 / 7), BYTE((i & 3) * 255 / 3), 0 };
    }

    static bool same(const PALETTEENTRY& a, const PALETTEENTRY& b)
    {
        return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue && a.peFlags == b.peFlags;
    }

    QTemporaryDir dir;
};

TEST_F(BitmapUtilities, DefaultPaletteIsThreeThreeTwo)
{
    for (LPCSTR name : { static_cast<LPCSTR>(nullptr), "no/such/palette.bmp" }) {
        IDirectDrawPalette* palette = DDLoadPalette(dd, name);
        ASSERT_NE(palette, nullptr);
        const PALETTEENTRY* e = palette->entries();
        EXPECT_TRUE(same(e[0], { 0, 0, 0, 0 }));
        EXPECT_TRUE(same(e[255], { 255, 255, 255, 0 }));
        EXPECT_TRUE(same(e[224], { 255, 0, 0, 0 }));
        EXPECT_TRUE(same(e[28], { 0, 255, 0, 0 }));
        EXPECT_TRUE(same(e[3], { 0, 0, 255, 0 }));
        EXPECT_TRUE(same(e[146], { 145, 145, 170, 0 }));
        EXPECT_TRUE(same(e[36], { 36, 36, 0, 0 }));
        palette->Release();
    }
}

TEST_F(BitmapUtilities, EightBitFileFillsAllEntriesSwapped)
{
    const std::vector<BYTE> table = counting(1024);
    IDirectDrawPalette* palette = DDLoadPalette(dd, paletteFile(40, 8, 0, table).c_str());
    for (int i = 0; i < 256; ++i) {
        const BYTE* q = &table[size_t(i) * 4]; // blue, green, red, reserved
        EXPECT_TRUE(same(palette->entries()[i], { q[2], q[1], q[0], q[3] })) << i;
    }
    palette->Release();
}

TEST_F(BitmapUtilities, FourBitFileSwapsSixteenAndKeepsTheRestAsRead)
{
    // 16 colours plus 100 more bytes: entries 16..40 raw, the rest default.
    const std::vector<BYTE> tail = counting(64 + 100);
    IDirectDrawPalette* palette = DDLoadPalette(dd, paletteFile(40, 4, 0, tail).c_str());
    const PALETTEENTRY* e = palette->entries();
    for (int i = 0; i < 16; ++i) {
        const BYTE* q = &tail[size_t(i) * 4];
        EXPECT_TRUE(same(e[i], { q[2], q[1], q[0], q[3] })) << i;
    }
    for (int i = 16; i < 41; ++i) {
        const BYTE* q = &tail[size_t(i) * 4];
        EXPECT_TRUE(same(e[i], { q[0], q[1], q[2], q[3] })) << i;
    }
    for (int i = 41; i < 256; ++i)
        EXPECT_TRUE(same(e[i], defaultEntry(i))) << i;
    palette->Release();

    // biClrUsed limits the swapped entries and never exceeds the table.
    palette = DDLoadPalette(dd, paletteFile(40, 8, 3, tail).c_str());
    EXPECT_TRUE(same(palette->entries()[2], { tail[10], tail[9], tail[8], tail[11] }));
    EXPECT_TRUE(same(palette->entries()[3], { tail[12], tail[13], tail[14], tail[15] }));
    palette->Release();
    palette = DDLoadPalette(dd, paletteFile(40, 8, 100000, counting(1024)).c_str());
    EXPECT_NE(palette, nullptr);
    palette->Release();
}

TEST_F(BitmapUtilities, DeepOrOddHeadersSwapNothing)
{
    const std::vector<BYTE> table = counting(1024);
    for (const auto& [size, bits] : { std::pair<DWORD, WORD> { 40, 24 }, { 108, 8 }, { 12, 8 } }) {
        IDirectDrawPalette* palette = DDLoadPalette(dd, paletteFile(size, bits, 0, table).c_str());
        for (int i = 0; i < 256; ++i) {
            const BYTE* q = &table[size_t(i) * 4];
            EXPECT_TRUE(same(palette->entries()[i], { q[0], q[1], q[2], q[3] })) << size << "/" << bits << ": " << i;
        }
        palette->Release();
    }
}

TEST_F(BitmapUtilities, ShortFileGivesNoColourCount)
{
    const QString path = dir.path() + "/short.bmp";
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(30, '\x11'));
    out.close();
    IDirectDrawPalette* palette = DDLoadPalette(dd, path.toLatin1());
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(same(palette->entries()[i], defaultEntry(i))) << i;
    palette->Release();
}

TEST_F(BitmapUtilities, ColorMatchGivesTheStoredValue)
{
    IDirectDrawSurface* s = make(1, 1);
    EXPECT_EQ(DDColorMatch(s, 0x7F7F00), 0x007F7Fu);
    EXPECT_EQ(DDColorMatch(s, RGB(1, 2, 3)), 0x010203u);

    open(16);
    s = make(1, 1);
    EXPECT_EQ(DDColorMatch(s, 0x7F7F00), DWORD((127 >> 2) << 5 | (127 >> 3)));
    EXPECT_EQ(DDColorMatch(s, RGB(255, 255, 255)), 0xFFFFu);

    open(8);
    s = make(1, 1);
    // Green 127 lies between the levels 109 and 145, blue 127 nearest 85:
    // entry 0b000'011'01, the first of the two equally near ones.
    EXPECT_EQ(DDColorMatch(s, 0x7F7F00), 13u);
    EXPECT_EQ(DDColorMatch(s, RGB(255, 0, 0)), 224u);
}

TEST_F(BitmapUtilities, ColorMatchLeavesTheFirstPixelAsItWas)
{
    IDirectDrawSurface* s = make(2, 1);
    DDBLTFX fx;
    fx.dwSize = DDBLTFX_SIZE;
    fx.dwFillColor = 0x445566;
    s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    EXPECT_EQ(DDColorMatch(s, RGB(9, 9, 9)), 0x090909u);
    EXPECT_EQ(at(s, 0, 0), 0x445566u);
    EXPECT_EQ(DDColorMatch(s, CLR_INVALID), 0x445566u);
    EXPECT_EQ(at(s, 0, 0), 0x445566u);

    s->markLost();
    EXPECT_EQ(DDColorMatch(s, RGB(9, 9, 9)), CLR_INVALID);
}

TEST_F(BitmapUtilities, SetColorKeyMakesTheColourTransparent)
{
    IDirectDrawSurface* src = make(2, 1);
    IDirectDrawSurface* dst = make(2, 1);
    HDC dc = nullptr;
    ASSERT_EQ(src->GetDC(&dc), DD_OK);
    SetPixel(dc, 0, 0, 0x7F7F00);
    SetPixel(dc, 1, 0, RGB(200, 0, 0));
    src->ReleaseDC(dc);
    ASSERT_EQ(DDSetColorKey(src, 0x7F7F00), DD_OK);
    EXPECT_EQ(src->sourceKey(), 0x007F7Fu);
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(at(dst, 0, 0), 0u);
    EXPECT_EQ(at(dst, 1, 0), 0xC80000u);
}

TEST_F(BitmapUtilities, LoadBitmapMakesASurfaceOfTheBitmap)
{
    QImage picture(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            picture.setPixel(x, y, qRgb(40 * x, 100 * y, 7));
    const std::string path = WriteBitmap(dir.path(), "pic.bmp", picture);

    IDirectDrawSurface* s = DDLoadBitmap(dd, path.c_str(), 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width(), 3);
    EXPECT_EQ(s->height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(at(s, x, y), picture.pixel(x, y) & 0xFFFFFF);

    IDirectDrawSurface* wide = DDLoadBitmap(dd, path.c_str(), 6, 4);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->width(), 6);
    EXPECT_EQ(at(wide, 5, 3), picture.pixel(2, 1) & 0xFFFFFF);

    EXPECT_EQ(DDLoadBitmap(dd, (dir.path() + "/missing.bmp").toLatin1(), 0, 0), nullptr);
    // A bitmap resource comes first.
    IDirectDrawSurface* splash = DDLoadBitmap(dd, "splash.bmp", 0, 0);
    ASSERT_NE(splash, nullptr);
    EXPECT_GT(splash->width(), 1);
    EXPECT_EQ(dd->liveSurfaceCount(), 3u);
}

TEST_F(BitmapUtilities, ReloadScalesToTheSurfaceAndReportsFailures)
{
    const std::string path = WriteBitmap(dir.path(), "one.bmp", 2, 2, QColor(10, 20, 30));
    IDirectDrawSurface* s = make(5, 3);
    ASSERT_EQ(DDReloadBitmap(s, path.c_str()), DD_OK);
    EXPECT_EQ(at(s, 0, 0), 0x0A141Eu);
    EXPECT_EQ(at(s, 4, 2), 0x0A141Eu);

    WriteBitmap(dir.path(), "one.bmp", 2, 2, QColor(90, 80, 70));
    testing::internal::CaptureStderr();
    EXPECT_EQ(DDReloadBitmap(s, (dir.path() + "/gone.bmp").toLatin1()), E_FAIL);
    FailNextCall(FaultPoint::GetDC);
    EXPECT_NE(DDReloadBitmap(s, path.c_str()), DD_OK);
    FailNextCall(FaultPoint::CreateCompatibleDC);
    EXPECT_EQ(DDReloadBitmap(s, path.c_str()), DD_OK);
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(), "handle is null\nddcopybitmap failed\ncreatecompatible dc failed\n");
    EXPECT_EQ(at(s, 2, 1), 0x0A141Eu); // none of these copied anything

    EXPECT_EQ(DDCopyBitmap(nullptr, nullptr, 0, 0, 0, 0), E_FAIL);
}

TEST_F(BitmapUtilities, ReloadRestoresALostSurface)
{
    const std::string path = WriteBitmap(dir.path(), "one.bmp", 1, 1, QColor(1, 2, 3));
    IDirectDrawSurface* s = make(1, 1);
    s->markLost();
    ASSERT_EQ(DDReloadBitmap(s, path.c_str()), DD_OK);
    EXPECT_FALSE(s->isLost());
    EXPECT_EQ(at(s, 0, 0), 0x010203u);
}

TEST_F(BitmapUtilities, EightBitSurfacesGetNearestEntries)
{
    open(8);
    const std::string path = WriteBitmap(dir.path(), "red.bmp", 2, 2, QColor(250, 10, 0));
    IDirectDrawSurface* s = DDLoadBitmap(dd, path.c_str(), 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(at(s, 1, 1), 224u);
}

} // namespace

namespace {

// A 3 x 2 Windows bitmap of the given depth written byte by byte, bottom-up
// or top-down; pixel (x, y) has colour kColors[(x + 3 * y) % colours].
constexpr QRgb kColors[6]
    = { qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 255, 255) };

QByteArray HandWrittenBitmap(int bitCount, bool topDown)
{
    const int width = 3;
    const int height = 2;
    const int colours = bitCount == 1 ? 2 : 6;
    const int tableSize = bitCount <= 8 ? (1 << bitCount) : 0;
    const int rowBytes = (width * bitCount + 31) / 32 * 4;
    QByteArray pixels(rowBytes * height, '\0');
    for (int y = 0; y < height; ++y) {
        char* row = pixels.data() + (topDown ? y : height - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const int index = (x + 3 * y) % colours;
            const QRgb c = kColors[index];
            switch (bitCount) {
            case 1:
                row[x / 8] = char(row[x / 8] | index << (7 - x % 8));
                break;
            case 4:
                row[x / 2] = char(row[x / 2] | index << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[x] = char(index);
                break;
            case 16: {
                const int v = (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3;
                row[2 * x] = char(v);
                row[2 * x + 1] = char(v >> 8);
                break;
            }
            default:
                row[x * bitCount / 8] = char(qBlue(c));
                row[x * bitCount / 8 + 1] = char(qGreen(c));
                row[x * bitCount / 8 + 2] = char(qRed(c));
            }
        }
    }
    BITMAPINFOHEADER info {};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = topDown ? -height : height;
    info.biPlanes = 1;
    info.biBitCount = WORD(bitCount);
    info.biSizeImage = DWORD(pixels.size());
    QByteArray table(tableSize * 4, '\0');
    for (int i = 0; i < std::min(tableSize, colours); ++i) {
        table[4 * i] = char(qBlue(kColors[i]));
        table[4 * i + 1] = char(qGreen(kColors[i]));
        table[4 * i + 2] = char(qRed(kColors[i]));
    }
    BITMAPFILEHEADER file {};
    file.bfType = 0x4D42;
    file.bfOffBits = DWORD(sizeof(file) + sizeof(info) + table.size());
    file.bfSize = DWORD(file.bfOffBits + pixels.size());
    QByteArray bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    return bytes + table + pixels;
}

} // namespace

TEST_F(BitmapUtilities, FilesOfEveryDepthLoadInEitherRowOrder)
{
    for (int bitCount : { 1, 4, 8, 16, 24, 32 }) {
        for (bool topDown : { false, true }) {
            const QString path = dir.path() + "/depth.bmp";
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(HandWrittenBitmap(bitCount, topDown));
            out.close();
            IDirectDrawSurface* s = DDLoadBitmap(dd, path.toLatin1(), 0, 0);
            ASSERT_NE(s, nullptr) << bitCount << " bits";
            const int colours = bitCount == 1 ? 2 : 6;
            // Five-bit components widen by a shift, as GDI does: 31 becomes 248.
            const DWORD mask = bitCount == 16 ? 0xF8F8F8 : 0xFFFFFF;
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x)
                    EXPECT_EQ(at(s, x, y), kColors[(x + 3 * y) % colours] & mask)
                        << bitCount << " bits, top-down " << topDown << " at " << x << "," << y;
            s->Release();
        }
    }
}

TEST_F(BitmapUtilities, DamagedOrHugeFilesAreRefused)
{
    const QByteArray good = HandWrittenBitmap(24, false);
    const auto load = [&](const QByteArray& bytes) {
        const QString path = dir.path() + "/damaged.bmp";
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        out.close();
        return DDLoadBitmap(dd, path.toLatin1(), 0, 0);
    };
    IDirectDrawSurface* whole = load(good);
    ASSERT_NE(whole, nullptr);
    whole->Release();
    // Every cut of the file, headers or pixels, is refused.
    for (qsizetype length = 0; length < good.size(); ++length)
        EXPECT_EQ(load(good.left(length)), nullptr) << "cut to " << length << " bytes";
    // Sides beyond 32767, claimed by a header whose data would cover them.
    for (LONG side : { 32768, -32768 }) {
        QByteArray huge = good;
        std::memcpy(huge.data() + 22, &side, 4); // biHeight
        huge.append(QByteArray(12 * 32768, '\0'));
        EXPECT_EQ(load(huge), nullptr) << side;
    }
    EXPECT_EQ(dd->liveSurfaceCount(), 0u);
}
