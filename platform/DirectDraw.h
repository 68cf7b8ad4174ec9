#pragma once
// Software DirectDraw: surfaces are plain memory in the display's pixel format.

#include "platform/Blit.h"
#include "platform/PixelMemory.h"
#include "platform/PresentTarget.h"
#include "platform/Types.h"

#include <cstdlib>
#include <memory>
#include <vector>

using HDC = struct DeviceContext*;

inline constexpr DWORD DDSCL_NORMAL = 0x8;

inline constexpr DWORD DDSD_CAPS = 0x1;
inline constexpr DWORD DDSD_HEIGHT = 0x2;
inline constexpr DWORD DDSD_WIDTH = 0x4;
inline constexpr DWORD DDSD_PITCH = 0x8;
inline constexpr DWORD DDSD_LPSURFACE = 0x800;
inline constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
inline constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
inline constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;

inline constexpr DWORD DDBLT_ALPHASRC = 0x20;
inline constexpr DWORD DDBLT_COLORFILL = 0x400;
inline constexpr DWORD DDBLT_KEYSRC = 0x8000;
inline constexpr DWORD DDBLT_WAIT = 0x1000000;

inline constexpr DWORD DDCKEY_SRCBLT = 0x8;
inline constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
inline constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
inline constexpr DWORD DDPF_RGB = 0x40;
inline constexpr DWORD DDPF_ALPHAPREMULT = 0x8000;
inline constexpr DWORD DDPCAPS_8BIT = 0x4;

inline constexpr HRESULT DDERR_INVALIDPIXELFORMAT = HRESULT(0x88760091);
inline constexpr HRESULT DDERR_NOCOLORKEY = HRESULT(0x887600D7);
inline constexpr HRESULT DDERR_SURFACEBUSY = HRESULT(0x887601AE);
inline constexpr HRESULT DDERR_DCALREADYCREATED = HRESULT(0x8876026C);

// The record sizes callers put into dwSize (those of the 32-bit platform).
inline constexpr DWORD DDSURFACEDESC_SIZE = 108;
inline constexpr DWORD DDBLTFX_SIZE = 100;

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue = 0;
    DWORD dwColorSpaceHighValue = 0;
};

struct DDSCAPS {
    DWORD dwCaps = 0;
};

struct DDPIXELFORMAT {
    DWORD dwSize = 32;
    DWORD dwFlags = 0;
    DWORD dwFourCC = 0;
    DWORD dwRGBBitCount = 0;
    DWORD dwRBitMask = 0;
    DWORD dwGBitMask = 0;
    DWORD dwBBitMask = 0;
    DWORD dwRGBAlphaBitMask = 0;
};

struct DDSURFACEDESC {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwHeight = 0;
    DWORD dwWidth = 0;
    LONG lPitch = 0;
    DWORD dwBackBufferCount = 0;
    DWORD dwRefreshRate = 0;
    DWORD dwAlphaBitDepth = 0;
    DWORD dwReserved = 0;
    LPVOID lpSurface = nullptr;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};

struct DDBLTFX {
    DWORD dwSize = 0;
    DWORD dwDDFX = 0;
    DWORD dwROP = 0;
    DWORD dwDDROP = 0;
    DWORD dwRotationAngle = 0;
    DWORD dwZBufferOpCode = 0;
    DWORD dwZBufferLow = 0;
    DWORD dwZBufferHigh = 0;
    DWORD dwZBufferBaseDest = 0;
    DWORD dwZDestConstBitDepth = 0;
    DWORD dwZDestConst = 0;
    DWORD dwZSrcConstBitDepth = 0;
    DWORD dwZSrcConst = 0;
    DWORD dwAlphaEdgeBlendBitDepth = 0;
    DWORD dwAlphaEdgeBlend = 0;
    DWORD dwReserved = 0;
    DWORD dwAlphaDestConstBitDepth = 0;
    DWORD dwAlphaDestConst = 0;
    DWORD dwAlphaSrcConstBitDepth = 0;
    DWORD dwAlphaSrcConst = 0;
    DWORD dwFillColor = 0;
    DDCOLORKEY ddckDestColorkey;
    DDCOLORKEY ddckSrcColorkey;
};
static_assert(sizeof(DDBLTFX) == 100);

struct PALETTEENTRY {
    BYTE peRed = 0;
    BYTE peGreen = 0;
    BYTE peBlue = 0;
    BYTE peFlags = 0;
};

class IDirectDrawSurface;
class IDirectDraw;

// Objects are reference counted; Release() destroys them at zero. Whatever a
// DirectDraw object created and is still alive goes with it when it is
// destroyed.
template<class Object> class RefCounted {
public:
    ULONG Release()
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete static_cast<Object*>(this);
        return refs;
    }
    void addRef() { ++m_refs; }

protected:
    RefCounted() = default;
    ~RefCounted() = default;

private:
    ULONG m_refs = 1;
};

class IDirectDrawPalette : public RefCounted<IDirectDrawPalette> {
public:
    const PALETTEENTRY* entries() const { return m_entries; }

private:
    friend class IDirectDraw;
    friend class IDirectDrawSurface;
    friend class RefCounted<IDirectDrawPalette>;
    IDirectDrawPalette(IDirectDraw* owner, const PALETTEENTRY* entries);
    ~IDirectDrawPalette();
    IDirectDraw* m_owner;
    PALETTEENTRY m_entries[256];
};

