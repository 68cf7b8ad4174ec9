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

// A surface and the bytes the same blits leave when written pixel by pixel.
struct Twin {
    IDirectDrawSurface* surface = nullptr;
    std::vector<BYTE> bytes;
    PixelBuffer buffer()
    {
        return { bytes.data(), surface->width(), surface->height(), surface->pitch(), surface->bitsPerPixel() / 8 };
    }
    HRESULT blt(RECT to, Twin& from, RECT source, DWORD flags = 0)
    {
        if (flags & DDBLT_ALPHASRC)
            BlendPixels(buffer(), to, from.buffer(), source, surface->colorTable());
        else
            CopyPixels(buffer(), to, from.buffer(), source,
                flags & DDBLT_KEYSRC ? std::optional(from.surface->sourceKey()) : std::nullopt);
        return surface->Blt(&to, from.surface, &source, flags, nullptr);
    }
    HRESULT fill(RECT rect, DWORD value)
    {
        FillPixels(buffer(), rect, value);
        DDBLTFX fx;
        fx.dwSize = DDBLTFX_SIZE;
        fx.dwFillColor = value;
        return surface->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    }
    // The rows that differ from the written bytes.
    std::string wrongRows() const
    {
        std::string wrong;
        const size_t row = size_t(surface->width() * surface->bitsPerPixel() / 8);
        for (int y = 0; y < surface->height(); ++y)
            if (std::memcmp(surface->bits() + y * surface->pitch(), bytes.data() + y * surface->pitch(), row) != 0)
                wrong += std::to_string(y) + " ";
        return wrong;
    }
};

// The copies that tile a picture's cell from the origin: full cells, each row
// ending in its partial cell, then the partial bottom row.
void Tile(Twin& tile, Twin& picture, int w, int h)
{
    const int width = tile.surface->width(), height = tile.surface->height();
    for (int y = 0; y < height; y += h)
        for (int x = 0; x < width; x += w) {
            const int cw = std::min(w, width - x), ch = std::min(h, height - y);
            ASSERT_EQ(tile.blt({ x, y, x + cw, y + ch }, picture, { 0, 0, cw, ch }), DD_OK) << x << "," << y;
        }
}

