// Surfaces: what Blt, Lock, GetDC and creation refuse, fills that rewrite only what was drawn since, tiled surfaces
// that hold what their copies wrote, and frames handed to the window.
#include "platform/DirectDraw.h"
#include "platform/Gdi.h"
#include "platform/PixelFormat.h"
#include "support/SurfaceTest.h"

#include <QImage>

#include <vector>

namespace {

using Surfaces = SurfaceTest;

TEST_F(Surfaces, RefusalsLeaveThePixelsAloneAndLostSurfacesWorkOnlyOnceRestored)
{
    IDirectDrawSurface *a = make(4, 4), *b = make(4, 4);
    ASSERT_EQ(fill(a, nullptr, 7), DD_OK);
    RECT empty { 2, 2, 2, 4 }, inverted { 3, 3, 1, 1 }, good { 0, 0, 2, 2 }, outside { 2, 0, 5, 1 };
    DDSURFACEDESC lock = desc(), wrongSize = desc();
    wrongSize.dwSize += 1;
    HDC dc = nullptr;
    const std::pair<std::function<HRESULT()>, HRESULT> cases[] = {
        { [&] { return fill(a, &empty, 1); }, DDERR_INVALIDRECT },
        { [&] { return a->Blt(&inverted, b, nullptr, 0, nullptr); }, DDERR_INVALIDRECT },
        { [&] { return a->Blt(&good, b, &empty, 0, nullptr); }, DDERR_INVALIDRECT },
        { [&] { return a->Blt(nullptr, b, nullptr, DDBLT_KEYSRC, nullptr); }, DDERR_NOCOLORKEY },
        { [&] { return a->Blt(nullptr, nullptr, nullptr, 0, nullptr); }, DDERR_INVALIDPARAMS },
        { [&] { return a->Lock(&outside, &lock, 0, nullptr); }, DDERR_INVALIDRECT },
        { [&] { return a->Lock(nullptr, &wrongSize, 0, nullptr); }, DDERR_INVALIDPARAMS },
        { [&] { return a->Unlock(nullptr); }, DDERR_NOTLOCKED },
        { [&] { return a->Lock(nullptr, &lock, 0, nullptr) | a->Lock(nullptr, &lock, 0, nullptr); },
            DDERR_SURFACEBUSY },
        { [&] { return b->GetDC(&dc) | b->GetDC(&dc); }, DDERR_DCALREADYCREATED },
        { [&] { return a->ReleaseDC(dc); }, DDERR_INVALIDPARAMS },
        { [&] { return a->SetColorKey(0, nullptr); }, DDERR_INVALIDPARAMS },
        { [&] { return a->SetPalette(nullptr); }, DDERR_INVALIDPARAMS }, // only 8-bit surfaces take one
        { [&] { return a->Unlock(nullptr) | b->ReleaseDC(dc); }, DD_OK },
        { [&] { return dd->loseAllSurfaces(), a->Blt(nullptr, b, nullptr, 0, nullptr); }, DDERR_SURFACELOST },
        { [&] { return a->GetDC(&dc); }, DDERR_SURFACELOST },
        { [&] { return a->Lock(nullptr, &lock, 0, nullptr); }, DDERR_SURFACELOST },
        { [&] { return a->Restore(), a->Blt(nullptr, b, nullptr, 0, nullptr); }, DDERR_SURFACELOST }, // the source
        { [&] { return b->Restore(), fill(b, nullptr, 5), a->Blt(&good, b, nullptr, 0, nullptr); }, DD_OK },
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].first(), cases[i].second) << "case " << i;
    expectPixels(a, [&](int x, int y) { return x < 2 && y < 2 ? 5u : 7u; });
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    palette(0, {});
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_EQ(dd->liveSurfaceCount(), 1u);
}

