#pragma once
// A display of a chosen depth without a window, with helpers to make surfaces and palettes, fill surfaces and read
// their pixels back.

#include "platform/DirectDraw.h"
#include "support/DisplayFixture.h"
#include "support/Faults.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

class SurfaceTest : public testing::Test {
protected:
    void open(int depth)
    {
        if (dd)
            dd->Release();
        DisplayDepth chosen(depth);
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    }
    void SetUp() override { open(32); }
    void TearDown() override
    {
        ClearFaults();
        if (dd)
            dd->Release();
    }
    // A description of the size callers give, with `flags` and `caps`.
    static DDSURFACEDESC desc(DWORD flags = 0, DWORD caps = 0)
    {
        DDSURFACEDESC d;
        d.dwSize = DDSURFACEDESC_SIZE;
        d.dwFlags = flags;
        d.ddsCaps.dwCaps = caps;
        return d;
    }
    IDirectDrawSurface* make(int width, int height)
    {
        DDSURFACEDESC d = desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN);
        d.dwWidth = DWORD(width);
        d.dwHeight = DWORD(height);
        IDirectDrawSurface* surface = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &surface, nullptr), DD_OK);
        return surface;
    }
    // A palette, black but for `entry` at `index`.
    IDirectDrawPalette* palette(int index, PALETTEENTRY entry)
    {
        PALETTEENTRY entries[256] = {};
        entries[index] = entry;
        IDirectDrawPalette* created = nullptr;
        EXPECT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &created, nullptr), DD_OK);
        return created;
    }
    static HRESULT fill(IDirectDrawSurface* s, RECT* rect, DWORD value)
    {
        DDBLTFX fx;
        fx.dwSize = DDBLTFX_SIZE;
        fx.dwFillColor = value;
        return s->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    // The stored pixel value at (x, y).
    static DWORD at(IDirectDrawSurface* s, int x, int y)
    {
        DWORD value = 0;
        std::memcpy(&value, s->bits() + y * s->pitch() + x * (s->bitsPerPixel() / 8), size_t(s->bitsPerPixel() / 8));
        return value;
    }
    // Every pixel of `s` holds `expected(x, y)`.
    static void expectPixels(IDirectDrawSurface* s, const std::function<DWORD(int, int)>& expected)
    {
        for (int y = 0; y < s->height(); ++y)
            for (int x = 0; x < s->width(); ++x)
                ASSERT_EQ(at(s, x, y), expected(x, y)) << x << "," << y;
    }
    IDirectDraw* dd = nullptr;
};
