#include "bitmaps/DDUtil.h"

#include "platform/Module.h"
#include "platform/Pictures.h"
#include "platform/PixelFormat.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The bitmap resource `name` of the executable, else the bitmap file `name`.
HBITMAP LoadBitmapHandle(LPCSTR name, int width, int height)
{
    auto bitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, width, height, LR_CREATEDIBSECTION));
    if (!bitmap) {
        // Start-up may have decoded the file ahead, at its own size.
        const PrefetchedPicture prefetched(width == 0 && height == 0 ? name : nullptr);
        bitmap = static_cast<HBITMAP>(
            LoadImageA(nullptr, name, IMAGE_BITMAP, width, height, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    }
    return bitmap;
}

// How many colour table entries a bitmap header announces (at most 256).
DWORD ColorCount(const BITMAPINFOHEADER& header)
{
    if (header.biBitCount > 8)
        return 0;
    const DWORD count = header.biClrUsed ? header.biClrUsed : DWORD(1) << header.biBitCount;
    return std::min<DWORD>(count, 256);
}

} // namespace

IDirectDrawSurface* DDLoadBitmap(IDirectDraw* dd, LPCSTR name, int width, int height)
{
    HBITMAP bitmap = LoadBitmapHandle(name, width, height);
    if (!bitmap)
        return nullptr;

    BITMAP bm;
    GetObjectA(bitmap, sizeof(bm), &bm);

    DDSURFACEDESC ddsd {};
    ddsd.dwSize = DDSURFACEDESC_SIZE;
    ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    ddsd.dwHeight = DWORD(bm.bmHeight);
    ddsd.dwWidth = DWORD(bm.bmWidth);
    ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    // A 32-bit bitmap carries its own transparency: its surface keeps it as
    // premultiplied alpha, to be blended rather than keyed.
    if (bm.bmBitsPixel == 32) {
        ddsd.dwFlags |= DDSD_PIXELFORMAT;
        ddsd.ddpfPixelFormat = PremultipliedAlphaFormat();
    }
    IDirectDrawSurface* surface = nullptr;
    if (!dd || dd->CreateSurface(&ddsd, &surface, nullptr) != DD_OK) {
        DeleteObject(bitmap);
        return nullptr;
    }

    DDCopyBitmap(surface, bitmap, 0, 0, 0, 0);
    DeleteObject(bitmap);
    return surface;
}

HRESULT DDReloadBitmap(IDirectDrawSurface* surface, LPCSTR name)
{
    HBITMAP bitmap = LoadBitmapHandle(name, 0, 0);
    if (!bitmap) {
        OutputDebugStringA("handle is null\n");
        return E_FAIL;
    }
    const HRESULT result = DDCopyBitmap(surface, bitmap, 0, 0, 0, 0);
    if (result != DD_OK)
        OutputDebugStringA("ddcopybitmap failed\n");
    DeleteObject(bitmap);
    return result;
}

HRESULT DDCopyBitmap(IDirectDrawSurface* surface, HBITMAP bitmap, int x, int y, int width, int height)
{
    if (!bitmap || !surface)
        return E_FAIL;

    surface->Restore();

    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory) {
        // Nothing can be copied: say so rather than report a copy.
        OutputDebugStringA("createcompatible dc failed\n");
        return E_FAIL;
    }

    SelectObject(memory, bitmap);
    BITMAP bm;
    GetObjectA(bitmap, sizeof(bm), &bm);
    if (width == 0)
        width = bm.bmWidth;
    if (height == 0)
        height = bm.bmHeight;

    DDSURFACEDESC ddsd {};
    ddsd.dwSize = DDSURFACEDESC_SIZE;
    ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    surface->GetSurfaceDesc(&ddsd);

    HDC dc = nullptr;
    const HRESULT result = surface->GetDC(&dc);
    if (result == DD_OK) {
        StretchBlt(dc, 0, 0, int(ddsd.dwWidth), int(ddsd.dwHeight), memory, x, y, width, height, SRCCOPY);
        surface->ReleaseDC(dc);
    }

    DeleteDC(memory);
    return result;
}