// A tiled surface is only recorded where that saves its memory: whatever is
// done with it next, it and what is drawn from it hold what the same blits
// written pixel by pixel hold.
TEST_F(Surfaces, TiledSurfacesHoldWhatTheSameCopiesWrittenHold)
{
    // Each step after the tiling, on the tile and a surface of its format.
    const std::function<void(Twin&, Twin&, Twin&)> steps[] = {
        [](Twin&, Twin&, Twin&) {}, // read as it is
        [](Twin& tile, Twin& view, Twin&) {
            // Copied out whole, offset and clipped, and from past its edge.
            ASSERT_EQ(view.blt({ 0, 0, 23, 10 }, tile, { 0, 0, 23, 10 }), DD_OK);
            ASSERT_EQ(view.blt({ -2, 1, 8, 6 }, tile, { 3, 2, 13, 7 }), DD_OK);
            ASSERT_EQ(view.blt({ 0, 0, 6, 4 }, tile, { 20, 8, 26, 12 }), DD_OK);
        },
        [](Twin& tile, Twin& view, Twin& picture) {
            // A consistent copy overlapping the tiling, then one that is not.
            ASSERT_EQ(tile.blt({ 6, 4, 9, 6 }, picture, { 1, 1, 4, 3 }), DD_OK);
            ASSERT_EQ(view.blt({ 0, 0, 12, 8 }, tile, { 5, 1, 17, 9 }), DD_OK);
            ASSERT_EQ(tile.blt({ 2, 2, 5, 4 }, picture, { 1, 1, 4, 3 }), DD_OK);
        },
        [](Twin& tile, Twin&, Twin&) {
            DDSURFACEDESC lock = desc();
            RECT area { 6, 2, 12, 7 };
            ASSERT_EQ(tile.surface->Lock(&area, &lock, 0, nullptr), DD_OK);
            const int offset = 2 * tile.surface->pitch() + 6 * tile.surface->bitsPerPixel() / 8;
            EXPECT_EQ(std::memcmp(lock.lpSurface, tile.bytes.data() + offset, 4), 0);
            static_cast<BYTE*>(lock.lpSurface)[1] ^= 0x5A;
            tile.bytes[size_t(offset) + 1] ^= 0x5A;
            tile.surface->Unlock(nullptr);
        },
        [](Twin& tile, Twin& view, Twin&) {
            DDCOLORKEY key { 0, 0 };
            std::memcpy(&key.dwColorSpaceLowValue, tile.bytes.data() + tile.surface->pitch() + 4,
                size_t(tile.surface->bitsPerPixel() / 8));
            ASSERT_EQ(tile.surface->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
            ASSERT_EQ(view.blt({ 1, 1, 12, 8 }, tile, { 4, 1, 15, 8 }, DDBLT_KEYSRC), DD_OK);
        },
        [](Twin& tile, Twin& view, Twin&) {
            ASSERT_EQ(tile.fill({ 4, 2, 9, 8 }, 0x3C), DD_OK);
            ASSERT_EQ(view.blt({ 0, 0, 12, 8 }, tile, { 2, 1, 14, 9 }), DD_OK);
        },
        [](Twin& tile, Twin& view, Twin&) {
            ASSERT_EQ(tile.fill({ -1, -1, 30, 30 }, 0x77), DD_OK);
            ASSERT_EQ(view.blt({ 0, 0, 12, 8 }, tile, { 8, 2, 20, 10 }), DD_OK);
        },
        [](Twin& tile, Twin&, Twin&) {
            HDC dc = nullptr;
            ASSERT_EQ(tile.surface->GetDC(&dc), DD_OK);
            SetPixel(dc, 7, 4, RGB(1, 2, 3));
            tile.surface->ReleaseDC(dc);
            const int bytes = tile.surface->bitsPerPixel() / 8;
            const DWORD pixel = tile.surface->hasAlpha()
                ? 0xFF010203
                : PixelFromColor(RGB(1, 2, 3), tile.surface->bitsPerPixel(), tile.surface->colorTable());
            std::memcpy(tile.bytes.data() + 4 * tile.surface->pitch() + 7 * bytes, &pixel, size_t(bytes));
        },
        [](Twin& tile, Twin& view, Twin& picture) {
            // Tiled again with other pixels, and with cells of another size.
            ASSERT_EQ(view.blt({ 0, 0, 7, 5 }, picture, { 0, 0, 7, 5 }), DD_OK);
            ASSERT_EQ(view.fill({ 2, 1, 3, 2 }, 0x99), DD_OK);
            Tile(tile, view, 5, 3);
            ASSERT_EQ(view.blt({ 0, 0, 12, 8 }, tile, { 0, 0, 12, 8 }), DD_OK);
            Tile(tile, picture, 3, 2);
        },
    };
    // 32, 16 and 8 bits, and premultiplied ARGB, which is blended from too.
    for (int kind : { 32, 16, 8, 0 }) {
        open(kind ? kind : 32);
        for (size_t step = 0; step < std::size(steps); ++step) {
            SCOPED_TRACE(testing::Message() << "depth " << kind << " step " << step);
            const auto twin = [&](int width, int height) {
                DDSURFACEDESC d = desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (kind ? 0 : DDSD_PIXELFORMAT));
                d.dwWidth = DWORD(width);
                d.dwHeight = DWORD(height);
                d.ddpfPixelFormat = PremultipliedAlphaFormat();
                Twin made;
                EXPECT_EQ(dd->CreateSurface(&d, &made.surface, nullptr), DD_OK);
                made.bytes.assign(size_t(made.surface->pitch() * height), 0);
                return made;
            };
            // A 7 x 5 picture, of which the 5 x 3 at its origin is the cell.
            Twin tile = twin(23, 10), view = twin(12, 8), picture = twin(7, 5);
            DDSURFACEDESC lock = desc();
            ASSERT_EQ(picture.surface->Lock(nullptr, &lock, 0, nullptr), DD_OK);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 7; ++x) {
                    const DWORD alpha = (x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 0xFF : 0x80;
                    const DWORD value = kind
                        ? DWORD(x * 0x10203 + y * 0x30405 + 0x112233) & (kind == 32 ? 0xFFFFFF : 0xFFFF)
                        : alpha << 24 | (DWORD(x * 0x1D0911 + y * 0x113305) & (alpha * 0x10101));
                    const int bytes = kind == 8 ? 1 : kind == 16 ? 2 : 4;
                    std::memcpy(
                        static_cast<BYTE*>(lock.lpSurface) + y * lock.lPitch + x * bytes, &value, size_t(bytes));
                    std::memcpy(picture.bytes.data() + y * lock.lPitch + x * bytes, &value, size_t(bytes));
                }
            picture.surface->Unlock(nullptr);

            Tile(tile, picture, 5, 3);
            steps[step](tile, view, picture);
            if (kind == 0) {
                Twin under { make(25, 12), std::vector<BYTE>(size_t(25 * 4 * 12), 0) };
                ASSERT_EQ(under.fill({ 0, 0, 25, 12 }, 0x406080), DD_OK);
                ASSERT_EQ(under.blt({ 1, 1, 24, 11 }, tile, { 0, 0, 23, 10 }, DDBLT_ALPHASRC), DD_OK);
                EXPECT_EQ(under.wrongRows(), "");
                under.surface->Release();
            }
            EXPECT_EQ(tile.wrongRows(), "");
            EXPECT_EQ(view.wrongRows(), "");
            for (Twin* each : { &tile, &view, &picture })
                each->surface->Release();
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
