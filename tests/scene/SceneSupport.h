#pragma once
// Surface helpers for the scene and caption tests (32-bit displays: a pixel
// value is 0x00RRGGBB).

#include "app/DesktopApp.h"
#include "support/DisplayFixture.h"

#include <QImage>
#include <gtest/gtest.h>

// The application with the splash dialog and the restore counted, not run.
class CountingApp : public CDesktopApp {
public:
    void ShowSplash() override
    {
        ++splashes;
        m_bSplashPending = FALSE;
    }
    BOOL RestoreSurfaces() override
    {
        ++restores;
        return CDesktopApp::RestoreSurfaces();
    }

    int splashes = 0;
    int restores = 0;
};

// A new off-screen surface filled with `pixel`; the caller owns it.
inline IDirectDrawSurface* MakeSurface(CDesktopApp& app, int width, int height, DWORD pixel)
{
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = DWORD(width);
    desc.dwHeight = DWORD(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface* surface = nullptr;
    if (app.m_pDD->CreateSurface(&desc, &surface, nullptr) != DD_OK)
        return nullptr;
    DDBLTFX fx;
    fx.dwSize = DDBLTFX_SIZE;
    fx.dwFillColor = pixel;
    surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    return surface;
}

inline DWORD PixelAt(IDirectDrawSurface* surface, int x, int y)
{
    const BYTE* row = surface->bits() + size_t(y) * size_t(surface->pitch());
    return reinterpret_cast<const DWORD*>(row)[x] & 0xFFFFFF;
}

inline void SetPixelAt(IDirectDrawSurface* surface, int x, int y, DWORD pixel)
{
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    ASSERT_EQ(surface->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    reinterpret_cast<DWORD*>(static_cast<BYTE*>(desc.lpSurface) + size_t(y) * size_t(desc.lPitch))[x] = pixel;
    surface->Unlock(nullptr);
}

// What reached the window at (x, y).
inline DWORD Shown(const DisplayFixture& display, int x, int y)
{
    return display.target.lastFrame.pixel(x, y) & 0xFFFFFF;
}

// The pixel value a 32-bit display stores for a COLORREF.
constexpr DWORD PixelOf(COLORREF color)
{
    return (DWORD(GetRValue(color)) << 16) | (DWORD(GetGValue(color)) << 8) | GetBValue(color);
}
