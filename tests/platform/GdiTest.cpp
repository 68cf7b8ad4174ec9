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

using SurfaceDc = SurfaceTest;

TEST_F(SurfaceDc, SetPixelStoresTheDisplaysPixelValue)
{
    IDirectDrawSurface* s = make(3, 1);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    HDC second = nullptr;
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_EQ(SetPixel(dc, 1, 0, RGB(0x11, 0x22, 0x33)), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(dc, 3, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(dc, -1, 0, 0), CLR_INVALID);
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    // XRGB with the top byte clear, whatever the painter wrote there.
    EXPECT_EQ(at(s, 1, 0), 0x112233u);
    EXPECT_EQ(at(s, 0, 0), 0u);
}

TEST_F(SurfaceDc, SixteenAndEightBitSurfacesStoreTheirOwnFormat)
{
    open(16);
    IDirectDrawSurface* s16 = make(1, 1);
    HDC dc = nullptr;
    ASSERT_EQ(s16->GetDC(&dc), DD_OK);
    SetPixel(dc, 0, 0, RGB(0xFF, 0x80, 0x08));
    s16->ReleaseDC(dc);
    EXPECT_EQ(at(s16, 0, 0), DWORD((0xFF >> 3) << 11 | (0x80 >> 2) << 5 | (0x08 >> 3)));

    open(8);
    IDirectDrawSurface* s8 = make(2, 1);
    ASSERT_EQ(s8->GetDC(&dc), DD_OK);
    SetPixel(dc, 0, 0, RGB(250, 5, 0)); // nearest default entry: 224, pure red
    SetPixel(dc, 1, 0, RGB(140, 150, 160)); // nearest: 146 (145, 145, 170)
    s8->ReleaseDC(dc);
    EXPECT_EQ(at(s8, 0, 0), 224u);
    EXPECT_EQ(at(s8, 1, 0), 146u);

    // An attached palette decides instead.
    PALETTEENTRY entries[256];
    for (auto& e : entries)
        e = { 0, 0, 0, 0 };
    entries[7] = { 250, 5, 0, 0 };
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(s8->SetPalette(palette), DD_OK);
    palette->Release();
    ASSERT_EQ(s8->GetDC(&dc), DD_OK);
    EXPECT_EQ(GetPixel(dc, 1, 0), 0u); // index 146 is black in this palette
    SetPixel(dc, 0, 0, RGB(255, 0, 0));
    s8->ReleaseDC(dc);
    EXPECT_EQ(at(s8, 0, 0), 7u);
    EXPECT_EQ(at(s8, 1, 0), 146u); // untouched pixels keep their index
}

// Draws `text` the way captions are drawn and returns the set of pixel values found.
std::set<DWORD> drawCaption(IDirectDrawSurface* s, const LOGFONT& lf, COLORREF text, COLORREF back, SIZE* extent)
{
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DD_OK);
    HFONT font = CreateFontIndirectA(&lf);
    SelectObject(dc, font);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    SetBkMode(dc, OPAQUE);
    const RECT all { 0, 0, 10000, 10000 };
    EXPECT_TRUE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &all, "Wg Mj @", 7, nullptr));
    EXPECT_TRUE(GetTextExtentPointA(dc, "Wg Mj @", 7, extent));
    s->ReleaseDC(dc);
    EXPECT_TRUE(DeleteObject(font));

    std::set<DWORD> values;
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    EXPECT_EQ(s->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    for (int y = 0; y < s->height(); ++y)
        for (int x = 0; x < s->width(); ++x) {
            DWORD v = 0;
            std::memcpy(&v, s->bits() + y * s->pitch() + x * (s->bitsPerPixel() / 8), size_t(s->bitsPerPixel() / 8));
            values.insert(v);
        }
    s->Unlock(nullptr);
    return values;
}

