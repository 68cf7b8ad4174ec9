// The drawing layer: pixels and text on surfaces in each display format, fonts from logical fonts, bitmaps from files
// and resources.
#include "platform/Gdi.h"
#include "platform/Font.h"
#include "support/SurfaceTest.h"

#include <QTemporaryDir>

#include <cstring>
#include <set>

namespace {

using SurfaceDc = SurfaceTest;

TEST_F(SurfaceDc, PixelsAndTextStoreTheDisplaysPixelValuesWithoutBlends)
{
    // Two colours per display format and the values they store.
    const struct {
        int depth;
        COLORREF ink, paper;
        DWORD inkValue, paperValue;
    } cases[] = {
        { 32, RGB(0x11, 0x22, 0x33), 0x7F7F00, 0x112233, 0x007F7F }, // XRGB with the top byte clear
        { 16, RGB(0xFF, 0x80, 0x08), RGB(255, 255, 255), (0xFF >> 3) << 11 | (0x80 >> 2) << 5 | (0x08 >> 3), 0xFFFF },
        // The nearest default entries: pure red, and for green 127 between the levels 109 and 145, blue 127 nearest 85,
        // 0b000'011'01, the first of the two equally near ones.
        { 8, RGB(250, 5, 0), 0x7F7F00, 224, 13 },
        { 8, RGB(140, 150, 160), RGB(255, 255, 255), 146, 255 }, // (145, 145, 170)
    };
    LOGFONT lf;
    lf.lfHeight = -24;
    lf.lfWeight = 700;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << " bits, " << c.ink);
        open(c.depth);
        IDirectDrawSurface* s = make(200, 40);
        HDC dc = nullptr;
        ASSERT_EQ(s->GetDC(&dc), DD_OK);
        // 32 bits keep every colour exact; calls outside the surface do nothing.
        EXPECT_TRUE(SetPixel(dc, 1, 0, c.ink) == c.ink || c.depth != 32);
        SetPixel(dc, 2, 0, c.paper);
        EXPECT_EQ(SetPixel(dc, -1, 0, 0) & GetPixel(dc, 200, 0), CLR_INVALID);
        ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
        EXPECT_EQ(at(s, 0, 0), 0u); // untouched
        EXPECT_EQ(at(s, 1, 0), c.inkValue);
        EXPECT_EQ(at(s, 2, 0), c.paperValue);
        ASSERT_EQ(s->GetDC(&dc), DD_OK);
        HFONT font = CreateFontIndirectA(&lf);
        SelectObject(dc, font);
        SetTextColor(dc, c.ink);
        SetBkColor(dc, c.paper);
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
        EXPECT_EQ(values, (std::set<DWORD> { c.inkValue, c.paperValue }));
        EXPECT_GT(extent.cx, 40);
        EXPECT_GE(extent.cy, 24);
    }
    // An attached palette decides 8-bit pixels; untouched pixels keep their index.
    IDirectDrawSurface* s = make(2, 1);
    fill(s, nullptr, 146);
    IDirectDrawPalette* colours = palette(7, { 250, 5, 0, 0 });
    ASSERT_EQ(s->SetPalette(colours), DD_OK);
    colours->Release();
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(GetPixel(dc, 1, 0), 0u); // index 146 is black in this palette
    SetPixel(dc, 0, 0, RGB(255, 0, 0));
    s->ReleaseDC(dc);
    expectPixels(s, [](int x, int) { return x == 0 ? 7u : 146u; });
}

SIZE SizeOf(HGDIOBJ bitmap)
{
    BITMAP bm {};
    EXPECT_EQ(GetObjectA(bitmap, sizeof(bm), &bm), int(sizeof(bm)));
    return { bm.bmWidth, bm.bmHeight };
}

// Files and their stretching onto surfaces are checked through the bitmap loader.
TEST_F(SurfaceDc, BitmapsLoadFromFilesAndResourcesIntoMemoryDcs)
{
    QTemporaryDir dir;
    const std::string path = WriteBitmap(dir.path(), "s.bmp", 5, 3, QColor(0, 127, 127), QImage::Format_Indexed8);
    HGDIOBJ bitmap = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 7, 0, LR_LOADFROMFILE);
    EXPECT_EQ(SizeOf(bitmap).cx, 7);
    EXPECT_EQ(SizeOf(bitmap).cy, 3);
    HDC memory = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(memory, bitmap), nullptr);
    EXPECT_EQ(GetPixel(memory, 6, 2), RGB(0, 127, 127));
    EXPECT_FALSE(DeleteObject(bitmap)); // still selected
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(bitmap));
    // Resources by number and by name; the locked one starts at the info header.
    HMODULE module = GetModuleHandleA(nullptr);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    auto* header = static_cast<const BITMAPINFOHEADER*>(
        LockResource(LoadResource(nullptr, FindResourceA(nullptr, reinterpret_cast<LPCSTR>(152), RT_BITMAP))));
    ASSERT_NE(header, nullptr);
    EXPECT_GE(header->biSize, 40u);
    for (LPCSTR name : { reinterpret_cast<LPCSTR>(152), "splash.bmp" }) {
        bitmap = LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        EXPECT_EQ(SizeOf(bitmap).cx, header->biWidth);
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    EXPECT_EQ(LoadImageA(module, "no-such.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
}

} // namespace
