// Surfaces: what Blt, Lock, GetDC and creation refuse, fills that rewrite
// only what was drawn since, and frames handed to the window.
#include "platform/DirectDraw.h"
#include "platform/Gdi.h"
#include "support/SurfaceTest.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

using Surfaces = SurfaceTest;

TEST_F(Surfaces, RefusalsLeaveThePixelsAlone)
{
    IDirectDrawSurface* a = make(4, 4);
    IDirectDrawSurface* b = make(4, 4);
    ASSERT_EQ(fill(a, nullptr, 7), DD_OK);
    RECT empty { 2, 2, 2, 4 }, inverted { 3, 3, 1, 1 }, good { 0, 0, 2, 2 }, outside { 2, 0, 5, 1 };
    DDSURFACEDESC desc, wrongSize;
    desc.dwSize = DDSURFACEDESC_SIZE;
    wrongSize.dwSize = DDSURFACEDESC_SIZE + 1;
    HDC dc = nullptr;
    const struct {
        const char* what;
        std::function<HRESULT()> call;
        HRESULT expected;
    } cases[] = {
        { "empty fill", [&] { return fill(a, &empty, 1); }, DDERR_INVALIDRECT },
        { "inverted copy", [&] { return a->Blt(&inverted, b, nullptr, 0, nullptr); }, DDERR_INVALIDRECT },
        { "empty source", [&] { return a->Blt(&good, b, &empty, 0, nullptr); }, DDERR_INVALIDRECT },
        { "no key", [&] { return a->Blt(nullptr, b, nullptr, DDBLT_KEYSRC, nullptr); }, DDERR_NOCOLORKEY },
        { "no source", [&] { return a->Blt(nullptr, nullptr, nullptr, 0, nullptr); }, DDERR_INVALIDPARAMS },
        { "lock outside", [&] { return a->Lock(&outside, &desc, 0, nullptr); }, DDERR_INVALIDRECT },
        { "lock size", [&] { return a->Lock(nullptr, &wrongSize, 0, nullptr); }, DDERR_INVALIDPARAMS },
        { "unlock", [&] { return a->Unlock(nullptr); }, DDERR_NOTLOCKED },
        { "lock twice", [&] { return a->Lock(nullptr, &desc, 0, nullptr) | a->Lock(nullptr, &desc, 0, nullptr); },
            DDERR_SURFACEBUSY },
        { "second DC", [&] { return b->GetDC(&dc) | b->GetDC(&dc); }, DDERR_DCALREADYCREATED },
        { "foreign DC", [&] { return a->ReleaseDC(dc); }, DDERR_INVALIDPARAMS },
        { "key flags", [&] { return a->SetColorKey(0, nullptr); }, DDERR_INVALIDPARAMS },
        { "palette on 32 bits", [&] { return a->SetPalette(nullptr); }, DDERR_INVALIDPARAMS },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.call(), c.expected) << c.what;
    EXPECT_EQ(a->Unlock(nullptr), DD_OK);
    EXPECT_EQ(b->ReleaseDC(dc), DD_OK);
    expectPixels(a, [](int, int) { return 7u; });
}

TEST_F(Surfaces, CreationRefusesNonsenseSizesAndReleaseFreesChildren)
{
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    const struct {
        DWORD width, height;
        HRESULT expected;
    } cases[]
        = { { 0, 5, DDERR_INVALIDPARAMS }, { 0x80000000u, 5, DDERR_OUTOFMEMORY }, { 30000, 30000, DDERR_OUTOFMEMORY } };
    for (const auto& c : cases) {
        IDirectDrawSurface* s = reinterpret_cast<IDirectDrawSurface*>(1);
        desc.dwWidth = c.width;
        desc.dwHeight = c.height;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), c.expected) << c.width;
        EXPECT_EQ(s, nullptr);
    }
    EXPECT_EQ(dd->liveSurfaceCount(), 0u);
    // Left alive on purpose: the display's release frees them (a leak here
    // fails the sanitizer build).
    make(4, 4);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    PALETTEENTRY entries[256] = {};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    EXPECT_EQ(make(2, 2)->Release(), 0u);
    EXPECT_EQ(dd->liveSurfaceCount(), 1u);
}

TEST_F(Surfaces, FillsRewriteWhateverWasDrawnSince)
{
    IDirectDrawSurface* s = make(8, 6);
    IDirectDrawSurface* other = make(8, 6);
    ASSERT_EQ(fill(other, nullptr, 3), DD_OK);
    RECT overhanging { -3, 4, 5, 100 }, corner { 6, 0, 8, 2 };
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    HDC dc = nullptr;
    // Each way of drawing, then a fill of the whole that must cover it.
    const std::function<void()> draws[] = {
        [&] { fill(s, &overhanging, 0xABCDEF); },
        [&] { s->Blt(&corner, other, nullptr, 0, nullptr); },
        [&] {
            s->GetDC(&dc);
            SetPixel(dc, 2, 2, RGB(1, 2, 3));
            s->ReleaseDC(dc);
        },
        [&] {
            ASSERT_EQ(s->Lock(&corner, &desc, 0, nullptr), DD_OK);
            // The description is the whole surface's, the pointer the rectangle's.
            EXPECT_EQ(desc.dwWidth, 8u);
            EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
            EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xFF0000u);
            EXPECT_EQ(static_cast<BYTE*>(desc.lpSurface), s->bits() + 6 * 4);
            *static_cast<BYTE*>(desc.lpSurface) = 9;
            s->Unlock(nullptr);
        },
    };
    for (DWORD value : { 0u, 0x123456u })
        for (const auto& draw : draws) {
            draw();
            ASSERT_EQ(fill(s, nullptr, value), DD_OK);
            expectPixels(s, [&](int, int) { return value; });
        }
    // A fill is clipped to the surface.
    fill(s, &overhanging, 0xABCDEF);
    expectPixels(s, [](int x, int y) { return x < 5 && y >= 4 ? 0xABCDEFu : 0x123456u; });
}