IDirectDrawPalette* DDLoadPalette(IDirectDraw* dd, LPCSTR name)
{
    PALETTEENTRY ape[256];
    for (int i = 0; i < 256; ++i) {
        ape[i].peRed = BYTE(((i >> 5) & 7) * 255 / 7);
        ape[i].peGreen = BYTE(((i >> 2) & 7) * 255 / 7);
        ape[i].peBlue = BYTE((i & 3) * 255 / 3);
        ape[i].peFlags = 0;
    }

    HRSRC resource = name ? FindResourceA(nullptr, name, RT_BITMAP) : nullptr;
    if (resource) {
        auto* info = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, resource)));
        if (!info) {
            OutputDebugStringA("lock resource failed\n");
        } else {
            BITMAPINFOHEADER header;
            std::memcpy(&header, info, sizeof(header));
            const DWORD n = header.biSize < sizeof(BITMAPINFOHEADER) ? 0 : ColorCount(header);
            const BYTE* table = info + header.biSize;
            for (DWORD i = 0; i < n; ++i) {
                RGBQUAD quad;
                std::memcpy(&quad, table + i * sizeof(RGBQUAD), sizeof(quad));
                ape[i] = { quad.rgbRed, quad.rgbGreen, quad.rgbBlue, 0 };
            }
        }
    } else if (name) {
        const HFILE file = _lopen(name, OF_READ);
        if (file != HFILE_ERROR) {
            BITMAPFILEHEADER fileHeader;
            BITMAPINFOHEADER header {};
            _lread(file, &fileHeader, sizeof(fileHeader));
            const UINT headerBytes = _lread(file, &header, sizeof(header));
            _lread(file, ape, sizeof(ape));
            _lclose(file);
            // A file too short for its headers announces no colours.
            const bool complete = headerBytes == sizeof(header);
            const DWORD n = complete && header.biSize == sizeof(BITMAPINFOHEADER) ? ColorCount(header) : 0;
            for (DWORD i = 0; i < n; ++i)
                std::swap(ape[i].peRed, ape[i].peBlue);
        }
    }

    IDirectDrawPalette* palette = nullptr;
    if (!dd || dd->CreatePalette(DDPCAPS_8BIT, ape, &palette, nullptr) != DD_OK)
        return nullptr;
    return palette;
}

DWORD DDColorMatch(IDirectDrawSurface* surface, COLORREF color)
{
    DWORD result = CLR_INVALID;
    COLORREF saved = CLR_INVALID;
    HDC dc = nullptr;
    if (color != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        saved = GetPixel(dc, 0, 0);
        SetPixel(dc, 0, 0, color);
        surface->ReleaseDC(dc);
    }

    DDSURFACEDESC ddsd {};
    ddsd.dwSize = DDSURFACEDESC_SIZE;
    HRESULT hr;
    while ((hr = surface->Lock(nullptr, &ddsd, 0, nullptr)) == DDERR_WASSTILLDRAWING) { }
    if (hr == DD_OK) {
        // The surface may be narrower than a 32-bit word: read only its first pixel.
        const DWORD bits = ddsd.ddpfPixelFormat.dwRGBBitCount;
        result = 0;
        std::memcpy(&result, ddsd.lpSurface, std::min<size_t>(bits / 8, sizeof(result)));
        if (bits < 32)
            result &= (DWORD(1) << bits) - 1;
        surface->Unlock(nullptr);
    }

    if (color != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        SetPixel(dc, 0, 0, saved);
        surface->ReleaseDC(dc);
    }
    return result;
}

HRESULT DDSetColorKey(IDirectDrawSurface* surface, COLORREF color)
{
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = DDColorMatch(surface, color);
    key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
    return surface->SetColorKey(DDCKEY_SRCBLT, &key);
}

BOOL DDHasAlpha(IDirectDrawSurface* surface)
{
    DDSURFACEDESC ddsd {};
    ddsd.dwSize = DDSURFACEDESC_SIZE;
    return surface && surface->GetSurfaceDesc(&ddsd) == DD_OK && (ddsd.ddpfPixelFormat.dwFlags & DDPF_ALPHAPIXELS) != 0;
}
