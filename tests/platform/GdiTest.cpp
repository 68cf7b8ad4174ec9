// The drawing layer: pixels and text on surfaces in each display format,
// fonts from logical fonts, bitmaps from files and resources.
#include "platform/Gdi.h"
#include "platform/DirectDraw.h"
#include "platform/Font.h"
#include "support/SurfaceTest.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTemporaryDir>

#include <cstring>
#include <set>

namespace {

class SurfaceDc : public SurfaceTest {
protected:
    // The value SetPixel stores for `color` on a new surface; the pixel beside
    // it keeps its value, and calls outside the surface change nothing.
    DWORD stored(COLORREF color)
    {
        IDirectDrawSurface* s = make(2, 1);
        HDC dc = nullptr;
        EXPECT_EQ(s->GetDC(&dc), DD_OK);
        const COLORREF set = SetPixel(dc, 1, 0, color);
        if (s->bitsPerPixel() == 32) { // every colour is exact
            EXPECT_EQ(set, color);
            EXPECT_EQ(GetPixel(dc, 1, 0), color);
        }
        EXPECT_EQ(GetPixel(dc, 2, 0), CLR_INVALID);
        EXPECT_EQ(SetPixel(dc, -1, 0, 0), CLR_INVALID);
        EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
        EXPECT_EQ(at(s, 0, 0), 0u);
        const DWORD value = at(s, 1, 0);
        s->Release();
        return value;
    }
};

TEST_F(SurfaceDc, SetPixelStoresTheDisplaysPixelValue)
{
    const struct {
        int depth;
        COLORREF color;
        DWORD value;
    } cases[] = {
        { 32, RGB(0x11, 0x22, 0x33), 0x112233 }, // XRGB with the top byte clear
        { 16, RGB(0xFF, 0x80, 0x08), DWORD((0xFF >> 3) << 11 | (0x80 >> 2) << 5 | (0x08 >> 3)) },
        { 16, RGB(255, 255, 255), 0xFFFF },
        { 8, RGB(250, 5, 0), 224 }, // nearest default entry: pure red
        { 8, RGB(140, 150, 160), 146 }, // (145, 145, 170)
        // Green 127 lies between the levels 109 and 145, blue 127 nearest 85:
        // entry 0b000'011'01, the first of the two equally near ones.
        { 8, 0x7F7F00, 13 },
    };
    for (const auto& c : cases) {
        open(c.depth);
        EXPECT_EQ(stored(c.color), c.value) << c.depth << " bits, " << c.color;
    }
}

TEST_F(SurfaceDc, AnAttachedPaletteDecidesEightBitPixels)
{
    open(8);
    IDirectDrawSurface* s = make(2, 1);
    fill(s, nullptr, 146);
    PALETTEENTRY entries[256] = {};
    entries[7] = { 250, 5, 0, 0 };
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(s->SetPalette(palette), DD_OK);
    palette->Release();
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(GetPixel(dc, 1, 0), 0u); // index 146 is black in this palette
    SetPixel(dc, 0, 0, RGB(255, 0, 0));
    s->ReleaseDC(dc);
    EXPECT_EQ(at(s, 0, 0), 7u);
    EXPECT_EQ(at(s, 1, 0), 146u); // untouched pixels keep their index
}

TEST_F(SurfaceDc, TextIsDrawnWithoutAntialiasing)
{
    LOGFONT lf;
    lf.lfHeight = -24;
    lf.lfWeight = 700;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    for (int depth : { 32, 16, 8 }) {
        open(depth);
        const std::set<DWORD> expected { stored(0x7F7F00), stored(RGB(255, 255, 255)) };
        IDirectDrawSurface* s = make(200, 40);
        HDC dc = nullptr;
        ASSERT_EQ(s->GetDC(&dc), DD_OK);
        HFONT font = CreateFontIndirectA(&lf);
        SelectObject(dc, font);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, 0x7F7F00);
        SetBkMode(dc, OPAQUE);
        const RECT all { 0, 0, 10000, 10000 };
        SIZE extent;
        EXPECT_TRUE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &all, "Wg Mj @", 7, nullptr));
        EXPECT_TRUE(GetTextExtentPointA(dc, "Wg Mj @", 7, &extent));
        s->ReleaseDC(dc);
        EXPECT_TRUE(DeleteObject(font));
        std::set<DWORD> values;
        for (int y = 0; y < s->height(); ++y)
            for (int x = 0; x < s->width(); ++x)
                values.insert(at(s, x, y));
        EXPECT_EQ(values, expected) << depth << " bits";
        EXPECT_GT(extent.cx, 40);
        EXPECT_GE(extent.cy, 24);
    }
}