TEST_F(SurfaceDc, TextIsDrawnWithoutAntialiasing)
{
    LOGFONT lf;
    lf.lfHeight = -24;
    lf.lfWeight = 700;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    for (int depth : { 32, 16, 8 }) {
        open(depth);
        IDirectDrawSurface* s = make(200, 40);
        SIZE extent;
        const std::set<DWORD> values = drawCaption(s, lf, RGB(255, 255, 255), 0x7F7F00, &extent);
        const PALETTEENTRY* palette = s->colorTable();
        const auto pixel = [&](COLORREF c) {
            if (depth == 32)
                return DWORD(GetRValue(c)) << 16 | DWORD(GetGValue(c)) << 8 | GetBValue(c);
            if (depth == 16)
                return DWORD(GetRValue(c) >> 3) << 11 | DWORD(GetGValue(c) >> 2) << 5 | DWORD(GetBValue(c) >> 3);
            // 8 bits: the entry with the smallest distance.
            DWORD best = 0;
            int bestDistance = 1 << 30;
            for (int i = 0; i < 256; ++i) {
                const int dr = GetRValue(c) - palette[i].peRed, dg = GetGValue(c) - palette[i].peGreen,
                          db = GetBValue(c) - palette[i].peBlue;
                if (dr * dr + dg * dg + db * db < bestDistance) {
                    bestDistance = dr * dr + dg * dg + db * db;
                    best = DWORD(i);
                }
            }
            return best;
        };
        EXPECT_EQ(values, (std::set<DWORD> { pixel(0x7F7F00), pixel(RGB(255, 255, 255)) })) << depth << " bits";
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
    lf.lfItalic = 1;
    lf.lfUnderline = 1;
    lf.lfStrikeOut = 1;
    const QFont styled = FontFromLogFont(lf);
    EXPECT_EQ(styled.weight(), QFont::Bold);
    EXPECT_TRUE(styled.italic());
    EXPECT_TRUE(styled.underline());
    EXPECT_TRUE(styled.strikeOut());
    EXPECT_EQ(styled.family(), "DejaVu Sans");
    EXPECT_EQ(styled.styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);
}

TEST_F(SurfaceDc, BitmapsStretchThroughAMemoryDc)
{
    QTemporaryDir dir;
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 255, 0));
    picture.setPixel(0, 1, qRgb(0, 0, 255));
    picture.setPixel(1, 1, qRgb(10, 20, 30));
    const std::string path = WriteBitmap(dir.path(), "p.bmp", picture);

    auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm;
    ASSERT_EQ(GetObjectA(bitmap, sizeof(bm), &bm), int(sizeof(bm)));
    EXPECT_EQ(bm.bmWidth, 2);
    EXPECT_EQ(bm.bmHeight, 2);

    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(SelectObject(memory, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap)); // still selected
    IDirectDrawSurface* s = make(4, 4);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_FALSE(DeleteDC(dc)); // belongs to the surface
    EXPECT_TRUE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 0, 2, 2, SRCCOPY));
    s->ReleaseDC(dc);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(bitmap));

    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(at(s, x, y), picture.pixel(x / 2, y / 2) & 0xFFFFFF) << x << "," << y;
}

TEST(LoadImage, FilesOfEveryDepthAndRequestedSizes)
{
    QTemporaryDir dir;
    const struct {
        QImage::Format format;
        QColor color;
    } kinds[] = {
        { QImage::Format_Mono, Qt::white },
        { QImage::Format_Indexed8, QColor(0, 127, 127) },
        { QImage::Format_RGB32, QColor(12, 34, 56) },
    };
    for (const auto& kind : kinds) {
        const std::string path = WriteBitmap(dir.path(), "k.bmp", 5, 3, kind.color, kind.format);
        auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        ASSERT_NE(bitmap, nullptr);
        HDC memory = CreateCompatibleDC(nullptr);
        SelectObject(memory, bitmap);
        EXPECT_EQ(GetPixel(memory, 4, 2), RGB(kind.color.red(), kind.color.green(), kind.color.blue()));
        EXPECT_EQ(GetPixel(memory, 5, 0), CLR_INVALID);
        DeleteDC(memory);
        DeleteObject(bitmap);
    }

    const std::string path = WriteBitmap(dir.path(), "s.bmp", 5, 3, Qt::red);
    auto scaled = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 7, 0, LR_LOADFROMFILE));
    BITMAP bm;
    GetObjectA(scaled, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 7);
    EXPECT_EQ(bm.bmHeight, 3);
    DeleteObject(scaled);

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
    auto byNumber = static_cast<HBITMAP>(LoadImageA(module, splashId, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    auto byName = static_cast<HBITMAP>(LoadImageA(module, "splash.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(byNumber, nullptr);
    ASSERT_NE(byName, nullptr);
    BITMAP a, b;
    GetObjectA(byNumber, sizeof(a), &a);
    GetObjectA(byName, sizeof(b), &b);
    EXPECT_GT(a.bmWidth, 0);
    EXPECT_EQ(a.bmWidth, b.bmWidth);
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
    EXPECT_EQ(header->biWidth, a.bmWidth);
}

TEST(OldFiles, ReadThroughNativePaths)
{
    QTemporaryDir dir;
    QFile file(dir.path() + "/data.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("abcdef");
    file.close();

    std::string windowsPath = (dir.path() + "\\data.bin").toStdString();
    const HFILE f = _lopen(windowsPath.c_str(), OF_READ);
    ASSERT_NE(f, HFILE_ERROR);
    char buffer[8] = {};
    EXPECT_EQ(_lread(f, buffer, 4), 4u);
    EXPECT_EQ(_lread(f, buffer + 4, 4), 2u);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(_lclose(f), 0);
    EXPECT_EQ(_lopen((dir.path() + "/missing").toLatin1(), OF_READ), HFILE_ERROR);
}

} // namespace
