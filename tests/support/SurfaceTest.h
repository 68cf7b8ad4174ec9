#pragma once
// A display of a chosen depth without a window, with helpers to make surfaces,
// fill them and read their pixels back.

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
        dd = nullptr;
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

    IDirectDrawSurface* make(int width, int height)
    {
        DDSURFACEDESC desc;
        desc.dwSize = DDSURFACEDESC_SIZE;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = DWORD(width);
        desc.dwHeight = DWORD(height);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        IDirectDrawSurface* surface = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
        return surface;
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