TEST(FontMapping, HeightsFollowTheLogicalFontRules)
{
    LOGFONT lf;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    lf.lfHeight = -20;
    EXPECT_EQ(FontFromLogFont(lf).pixelSize(), 20);
    lf.lfHeight = 30; // a cell height: the whole line fits in it
    const QFont cell = FontFromLogFont(lf);
    EXPECT_LE(QFontMetrics(cell).height(), 30);
    EXPECT_GE(QFontMetrics(cell).height(), 26);
    EXPECT_LT(cell.pixelSize(), 30);
    lf.lfHeight = 0;
    EXPECT_EQ(FontFromLogFont(lf).pointSizeF(), QFont().pointSizeF());

    lf.lfWeight = 700;
    lf.lfItalic = lf.lfUnderline = lf.lfStrikeOut = 1;
    const QFont styled = FontFromLogFont(lf);
    EXPECT_EQ(styled.weight(), QFont::Bold);
    EXPECT_TRUE(styled.italic() && styled.underline() && styled.strikeOut());
    EXPECT_EQ(styled.family(), "DejaVu Sans");
    EXPECT_EQ(styled.styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);
}

SIZE SizeOf(HGDIOBJ bitmap)
{
    BITMAP bm {};
    EXPECT_EQ(GetObjectA(bitmap, sizeof(bm), &bm), int(sizeof(bm)));
    return { bm.bmWidth, bm.bmHeight };
}

// Pixel by pixel stretching from a memory DC is checked through the bitmap loader.
TEST_F(SurfaceDc, BitmapFilesLoadAtTheSizeAskedAndStretchThroughAMemoryDc)
{
    QTemporaryDir dir;
    const std::string path = WriteBitmap(dir.path(), "s.bmp", 5, 3, QColor(0, 127, 127), QImage::Format_Indexed8);
    HGDIOBJ bitmap = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 7, 0, LR_LOADFROMFILE);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(SizeOf(bitmap).cx, 7);
    EXPECT_EQ(SizeOf(bitmap).cy, 3);
    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(SelectObject(memory, bitmap), nullptr);
    EXPECT_EQ(GetPixel(memory, 6, 2), RGB(0, 127, 127));
    EXPECT_EQ(GetPixel(memory, 7, 0), CLR_INVALID);
    EXPECT_FALSE(DeleteObject(bitmap)); // still selected
    IDirectDrawSurface* s = make(4, 4);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_FALSE(DeleteDC(dc)); // belongs to the surface
    EXPECT_TRUE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 0, 7, 3, SRCCOPY));
    s->ReleaseDC(dc);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(bitmap));
    expectPixels(s, [](int, int) { return 0x007F7Fu; });

    EXPECT_EQ(LoadImageA(nullptr, (dir.path() + "/none.bmp").toLatin1(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    // Only Windows bitmaps: a PNG is not one, whatever its name.
    QImage png(2, 2, QImage::Format_RGB32);
    png.fill(Qt::blue);
    png.save(dir.path() + "/fake.bmp", "PNG");
    EXPECT_EQ(LoadImageA(nullptr, (dir.path() + "/fake.bmp").toLatin1(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
}

TEST(LoadImage, ResourcesByNameAndNumber)
{
    HMODULE module = GetModuleHandleA(nullptr);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    const auto splashId = reinterpret_cast<LPCSTR>(152);
    HGDIOBJ byNumber = LoadImageA(module, splashId, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    HGDIOBJ byName = LoadImageA(module, "splash.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    ASSERT_NE(byNumber, nullptr);
    ASSERT_NE(byName, nullptr);
    const LONG width = SizeOf(byNumber).cx;
    EXPECT_GT(width, 0);
    EXPECT_EQ(SizeOf(byName).cx, width);
    DeleteObject(byNumber);
    DeleteObject(byName);
    EXPECT_EQ(LoadImageA(module, "no-such.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
    EXPECT_EQ(LoadImageA(module, reinterpret_cast<LPCSTR>(153), IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "no-such.bmp", RT_BITMAP), nullptr);

    // The locked resource starts at the info header, as a bitmap resource does.
    HRSRC info = FindResourceA(nullptr, splashId, RT_BITMAP);
    ASSERT_NE(info, nullptr);
    auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, info)));
    ASSERT_NE(header, nullptr);
    EXPECT_GE(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, width);
}

} // namespace