class IDirectDrawClipper : public RefCounted<IDirectDrawClipper> {
public:
    HRESULT SetHWnd(DWORD flags, HWND window);
    // Limits presentation to these rectangles of the window; none (count 0)
    // presents all of it.
    HRESULT SetClipList(const RECT* rects, DWORD count);
    HWND window() const { return m_window; }
    const std::vector<RECT>& clipList() const { return m_clipList; }

private:
    friend class IDirectDraw;
    friend class IDirectDrawSurface;
    friend class RefCounted<IDirectDrawClipper>;
    explicit IDirectDrawClipper(IDirectDraw* owner);
    ~IDirectDrawClipper();
    IDirectDraw* m_owner;
    HWND m_window = nullptr;
    std::vector<RECT> m_clipList;
};

class IDirectDrawSurface : public RefCounted<IDirectDrawSurface> {
public:
    HRESULT Blt(LPRECT destRect, IDirectDrawSurface* source, LPRECT sourceRect, DWORD flags, DDBLTFX* fx);
    HRESULT GetSurfaceDesc(DDSURFACEDESC* desc);
    HRESULT GetDC(HDC* dc);
    HRESULT ReleaseDC(HDC dc);
    HRESULT Lock(LPRECT rect, DDSURFACEDESC* desc, DWORD flags, void* event);
    HRESULT Unlock(LPVOID bits);
    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key);
    HRESULT SetClipper(IDirectDrawClipper* clipper);
    HRESULT SetPalette(IDirectDrawPalette* palette);
    HRESULT Restore();

    // Layer operations, not part of the interface the desktop uses.
    void markLost();
    bool isLost() const { return m_lost; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return m_bitsPerPixel; }
    // Holds 32-bit premultiplied ARGB, whatever the display's format.
    bool hasAlpha() const { return m_alpha; }
    // The pixels as they stand, every fill written.
    const BYTE* bits() const;
    int pitch() const { return m_pitch; }

    // The palette that gives an 8-bit surface's pixels their colours: its
    // own, else the primary surface's (the display's), else the default.
    const PALETTEENTRY* colorTable() const;
    // The source colour key, when one is set.
    DWORD sourceKey() const { return m_sourceKey; }

private:
    friend class IDirectDraw;
    friend class RefCounted<IDirectDrawSurface>;
    IDirectDrawSurface(IDirectDraw* owner, int width, int height, bool primary, bool alpha = false);
    ~IDirectDrawSurface();
    HRESULT present(const RECT& destRect, const IDirectDrawSurface& source, const RECT& sourceRect);
    // What of a surface with alpha shows, found when it is first blended
    // after its pixels changed.
    const AlphaRuns* alphaRuns();
    void changed() { m_alphaRuns.reset(); }
    // Writes what is still owed of a whole fill or a repetition in `area`
    // before its memory is used (see KnownFill and KnownTile).
    void settle(const RECT& area, bool overwritten) const;
    void settleFill(const RECT& area, bool overwritten) const;
    void settleTile(const RECT& area, bool overwritten) const;
    // A plain copy that lays a repetition here, or reads one from `source`,
    // done without this surface's or the source's memory; false otherwise.
    bool copyRepetition(const RECT& destRect, const IDirectDrawSurface& source, const RECT& sourceRect);
    PixelBuffer memory() const { return { m_bits.get(), m_width, m_height, m_pitch, m_bitsPerPixel / 8 }; }

    IDirectDraw* m_owner;
    int m_width;
    int m_height;
    int m_bitsPerPixel;
    int m_pitch;
    bool m_primary;
    bool m_alpha;
    bool m_lost = false;
    bool m_locked = false;
    bool m_hasSourceKey = false;
    DWORD m_sourceKey = 0;
    PixelMemory m_bits;
    IDirectDrawClipper* m_clipper = nullptr;
    IDirectDrawPalette* m_palette = nullptr;
    std::unique_ptr<DeviceContext> m_dc;
    mutable KnownFill m_known;
    mutable KnownTile m_tile;
    std::unique_ptr<AlphaRuns> m_alphaRuns;
};

class IDirectDraw : public RefCounted<IDirectDraw> {
public:
    HRESULT SetCooperativeLevel(HWND window, DWORD flags);
    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, void* outer);
    HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, void* outer);
    HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette, void* outer);

    // Layer operations: the display's pixel depth (32, 16 or 8) and losing
    // every surface at once (a change of the window's screen, or a test).
    int displayDepth() const { return m_depth; }
    void loseAllSurfaces();
    // Surfaces created and not yet released (for leak checks in tests).
    size_t liveSurfaceCount() const { return m_surfaces.size(); }

private:
    friend HRESULT DirectDrawCreate(void*, IDirectDraw**, void*);
    friend class IDirectDrawSurface;
    friend class IDirectDrawClipper;
    friend class IDirectDrawPalette;
    friend class RefCounted<IDirectDraw>;
    explicit IDirectDraw(int depth);
    ~IDirectDraw();
    int m_depth;
    IDirectDrawSurface* m_primary = nullptr;
    std::vector<IDirectDrawSurface*> m_surfaces;
    std::vector<IDirectDrawClipper*> m_clippers;
    std::vector<IDirectDrawPalette*> m_palettes;
};

HRESULT DirectDrawCreate(void* guid, IDirectDraw** dd, void* outer);