TEST_F(Surfaces, FillsRewriteWhateverWasDrawnSinceAndCopiesReadTheRightPixels)
{
    IDirectDrawSurface *s = make(8, 6), *row = make(6, 1);
    for (int x = 0; x < 6; ++x) {
        RECT one { x, 0, x + 1, 1 };
        fill(row, &one, DWORD(x == 2 ? 0x7F7F : x));
    }
    RECT overhanging { -3, 4, 5, 100 }, corner { 6, 0, 8, 1 };
    DDSURFACEDESC lock = desc();
    HDC dc = nullptr;
    // Each way of drawing, then a fill of the whole that must cover it.
    const std::function<void()> draws[] = {
        [&] { fill(s, &overhanging, 0xABCDEF); },
        [&] { s->Blt(&corner, row, nullptr, 0, nullptr); },
        [&] { s->GetDC(&dc), SetPixel(dc, 2, 2, RGB(1, 2, 3)), s->ReleaseDC(dc); },
        [&] {
            ASSERT_EQ(s->Lock(&corner, &lock, 0, nullptr), DD_OK);
            // The description is the whole surface's, the pointer the rectangle's.
            EXPECT_EQ(lock.dwWidth, 8u);
            EXPECT_EQ(static_cast<BYTE*>(lock.lpSurface), s->bits() + 6 * 4);
            *static_cast<BYTE*>(lock.lpSurface) = 9;
            s->Unlock(nullptr);
        },
    };
    for (DWORD value : { 0u, 0x123456u })
        for (const auto& draw : draws) {
            draw();
            ASSERT_EQ(fill(s, nullptr, value), DD_OK);
            expectPixels(s, [&](int, int) { return value; });
        }
    // Keyed and stretched: each source pixel covers two columns, the key none.
    DDCOLORKEY key { 0x7F7F, 0x7F7F };
    ASSERT_EQ(row->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    RECT to { 0, 1, 8, 2 }, from { 0, 0, 4, 1 };
    ASSERT_EQ(s->Blt(&to, row, &from, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
    const DWORD keyed[] = { 0, 0, 1, 1, 0x123456, 0x123456, 3, 3 };
    expectPixels(s, [&](int x, int y) { return y == 1 ? keyed[x] : 0x123456u; });
    // Overlapping rectangles in one surface copy what was there before.
    RECT right { 1, 0, 6, 1 }, left { 0, 0, 5, 1 };
    ASSERT_EQ(row->Blt(&right, row, &left, 0, nullptr), DD_OK);
    expectPixels(row, [&](int x, int) { return x == 0 ? 0u : x == 3 ? 0x7F7Fu : DWORD(x - 1); });
}

// A fill of the whole surface is written only where the memory is next
// used: each way of using it must find the filled value there first.
TEST_F(Surfaces, WholeFillsShowWhereverTheSurfaceIsNextReadOrDrawn)
{
    for (int depth : { 32, 16, 8 }) {
        SCOPED_TRACE(depth);
        open(depth);
        IDirectDrawSurface *s = make(8, 6), *copy = make(8, 6), *row = make(4, 1);
        const DWORD grey = PixelFromColor(RGB(128, 128, 128), depth, s->colorTable());
        const DWORD white = PixelFromColor(RGB(255, 255, 255), depth, s->colorTable());
        const DWORD value = depth == 8 ? 7 : 0x1234;
        for (int x = 0; x < 4; ++x) {
            RECT one { x, 0, x + 1, 1 };
            fill(row, &one, x == 1 ? 0x55 : DWORD(x));
        }
        DDCOLORKEY key { 0x55, 0x55 };
        row->SetColorKey(DDCKEY_SRCBLT, &key);

        // Locked: the rectangle's memory holds the value.
        fill(s, nullptr, value);
        RECT inner { 2, 3, 5, 5 };
        DDSURFACEDESC lock = desc();
        ASSERT_EQ(s->Lock(&inner, &lock, 0, nullptr), DD_OK);
        DWORD locked = 0;
        std::memcpy(&locked, lock.lpSurface, size_t(depth / 8));
        s->Unlock(nullptr);
        EXPECT_EQ(locked, value);
        // Read by a blit, after a fill of part of it.
        fill(s, nullptr, 0);
        RECT band { 0, 1, 8, 2 };
        fill(s, &band, value);
        ASSERT_EQ(copy->Blt(nullptr, s, nullptr, 0, nullptr), DD_OK);
        expectPixels(copy, [&](int, int y) { return y == 1 ? value : 0u; });
        // Keyed onto it: the key's pixel keeps the value; stretched past the
        // source's edge, what is not written keeps it too.
        fill(s, nullptr, value);
        RECT to { 1, 2, 5, 3 }, wide { 4, 4, 8, 5 }, past { 2, 0, 6, 1 };
        ASSERT_EQ(s->Blt(&to, row, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
        ASSERT_EQ(s->Blt(&wide, row, &past, 0, nullptr), DD_OK);
        const DWORD keyed[] = { 0, value, 2, 3 };
        expectPixels(s, [&](int x, int y) {
            return y == 2 && x >= 1 && x < 5 ? keyed[x - 1] : y == 4 && (x == 4 || x == 5) ? DWORD(x - 2) : value;
        });
        // Drawn on: what was drawn before the fill goes, and the fill shows
        // under what is drawn after it.
        HDC dc = nullptr;
        ASSERT_EQ(s->GetDC(&dc), DD_OK);
        SetPixel(dc, 1, 1, RGB(255, 255, 255));
        SetBkColor(dc, RGB(128, 128, 128));
        const RECT all { 0, 0, 100, 100 };
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &all, "", 0, nullptr);
        EXPECT_EQ(GetPixel(dc, 1, 1), GetPixel(dc, 6, 4));
        EXPECT_NE(GetPixel(dc, 1, 1), RGB(255, 255, 255));
        SetPixel(dc, 2, 1, RGB(255, 255, 255));
        s->ReleaseDC(dc);
        expectPixels(s, [&](int x, int y) { return x == 2 && y == 1 ? white : grey; });
        for (IDirectDrawSurface* each : { s, copy, row })
            each->Release();
    }
}

// A tiled surface keeps its copies as a cell where that saves its memory:
// whatever is done with it next, it and what is drawn from it hold what the
// same blits written pixel by pixel hold.
TEST_F(Surfaces, TiledSurfacesHoldWhatTheSameCopiesWrittenHold)
{
    enum Op { Copy, Keyed, Blend, Fill, Lock, Draw, Tile };
    struct Step {
        Op op;
        int to; // 0 the 23 x 10 tile, 1 a 12 x 8 view, 2 the 7 x 5 picture, 3 a 32-bit surface
        RECT at; // for Tile, the cell's size
        int from = 0;
        RECT source {}; // for Tile, where the cells laid start (all when empty)
    };
    // Each case follows the tiling of the picture's 5 x 3 cell.
    const std::vector<Step> cases[] = { {},
        { { Copy, 1, { 0, 0, 23, 10 }, 0, { 0, 0, 23, 10 } }, { Copy, 1, { -2, 1, 8, 6 }, 0, { 3, 2, 13, 7 } },
            { Copy, 1, { 0, 0, 6, 4 }, 0, { 20, 8, 26, 12 } } }, // past the tile's edge
        { { Copy, 0, { 6, 4, 9, 6 }, 2, { 1, 1, 4, 3 } }, { Copy, 1, { 0, 0, 12, 8 }, 0, { 5, 1, 17, 9 } },
            { Copy, 0, { 2, 2, 5, 4 }, 2, { 1, 1, 4, 3 } } }, // in the tile's phase, then out of it
        { { Lock, 0, { 6, 2, 12, 7 } } }, { { Keyed, 1, { 1, 1, 12, 8 }, 0, { 4, 1, 15, 8 } } },
        { { Fill, 0, { 4, 2, 9, 8 } }, { Copy, 1, { 0, 0, 12, 8 }, 0, { 2, 1, 14, 9 } } },
        { { Fill, 0, { -1, -1, 30, 30 } }, { Copy, 1, { 0, 0, 12, 8 }, 0, { 8, 2, 20, 10 } } },
        { { Draw, 0, { 7, 4, 8, 5 } } },
        { { Copy, 1, { 0, 0, 7, 5 }, 2, { 0, 0, 7, 5 } }, { Fill, 1, { 2, 1, 3, 2 } }, // tiled again, other pixels
            { Tile, 0, { 0, 0, 5, 3 }, 1 }, { Copy, 1, { 0, 0, 12, 8 }, 0, { 0, 0, 12, 8 } },
            { Tile, 0, { 0, 0, 3, 2 }, 2 } },
        // Tiled again with another cell half way, then read within the new
        // cells, across both, or locked, and the tiling finished or not.
        { { Copy, 1, { 0, 0, 7, 5 }, 2, { 0, 0, 7, 5 } }, { Fill, 1, { 1, 0, 2, 1 } },
            { Tile, 0, { 0, 0, 5, 3 }, 1, { 0, 0, 23, 6 } }, { Copy, 1, { 5, 0, 12, 6 }, 0, { 5, 0, 12, 6 } },
            { Tile, 0, { 0, 0, 5, 3 }, 1 } },
        { { Copy, 1, { 0, 0, 7, 5 }, 2, { 0, 0, 7, 5 } }, { Fill, 1, { 1, 0, 2, 1 } },
            { Tile, 0, { 0, 0, 5, 3 }, 1, { 0, 0, 23, 6 } }, { Keyed, 1, { 0, 0, 12, 8 }, 0, { 4, 1, 16, 9 } },
            { Tile, 0, { 0, 0, 5, 3 }, 2, { 0, 0, 10, 10 } } },
        { { Copy, 1, { 0, 0, 7, 5 }, 2, { 0, 0, 7, 5 } }, { Fill, 1, { 1, 0, 2, 1 } },
            { Tile, 0, { 0, 0, 5, 3 }, 1, { 0, 0, 23, 6 } }, { Lock, 0, { 6, 2, 12, 7 } } } };
    for (int kind : { 32, 16, 8, 0 }) { // 0: premultiplied ARGB, blended from at the end
        open(kind ? kind : 32);
        for (const std::vector<Step>& steps : cases) {
            SCOPED_TRACE(testing::Message() << "depth " << kind << " case " << (&steps - cases));
            IDirectDrawSurface* s[4] = {};
            std::vector<BYTE> written[4];
            PixelBuffer buffer[4];
            for (int i = 0; i < 4; ++i) {
                DDSURFACEDESC d = desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (kind || i == 3 ? 0 : DDSD_PIXELFORMAT));
                d.dwWidth = DWORD(i == 0 ? 23 : i == 1 ? 12 : i == 2 ? 7 : 25);
                d.dwHeight = DWORD(i == 0 ? 10 : i == 1 ? 8 : i == 2 ? 5 : 12);
                d.ddpfPixelFormat = PremultipliedAlphaFormat();
                ASSERT_EQ(dd->CreateSurface(&d, &s[i], nullptr), DD_OK);
                written[i].assign(size_t(s[i]->pitch() * s[i]->height()), 0);
                buffer[i]
                    = { written[i].data(), s[i]->width(), s[i]->height(), s[i]->pitch(), s[i]->bitsPerPixel() / 8 };
            }
            const std::function<void(const Step&)> apply = [&](const Step& step) {
                RECT at = step.at, source = step.source;
                IDirectDrawSurface* to = s[step.to];
                const DWORD flags = step.op == Keyed ? DDBLT_KEYSRC : step.op == Blend ? DDBLT_ALPHASRC : 0;
                if (step.op == Tile) { // full cells, each row ending in its partial cell, then the partial bottom row
                    const RECT cells = step.source.right ? step.source : RECT { 0, 0, to->width(), to->height() };
                    for (LONG y = cells.top; y < cells.bottom; y += at.bottom)
                        for (LONG x = cells.left; x < cells.right; x += at.right) {
                            const LONG w = std::min(at.right, to->width() - x),
                                       h = std::min(at.bottom, to->height() - y);
                            apply({ Copy, step.to, { x, y, x + w, y + h }, step.from, { 0, 0, w, h } });
                        }
                    return;
                }
                if (step.op == Lock) {
                    DDSURFACEDESC lock = desc();
                    ASSERT_EQ(to->Lock(&at, &lock, 0, nullptr), DD_OK);
                    *static_cast<BYTE*>(lock.lpSurface) ^= 0x5A;
                    written[step.to][size_t(at.top * to->pitch() + at.left * to->bitsPerPixel() / 8)] ^= 0x5A;
                    to->Unlock(nullptr);
                    return;
                }
                if (step.op == Draw) {
                    HDC dc = nullptr;
                    ASSERT_EQ(to->GetDC(&dc), DD_OK);
                    SetPixel(dc, at.left, at.top, RGB(1, 2, 3));
                    to->ReleaseDC(dc);
                    return FillPixels(
                        buffer[step.to], at, kind ? PixelFromColor(RGB(1, 2, 3), kind, to->colorTable()) : 0xFF010203);
                }
                if (step.op == Fill) {
                    FillPixels(buffer[step.to], at, 0x5A3C);
                    ASSERT_EQ(fill(to, &at, 0x5A3C), DD_OK);
                    return;
                }
                if (step.op == Keyed) {
                    DDCOLORKEY key { 0, 0 };
                    std::memcpy(&key.dwColorSpaceLowValue, &written[step.from][size_t(s[0]->pitch() + 4)], 4);
                    ASSERT_EQ(s[step.from]->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
                }
                if (flags & DDBLT_ALPHASRC)
                    BlendPixels(buffer[step.to], at, buffer[step.from], source, to->colorTable());
                else
                    CopyPixels(buffer[step.to], at, buffer[step.from], source,
                        flags ? std::optional(s[step.from]->sourceKey()) : std::nullopt);
                ASSERT_EQ(to->Blt(&at, s[step.from], &source, flags, nullptr), DD_OK);
            };
            for (LONG y = 0; y < 5; ++y)
                for (LONG x = 0; x < 7; ++x) {
                    const DWORD alpha = (x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 0xFF : 0x80;
                    RECT one { x, y, x + 1, y + 1 };
                    const DWORD value = kind
                        ? DWORD(x * 0x10203 + y * 0x30405 + 0x112233) & (kind == 32 ? 0xFFFFFF : 0xFFFF)
                        : alpha << 24 | (DWORD(x * 0x1D0911 + y * 0x113305) & (alpha * 0x10101));
                    fill(s[2], &one, value);
                    FillPixels(buffer[2], one, value);
                }
            apply({ Tile, 0, { 0, 0, 5, 3 }, 2 });
            for (const Step& step : steps)
                apply(step);
            if (kind == 0)
                apply({ Blend, 3, { 1, 1, 24, 11 }, 0, { 0, 0, 23, 10 } });
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(std::memcmp(s[i]->bits(), written[i].data(), written[i].size()), 0) << "surface " << i;
                s[i]->Release();
            }
        }
    }
}

TEST_F(Surfaces, FramesShowThePixelsOfEveryDepthAndNothingWhenRefusedOrLost)
{
    CapturingTarget target; // stands in for the window
    // Red on the left, another colour on the right.
    const std::tuple<int, DWORD, DWORD, QRgb> cases[] = { { 32, 0xFF0000, 0xFFFF00, qRgb(0xFF, 0xFF, 0) },
        { 16, 0xF800, 0x07E0, qRgb(0, 255, 0) }, { 8, 224, 3, qRgb(0, 0, 255) } }; // the default 3-3-2 palette
    IDirectDrawSurface *screen = nullptr, *back = nullptr;
    for (const auto& [depth, left, right, shownRight] : cases) {
        SCOPED_TRACE(depth);
        open(depth);
        DDSURFACEDESC primary = desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
        IDirectDrawClipper* clipper = nullptr;
        ASSERT_EQ(dd->CreateSurface(&primary, &screen, nullptr) | dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, &target) | screen->SetClipper(clipper), DD_OK);
        clipper->Release(); // the surface keeps its own reference
        back = make(4, 2);
        RECT half { 2, 0, 4, 2 }, all { 0, 0, 4, 2 }, from { 1, 0, 3, 1 };
        fill(back, nullptr, left);
        fill(back, &half, right);
        // The whole, then part of the source scaled to the destination: each column twice.
        for (RECT* source : { static_cast<RECT*>(nullptr), &from }) {
            ASSERT_EQ(screen->Blt(&all, back, source, DDBLT_WAIT, nullptr), DD_OK);
            ASSERT_EQ(target.lastFrame.size(), QSize(4, 2));
            EXPECT_EQ(target.lastFrame.pixel(1, 1), qRgb(255, 0, 0));
            EXPECT_EQ(target.lastFrame.pixel(2, 1), shownRight);
        }
    }
    // The primary's palette colours 8-bit frames (the last display has 8 bits).
    IDirectDrawPalette* colours = palette(224, { 1, 2, 3, 0 });
    ASSERT_EQ(screen->SetPalette(colours), DD_OK);
    colours->Release();
    RECT one { 0, 0, 1, 1 }, offset { 1, 0, 2, 1 };
    ASSERT_EQ(screen->Blt(&one, back, nullptr, 0, nullptr), DD_OK);
    EXPECT_EQ(target.lastFrame.pixel(0, 0), qRgb(1, 2, 3));
    // Refused or lost frames show nothing.
    EXPECT_EQ(screen->Blt(&offset, back, nullptr, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(screen->Blt(&one, back, nullptr, DDBLT_KEYSRC, nullptr), DDERR_INVALIDPARAMS);
    back->markLost();
    EXPECT_EQ(screen->Blt(&one, back, nullptr, 0, nullptr), DDERR_SURFACELOST);
    screen->markLost();
    back->Restore();
    EXPECT_EQ(screen->Blt(&one, back, nullptr, 0, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(target.presentations, 7);
}

} // namespace
