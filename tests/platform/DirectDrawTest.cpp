#include "platform/DirectDraw.h"
#include "support/SurfaceTest.h"

#include <gtest/gtest.h>

#include <QImage>

#include <climits>
#include <cstring>
#include <vector>

namespace {

// A display of a given depth with helpers to make and read surfaces.
class Surfaces : public SurfaceTest {
protected:
    static void fill(IDirectDrawSurface* s, RECT* rect, DWORD value)
    {
        DDBLTFX fx;
        fx.dwSize = DDBLTFX_SIZE;
        fx.dwFillColor = value;
        ASSERT_EQ(s->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    }

    // Gives every pixel of `s` the value 1000 * y + x (low bits on small depths).
    static void pattern(IDirectDrawSurface* s)
    {
        for (int y = 0; y < s->height(); ++y)
            for (int x = 0; x < s->width(); ++x) {
                RECT one { x, y, x + 1, y + 1 };
                fill(s, &one, DWORD(1000 * y + x));
            }
    }
};

TEST_F(Surfaces, ColorFillIsClippedToTheSurface)
{
    IDirectDrawSurface* s = make(8, 6);
    fill(s, nullptr, 0x123456);
    RECT overhanging { -3, 4, 5, 100 };
    fill(s, &overhanging, 0xABCDEF);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(at(s, x, y), (x < 5 && y >= 4) ? 0xABCDEFu : 0x123456u) << x << "," << y;
}

TEST_F(Surfaces, EmptyRectanglesAreRejected)
{
    IDirectDrawSurface* a = make(4, 4);
    IDirectDrawSurface* b = make(4, 4);
    fill(a, nullptr, 7);
    DDBLTFX fx;
    fx.dwSize = DDBLTFX_SIZE;
    RECT empty { 2, 2, 2, 4 };
    RECT inverted { 3, 3, 1, 1 };
    RECT good { 0, 0, 2, 2 };
    EXPECT_EQ(a->Blt(&empty, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
    EXPECT_EQ(a->Blt(&inverted, b, nullptr, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(a->Blt(&good, b, &empty, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(at(a, 2, 2), 7u);
}

TEST_F(Surfaces, CopyClipsAgainstBothSurfaces)
{
    IDirectDrawSurface* src = make(5, 4);
    IDirectDrawSurface* dst = make(6, 6);
    pattern(src);
    fill(dst, nullptr, 9);

    // Hangs off the destination's top-left and the source's right edge.
    RECT to { -1, -2, 5, 2 };
    RECT from { 1, 0, 7, 4 };
    ASSERT_EQ(dst->Blt(&to, src, &from, DDBLT_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const int sx = x + 2, sy = y + 2; // from - to
            const bool copied = x < 5 && y < 2 && sx < 5;
            EXPECT_EQ(at(dst, x, y), copied ? DWORD(1000 * sy + sx) : 9u) << x << "," << y;
        }
}

TEST_F(Surfaces, WildRectanglesStayInsideBothSurfaces)
{
    IDirectDrawSurface* src = make(3, 3);
    IDirectDrawSurface* dst = make(4, 4);
    pattern(src);
    const std::vector<std::pair<RECT, RECT>> cases = {
        { { INT_MIN, INT_MIN, INT_MAX, INT_MAX }, { 0, 0, 3, 3 } },
        { { 0, 0, 4, 4 }, { INT_MIN, INT_MIN, INT_MAX, INT_MAX } },
        { { 100, 100, 200, 200 }, { 0, 0, 3, 3 } },
        { { 0, 0, 4, 4 }, { -50, -50, -40, -40 } },
        { { -7, -7, 1, 1 }, { 2, 2, 1000, 1000 } },
        { { 3, 3, INT_MAX, INT_MAX }, { INT_MIN, 0, 1, INT_MAX } },
    };
    for (const auto& [to, from] : cases) {
        RECT d = to, s = from;
        EXPECT_EQ(dst->Blt(&d, src, &s, 0, nullptr), DD_OK);
        EXPECT_EQ(dst->Blt(&d, src, &s, DDBLT_KEYSRC, nullptr), DDERR_NOCOLORKEY);
    }
    // Address sanitizer builds catch any stray access; here the sanity of
    // one result: a source far off to the side copies nothing.
    fill(dst, nullptr, 5);
    RECT to { 0, 0, 4, 4 }, from { 10, 0, 14, 4 };
    ASSERT_EQ(dst->Blt(&to, src, &from, 0, nullptr), DD_OK);
    EXPECT_EQ(at(dst, 0, 0), 5u);
}

TEST_F(Surfaces, StretchTakesTheNearestPixel)
{
    IDirectDrawSurface* src = make(2, 2);
    IDirectDrawSurface* big = make(6, 4);
    IDirectDrawSurface* small = make(1, 1);
    pattern(src);
    ASSERT_EQ(big->Blt(nullptr, src, nullptr, 0, nullptr), DD_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(at(big, x, y), DWORD(1000 * (y / 2) + x / 3)) << x << "," << y;
    // Shrinking the 6x4 picture back to 2x2 samples every third column and second row.
    IDirectDrawSurface* back = make(2, 2);
    ASSERT_EQ(back->Blt(nullptr, big, nullptr, 0, nullptr), DD_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(at(back, x, y), at(src, x, y));
    ASSERT_EQ(small->Blt(nullptr, big, nullptr, 0, nullptr), DD_OK);
    EXPECT_EQ(at(small, 0, 0), 0u);
}

TEST_F(Surfaces, SourceKeyLeavesKeyPixelsUnchanged)
{
    IDirectDrawSurface* src = make(4, 1);
    IDirectDrawSurface* dst = make(8, 2);
    pattern(src); // 0 1 2 3
    RECT one { 2, 0, 3, 1 };
    fill(src, &one, 0x7F7F); // the key in the middle
    fill(dst, nullptr, 0xEEEEEE);
    DDCOLORKEY key { 0x7F7F, 0x7F7F };
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);

    RECT to { 1, 1, 5, 2 };
    ASSERT_EQ(dst->Blt(&to, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(at(dst, 1, 1), 0u);
    EXPECT_EQ(at(dst, 2, 1), 1u);
    EXPECT_EQ(at(dst, 3, 1), 0xEEEEEEu);
    EXPECT_EQ(at(dst, 4, 1), 3u);
    EXPECT_EQ(at(dst, 1, 0), 0xEEEEEEu);

    // Keyed and stretched: each source pixel covers two columns.
    fill(dst, nullptr, 0xEEEEEE);
    RECT wide { 0, 0, 8, 1 };
    ASSERT_EQ(dst->Blt(&wide, src, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
    const DWORD expected[] = { 0, 0, 1, 1, 0xEEEEEE, 0xEEEEEE, 3, 3 };
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(at(dst, x, 0), expected[x]) << x;
}

TEST_F(Surfaces, LockDescribesTheMemory)
{
    IDirectDrawSurface* s = make(3, 2);
    fill(s, nullptr, 0x00A0B0C0);
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    RECT second { 1, 1, 2, 2 };
    ASSERT_EQ(s->Lock(&second, &desc, 0, nullptr), DD_OK);
    EXPECT_EQ(desc.dwWidth, 3u);
    EXPECT_EQ(desc.dwHeight, 2u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xFF0000u);
    EXPECT_EQ(static_cast<BYTE*>(desc.lpSurface), s->bits() + s->pitch() + 4);
    EXPECT_EQ(s->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);

    RECT outside { 2, 0, 4, 1 };
    EXPECT_EQ(s->Lock(&outside, &desc, 0, nullptr), DDERR_INVALIDRECT);
    desc.dwSize = sizeof(DDSURFACEDESC) + 1;
    EXPECT_EQ(s->Lock(nullptr, &desc, 0, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(Surfaces, CreationRefusesNonsenseSizes)
{
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface* s = reinterpret_cast<IDirectDrawSurface*>(1);
    desc.dwWidth = 0;
    desc.dwHeight = 5;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s, nullptr);
    desc.dwWidth = 0x80000000u;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_OUTOFMEMORY);
    desc.dwWidth = 30000;
    desc.dwHeight = 30000;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_OUTOFMEMORY);
    EXPECT_EQ(dd->liveSurfaceCount(), 0u);
}

TEST_F(Surfaces, LostSurfacesRefuseWorkUntilRestored)
{
    IDirectDrawSurface* a = make(2, 2);
    IDirectDrawSurface* b = make(2, 2);
    dd->loseAllSurfaces();
    EXPECT_TRUE(a->isLost());
    EXPECT_EQ(a->Blt(nullptr, b, nullptr, 0, nullptr), DDERR_SURFACELOST);
    HDC dc = nullptr;
    EXPECT_EQ(a->GetDC(&dc), DDERR_SURFACELOST);
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    EXPECT_EQ(a->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACELOST);

    EXPECT_EQ(a->Restore(), DD_OK);
    EXPECT_EQ(a->Blt(nullptr, b, nullptr, 0, nullptr), DDERR_SURFACELOST); // the source is still lost
    EXPECT_EQ(b->Restore(), DD_OK);
    EXPECT_EQ(a->Blt(nullptr, b, nullptr, 0, nullptr), DD_OK);
}

TEST_F(Surfaces, ReleasingTheDisplayTakesItsChildrenAlong)
{
    // Left alive on purpose: the DirectDraw object's release frees them
    // (a leak here fails the sanitizer build).
    make(4, 4);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    PALETTEENTRY entries[256] = {};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);

    IDirectDrawSurface* s = make(2, 2);
    EXPECT_EQ(dd->liveSurfaceCount(), 2u);
    EXPECT_EQ(s->Release(), 0u);
    EXPECT_EQ(dd->liveSurfaceCount(), 1u);
}

// Presentation: a capture stands in for the window.
class Presentation : public Surfaces {
protected:
    IDirectDrawSurface* primary()
    {
        DDSURFACEDESC desc;
        desc.dwSize = DDSURFACEDESC_SIZE;
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        IDirectDrawSurface* surface = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
        IDirectDrawClipper* clipper = nullptr;
        EXPECT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        EXPECT_EQ(clipper->SetHWnd(0, &target), DD_OK);
        EXPECT_EQ(surface->SetClipper(clipper), DD_OK);
        return surface;
    }
    CapturingTarget target;
};

TEST_F(Presentation, FrameShowsTheSourcePixels)
{
    IDirectDrawSurface* screen = primary();
    IDirectDrawSurface* back = make(5, 3);
    fill(back, nullptr, 0x102030);
    RECT spot { 4, 2, 5, 3 };
    fill(back, &spot, 0xFFFF00);
    RECT all { 0, 0, 5, 3 };
    ASSERT_EQ(screen->Blt(&all, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    ASSERT_EQ(target.presentations, 1);
    ASSERT_EQ(target.lastFrame.size(), QSize(5, 3));
    EXPECT_EQ(target.lastFrame.pixel(0, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(target.lastFrame.pixel(4, 2), qRgb(0xFF, 0xFF, 0x00));

    // A lost back buffer is reported and nothing is shown.
    back->markLost();
    EXPECT_EQ(screen->Blt(&all, back, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    screen->markLost();
    back->Restore();
    EXPECT_EQ(screen->Blt(&all, back, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(target.presentations, 1);
}

TEST_F(Presentation, PartOfTheSourceIsScaledToTheDestination)
{
    IDirectDrawSurface* screen = primary();
    IDirectDrawSurface* back = make(4, 4);
    pattern(back);
    RECT from { 2, 2, 4, 4 }, to { 0, 0, 4, 2 };
    ASSERT_EQ(screen->Blt(&to, back, &from, 0, nullptr), DD_OK);
    ASSERT_EQ(target.lastFrame.size(), QSize(4, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(target.lastFrame.pixel(x, y) & 0xFFFFFF, at(back, 2 + x / 2, 2 + y)) << x << "," << y;
}

TEST_F(Presentation, SixteenBitFramesAreRgb565)
{
    open(16);
    IDirectDrawSurface* screen = primary();
    IDirectDrawSurface* back = make(2, 1);
    EXPECT_EQ(back->bitsPerPixel(), 16);
    fill(back, nullptr, 0xF800); // full red
    RECT right { 1, 0, 2, 1 };
    fill(back, &right, 0x07E0); // full green
    RECT frame { 0, 0, 2, 1 };
    ASSERT_EQ(screen->Blt(&frame, back, nullptr, 0, nullptr), DD_OK);
    EXPECT_EQ(target.lastFrame.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(target.lastFrame.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(at(back, 1, 0), 0x07E0u);
}

TEST_F(Presentation, EightBitFramesTakeThePrimarysPalette)
{
    open(8);
    IDirectDrawSurface* screen = primary();
    IDirectDrawSurface* back = make(2, 1);
    EXPECT_EQ(back->bitsPerPixel(), 8);
    fill(back, nullptr, 224); // red in the default 3-3-2 palette
    RECT right { 1, 0, 2, 1 };
    fill(back, &right, 3);
    RECT frame { 0, 0, 2, 1 };
    ASSERT_EQ(screen->Blt(&frame, back, nullptr, 0, nullptr), DD_OK);
    EXPECT_EQ(target.lastFrame.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(target.lastFrame.pixel(1, 0), qRgb(0, 0, 255));

    PALETTEENTRY entries[256] = {};
    entries[224] = { 1, 2, 3, 0 };
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(screen->SetPalette(palette), DD_OK);
    palette->Release(); // the primary keeps its own reference
    ASSERT_EQ(screen->Blt(&frame, back, nullptr, 0, nullptr), DD_OK);
    EXPECT_EQ(target.lastFrame.pixel(0, 0), qRgb(1, 2, 3));
}

} // namespace