TEST_F(Surfaces, CopiesWithinASurfaceOrThroughAKeyReadTheRightPixels)
{
    IDirectDrawSurface* s = make(6, 1);
    for (int x = 0; x < 6; ++x) {
        RECT one { x, 0, x + 1, 1 };
        fill(s, &one, DWORD(x == 2 ? 0x7F7F : x));
    }
    // Keyed and stretched: each source pixel covers two columns, the key none.
    IDirectDrawSurface* wide = make(8, 2);
    fill(wide, nullptr, 0xEEEEEE);
    DDCOLORKEY key { 0x7F7F, 0x7F7F };
    ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    RECT to { 0, 1, 8, 2 }, from { 0, 0, 4, 1 };
    ASSERT_EQ(wide->Blt(&to, s, &from, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
    const DWORD keyed[] = { 0, 0, 1, 1, 0xEEEEEE, 0xEEEEEE, 3, 3 };
    expectPixels(wide, [&](int x, int y) { return y == 1 ? keyed[x] : 0xEEEEEEu; });
    // Overlapping rectangles in one surface copy what was there before.
    RECT right { 1, 0, 6, 1 }, left { 0, 0, 5, 1 };
    ASSERT_EQ(s->Blt(&right, s, &left, 0, nullptr), DD_OK);
    const DWORD shifted[] = { 0, 0, 1, 0x7F7F, 3, 4 };
    expectPixels(s, [&](int x, int) { return shifted[x]; });
}

TEST_F(Surfaces, LostSurfacesRefuseWorkUntilRestored)
{
    IDirectDrawSurface* a = make(2, 2);
    IDirectDrawSurface* b = make(2, 2);
    dd->loseAllSurfaces();
    HDC dc = nullptr;
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    EXPECT_EQ(a->Blt(nullptr, b, nullptr, 0, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(a->GetDC(&dc), DDERR_SURFACELOST);
    EXPECT_EQ(a->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(a->Restore(), DD_OK);
    EXPECT_EQ(a->Blt(nullptr, b, nullptr, 0, nullptr), DDERR_SURFACELOST); // the source is still lost
    EXPECT_EQ(b->Restore(), DD_OK);
    EXPECT_EQ(a->Blt(nullptr, b, nullptr, 0, nullptr), DD_OK);
}

// A capture stands in for the window.
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
        clipper->Release(); // the surface keeps its own reference
        return surface;
    }
    CapturingTarget target;
};

TEST_F(Presentation, FramesShowThePixelsOfEveryDepthAndNothingWhenRefusedOrLost)
{
    const struct {
        int depth;
        DWORD left, right;
        QRgb shownLeft, shownRight;
    } cases[] = {
        { 32, 0x102030, 0xFFFF00, qRgb(0x10, 0x20, 0x30), qRgb(0xFF, 0xFF, 0) },
        { 16, 0xF800, 0x07E0, qRgb(255, 0, 0), qRgb(0, 255, 0) },
        { 8, 224, 3, qRgb(255, 0, 0), qRgb(0, 0, 255) }, // the default 3-3-2 palette
    };
    IDirectDrawSurface* screen = nullptr;
    for (const auto& c : cases) {
        open(c.depth);
        screen = primary();
        IDirectDrawSurface* back = make(4, 2);
        RECT right { 2, 0, 4, 2 }, all { 0, 0, 4, 2 };
        fill(back, nullptr, c.left);
        fill(back, &right, c.right);
        ASSERT_EQ(screen->Blt(&all, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        ASSERT_EQ(target.lastFrame.size(), QSize(4, 2));
        EXPECT_EQ(target.lastFrame.pixel(1, 1), c.shownLeft) << c.depth;
        EXPECT_EQ(target.lastFrame.pixel(2, 0), c.shownRight) << c.depth;
        // Part of the source, scaled to the destination: each column twice.
        RECT from { 1, 0, 3, 1 };
        ASSERT_EQ(screen->Blt(&all, back, &from, 0, nullptr), DD_OK);
        EXPECT_EQ(target.lastFrame.pixel(1, 1), c.shownLeft) << c.depth;
        EXPECT_EQ(target.lastFrame.pixel(2, 1), c.shownRight) << c.depth;
    }
    EXPECT_EQ(target.presentations, 6);
    // The primary's palette colours 8-bit frames (the last display has 8 bits).
    PALETTEENTRY entries[256] = {};
    entries[224] = { 1, 2, 3, 0 };
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(screen->SetPalette(palette), DD_OK);
    palette->Release();
    IDirectDrawSurface* back = make(1, 1);
    fill(back, nullptr, 224);
    RECT one { 0, 0, 1, 1 };
    ASSERT_EQ(screen->Blt(&one, back, nullptr, 0, nullptr), DD_OK);
    EXPECT_EQ(target.lastFrame.pixel(0, 0), qRgb(1, 2, 3));

    // Refused or lost frames show nothing.
    RECT offset { 1, 0, 2, 1 };
    EXPECT_EQ(screen->Blt(&offset, back, nullptr, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(screen->Blt(&one, back, nullptr, DDBLT_KEYSRC, nullptr), DDERR_INVALIDPARAMS);
    back->markLost();
    EXPECT_EQ(screen->Blt(&one, back, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    screen->markLost();
    back->Restore();
    EXPECT_EQ(screen->Blt(&one, back, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(target.presentations, 7);
}

} // namespace
