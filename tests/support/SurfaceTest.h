#pragma once
// A display of a chosen depth without a window, with helpers to make surfaces
// and read their pixels back.

#include "platform/DirectDraw.h"
#include "platform/DirectDrawFaults.h"
#include "support/DisplayFixture.h"

#include <gtest/gtest.h>

#include <cstring>

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

    // The stored pixel value at (x, y).
    static DWORD at(IDirectDrawSurface* s, int x, int y)
    {
        const BYTE* p = s->bits() + y * s->pitch() + x * (s->bitsPerPixel() / 8);
        DWORD value = 0;
        std::memcpy(&value, p, size_t(s->bitsPerPixel() / 8));
        return value;
    }

    IDirectDraw* dd = nullptr;
};
