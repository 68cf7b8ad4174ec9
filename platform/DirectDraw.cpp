#include "platform/DirectDraw.h"

#include "platform/Blit.h"
#include "platform/DeviceContext.h"
#include "platform/DirectDrawFaults.h"
#include "platform/PixelFormat.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

namespace {

// Surfaces larger than this are refused, as a driver out of memory would.
constexpr qint64 kMaxSurfaceBytes = qint64(1) << 30;
constexpr int kMaxSurfaceSide = 1 << 15;

bool isEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

template<typename T> void forget(std::vector<T*>& list, T* item)
{
    std::erase(list, item);
}

} // namespace

// Palette and clipper.

IDirectDrawPalette::IDirectDrawPalette(IDirectDraw* owner, const PALETTEENTRY* entries)
    : m_owner(owner)
{
    std::copy(entries, entries + 256, m_entries);
}

IDirectDrawPalette::~IDirectDrawPalette()
{
    forget(m_owner->m_palettes, this);
}

IDirectDrawClipper::IDirectDrawClipper(IDirectDraw* owner)
    : m_owner(owner)
{
}

IDirectDrawClipper::~IDirectDrawClipper()
{
    forget(m_owner->m_clippers, this);
}

HRESULT IDirectDrawClipper::SetHWnd(DWORD, HWND window)
{
    if (ShouldFail(FaultPoint::SetHWnd))
        return E_FAIL;
    m_window = window;
    return DD_OK;
}

HRESULT IDirectDrawClipper::SetClipList(const RECT* rects, DWORD count)
{
    if (count > 0 && !rects)
        return DDERR_INVALIDPARAMS;
    m_clipList.assign(rects, rects + count);
    return DD_OK;
}

// Surfaces.

IDirectDrawSurface::IDirectDrawSurface(IDirectDraw* owner, int width, int height, bool primary, bool alpha)
    : m_owner(owner)
    , m_width(width)
    , m_height(height)
    , m_bitsPerPixel(alpha ? 32 : owner->m_depth)
    , m_pitch((width * (m_bitsPerPixel / 8) + 3) & ~3)
    , m_primary(primary)
    , m_alpha(alpha)
{
    // The primary surface is the window: frames blitted onto it go straight
    // to the presentation target, so it holds no memory of its own.
    if (!primary) {
        m_bits = PixelMemory(size_t(m_pitch) * size_t(height));
    }
}

IDirectDrawSurface::~IDirectDrawSurface()
{
    if (m_clipper)
        m_clipper->Release();
    if (m_palette)
        m_palette->Release();
    if (m_owner->m_primary == this)
        m_owner->m_primary = nullptr;
    forget(m_owner->m_surfaces, this);
}

void IDirectDrawSurface::markLost()
{
    m_lost = true;
}

const PALETTEENTRY* IDirectDrawSurface::colorTable() const
{
    if (m_palette)
        return m_palette->entries();
    if (m_owner->m_primary && m_owner->m_primary->m_palette)
        return m_owner->m_primary->m_palette->entries();
    return DefaultPalette();
}

HRESULT IDirectDrawSurface::Blt(
    LPRECT destRect, IDirectDrawSurface* source, LPRECT sourceRect, DWORD flags, DDBLTFX* fx)
{
    if (m_lost || (source && source->m_lost && !(flags & DDBLT_COLORFILL)))
        return DDERR_SURFACELOST;
    const RECT whole { 0, 0, m_width, m_height };
    const RECT dest = destRect ? *destRect : whole;
    if (isEmpty(dest))
        return DDERR_INVALIDRECT;

    if (flags & DDBLT_COLORFILL) {
        if (!fx || m_primary)
            return DDERR_INVALIDPARAMS;
        changed();
        settleTile(dest, true);
        const DWORD mask = m_bitsPerPixel == 32 ? 0xFFFFFFFF : (DWORD(1) << m_bitsPerPixel) - 1;
        const RECT needed = m_known.fill(dest, fx->dwFillColor & mask, whole);
        if (!isEmpty(needed)) {
            settle(needed, true);
            FillPixels({ m_bits.get(), m_width, m_height, m_pitch, m_bitsPerPixel / 8 }, needed, fx->dwFillColor);
        }
        return DD_OK;
    }

    // A blend reads premultiplied ARGB and writes this surface's format; any
    // other blit is between surfaces of one format.
    const bool blend = flags & DDBLT_ALPHASRC;
    if (!source || source->m_primary
        || (blend ? !source->m_alpha || m_alpha
                  : source->m_bitsPerPixel != m_bitsPerPixel || source->m_alpha != m_alpha))
        return DDERR_INVALIDPARAMS;
    const RECT src = sourceRect ? *sourceRect : RECT { 0, 0, source->m_width, source->m_height };
    if (isEmpty(src))
        return DDERR_INVALIDRECT;
    if (m_primary)
        return (flags & (DDBLT_KEYSRC | DDBLT_ALPHASRC)) ? DDERR_INVALIDPARAMS : present(dest, *source, src);

    // A blend has no use for a key: its transparent pixels add nothing.
    std::optional<DWORD> key;
    if ((flags & DDBLT_KEYSRC) && !blend) {
        if (!source->m_hasSourceKey)
            return DDERR_NOCOLORKEY;
        key = source->m_sourceKey;
    }
    if (!key && !blend && source != this && copyRepetition(dest, *source, src))
        return DD_OK;
    PixelBuffer from { source->m_bits.get(), source->m_width, source->m_height, source->m_pitch,
        source->m_bitsPerPixel / 8 };
    // A blit within one surface reads a snapshot, so overlapping rectangles
    // copy what was there before.
    std::unique_ptr<BYTE[]> snapshot;
    // A stretch may read past the source's edge; the pixels it writes then
    // are not all of `dest`.
    const bool sourceInside
        = src.left >= 0 && src.top >= 0 && src.right <= source->m_width && src.bottom <= source->m_height;
    // A blend's runs are found over the whole picture.
    source->settle(blend ? RECT { 0, 0, source->m_width, source->m_height } : src, false);
    if (source == this) {
        settle(whole, false);
        const size_t bytes = size_t(m_pitch) * size_t(m_height);
        snapshot.reset(new (std::nothrow) BYTE[bytes]);
        if (!snapshot)
            return DDERR_OUTOFMEMORY;
        std::memcpy(snapshot.get(), m_bits.get(), bytes);
        from.bits = snapshot.get();
    }
    changed();
    // A blend reads what it blends onto.
    settle(dest, !key && !blend && sourceInside);
    m_known.wrote({ std::max(dest.left, LONG(0)), std::max(dest.top, LONG(0)), std::min(dest.right, LONG(m_width)),
        std::min(dest.bottom, LONG(m_height)) });
    const PixelBuffer to { m_bits.get(), m_width, m_height, m_pitch, m_bitsPerPixel / 8 };
    if (blend)
        BlendPixels(to, dest, from, src, colorTable(), source->alphaRuns());
    else
        CopyPixels(to, dest, from, src, key);
    return DD_OK;
}

const AlphaRuns* IDirectDrawSurface::alphaRuns()
{
    if (!m_alphaRuns)
        m_alphaRuns = std::make_unique<AlphaRuns>(FindAlphaRuns({ m_bits.get(), m_width, m_height, m_pitch, 4 }));
    return m_alphaRuns.get();
}

HRESULT IDirectDrawSurface::present(const RECT& destRect, const IDirectDrawSurface& source, const RECT& sourceRect)
{
    // Frames are handed over in desktop coordinates, so they start at its origin.
    if (destRect.left != 0 || destRect.top != 0 || destRect.right > kMaxSurfaceSide
        || destRect.bottom > kMaxSurfaceSide)
        return DDERR_INVALIDRECT;
    PresentTarget* target = m_clipper ? m_clipper->window() : nullptr;
    if (!target)
        return DD_OK;
    source.settle(sourceRect, false);

    QImage frame(static_cast<const uchar*>(source.m_bits.get()), source.m_width, source.m_height, source.m_pitch,
        ImageFormatFor(m_bitsPerPixel));
    if (destRect.right != source.m_width || destRect.bottom != source.m_height || sourceRect.left != 0
        || sourceRect.top != 0 || sourceRect.right != source.m_width || sourceRect.bottom != source.m_height) {
        // Part of the back buffer, or another size: by the rule of any blit.
        QImage part(destRect.right, destRect.bottom, ImageFormatFor(m_bitsPerPixel));
        if (part.isNull())
            return DDERR_OUTOFMEMORY;
        const int bytes = m_bitsPerPixel / 8;
        CopyPixels({ part.bits(), part.width(), part.height(), int(part.bytesPerLine()), bytes }, destRect,
            { const_cast<BYTE*>(source.m_bits.get()), source.m_width, source.m_height, source.m_pitch, bytes },
            sourceRect, std::nullopt);
        frame = part;
    }
    if (m_bitsPerPixel == 8)
        frame.setColorTable(ColorTableFrom(colorTable()));
    target->presentFrame(frame, m_clipper->clipList());
    return DD_OK;
}

bool IDirectDrawSurface::copyRepetition(const RECT& destRect, const IDirectDrawSurface& source, const RECT& sourceRect)
{
    const RECT drawn { std::max(destRect.left, LONG(0)), std::max(destRect.top, LONG(0)),
        std::min(destRect.right, LONG(m_width)), std::min(destRect.bottom, LONG(m_height)) };
    if (!source.m_tile.known()) {
        // Laid here: compared with the source's pixels and with the cell's
        // first copy, as they stand.
        source.settleFill(sourceRect, false);
        if (!m_tile.known() && !isEmpty(m_tile.first))
            settleFill(m_tile.first, false);
        if (!m_tile.record(memory(), destRect, source.memory(), sourceRect))
            return false;
        changed();
        settleFill(destRect, true);
        m_known.wrote(drawn);
        return true;
    }
    // Read out of the source's repetition, one pixel to one pixel.
    const RECT read { std::max(sourceRect.left, LONG(0)), std::max(sourceRect.top, LONG(0)),
        std::min(sourceRect.right, LONG(source.m_width)), std::min(sourceRect.bottom, LONG(source.m_height)) };
    if (RectWidth(destRect) != RectWidth(sourceRect) || RectHeight(destRect) != RectHeight(sourceRect)
        || !source.m_tile.covers(read))
        return false;
    changed();
    settle(destRect, read == sourceRect);
    m_known.wrote(drawn);
    CopyTilePixels(memory(), destRect, source.m_tile, sourceRect, source.m_width, source.m_height);
    return true;
}

void IDirectDrawSurface::settle(const RECT& area, bool overwritten) const
{
    settleFill(area, overwritten);
    settleTile(area, overwritten);
}

void IDirectDrawSurface::settleFill(const RECT& area, bool overwritten) const
{
    if (!m_known.pending)
        return;
    for (const RECT& part : m_known.settle(area, { 0, 0, m_width, m_height }, overwritten))
        FillPixels(memory(), part, m_known.value);
}

void IDirectDrawSurface::settleTile(const RECT& area, bool overwritten) const
{
    if (m_tile.known())
        m_tile.settle(memory(), area, overwritten);
    m_tile.untouched = false;
}

const BYTE* IDirectDrawSurface::bits() const
{
    settle({ 0, 0, m_width, m_height }, false);
    return m_bits.get();
}

HRESULT IDirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC* desc)
{
    if (!desc || desc->dwSize != DDSURFACEDESC_SIZE)
        return DDERR_INVALIDPARAMS;
    *desc = DDSURFACEDESC {};
    desc->dwSize = DDSURFACEDESC_SIZE;
    desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = DWORD(m_width);
    desc->dwHeight = DWORD(m_height);
    desc->lPitch = m_pitch;
    desc->ddpfPixelFormat = m_alpha ? PremultipliedAlphaFormat() : PixelFormatFor(m_bitsPerPixel);
    desc->ddsCaps.dwCaps = m_primary ? DDSCAPS_PRIMARYSURFACE : DDSCAPS_OFFSCREENPLAIN;
    if (m_hasSourceKey)
        desc->ddckCKSrcBlt = { m_sourceKey, m_sourceKey };
    return DD_OK;
}

HRESULT IDirectDrawSurface::GetDC(HDC* dc)
{
    if (!dc)
        return DDERR_INVALIDPARAMS;
    if (m_lost)
        return DDERR_SURFACELOST;
    if (m_primary || ShouldFail(FaultPoint::GetDC))
        return E_FAIL;
    if (m_dc)
        return DDERR_DCALREADYCREATED;
    // Drawing reads and writes anywhere.
    settleTile({ 0, 0, m_width, m_height }, false);
    m_dc = DeviceContext::forSurface(
        m_bits.get(), m_width, m_height, m_pitch, m_bitsPerPixel, m_alpha, colorTable(), &m_known);
    // An 8-bit surface is drawn on through a 32-bit copy, which may not fit.
    if (m_dc->image().isNull()) {
        m_dc.reset();
        return DDERR_OUTOFMEMORY;
    }
    *dc = m_dc.get();
    changed();
    return DD_OK;
}

HRESULT IDirectDrawSurface::ReleaseDC(HDC dc)
{
    if (!m_dc || dc != m_dc.get())
        return DDERR_INVALIDPARAMS;
    m_dc->finish();
    m_dc.reset();
    changed();
    return DD_OK;
}

HRESULT IDirectDrawSurface::Lock(LPRECT rect, DDSURFACEDESC* desc, DWORD, void*)
{
    if (!desc || desc->dwSize != DDSURFACEDESC_SIZE)
        return DDERR_INVALIDPARAMS;
    if (m_lost)
        return DDERR_SURFACELOST;
    if (m_primary || ShouldFail(FaultPoint::Lock))
        return E_FAIL;
    if (m_locked)
        return DDERR_SURFACEBUSY;
    const RECT area = rect ? *rect : RECT { 0, 0, m_width, m_height };
    if (isEmpty(area) || area.left < 0 || area.top < 0 || area.right > m_width || area.bottom > m_height)
        return DDERR_INVALIDRECT;
    GetSurfaceDesc(desc);
    settle(area, false);
    m_known.wrote(area);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface
        = m_bits.get() + size_t(area.top) * size_t(m_pitch) + size_t(area.left) * size_t(m_bitsPerPixel / 8);
    m_locked = true;
    changed();
    return DD_OK;
}

HRESULT IDirectDrawSurface::Unlock(LPVOID)
{
    if (!m_locked)
        return DDERR_NOTLOCKED;
    m_locked = false;
    changed();
    return DD_OK;
}

HRESULT IDirectDrawSurface::SetColorKey(DWORD flags, DDCOLORKEY* key)
{
    if (flags != DDCKEY_SRCBLT)
        return DDERR_INVALIDPARAMS;
    m_hasSourceKey = key != nullptr;
    if (key) {
        const DWORD mask = m_bitsPerPixel == 32 ? 0xFFFFFFFF : (DWORD(1) << m_bitsPerPixel) - 1;
        m_sourceKey = key->dwColorSpaceLowValue & mask;
    }
    return DD_OK;
}

HRESULT IDirectDrawSurface::SetClipper(IDirectDrawClipper* clipper)
{
    if (ShouldFail(FaultPoint::SetClipper))
        return E_FAIL;
    if (clipper)
        clipper->addRef();
    if (m_clipper)
        m_clipper->Release();
    m_clipper = clipper;
    return DD_OK;
}

HRESULT IDirectDrawSurface::SetPalette(IDirectDrawPalette* palette)
{
    if (m_bitsPerPixel != 8 && !m_primary)
        return DDERR_INVALIDPARAMS;
    if (palette)
        palette->addRef();
    if (m_palette)
        m_palette->Release();
    m_palette = palette;
    return DD_OK;
}

HRESULT IDirectDrawSurface::Restore()
{
    if (ShouldFail(FaultPoint::Restore))
        return E_FAIL;
    m_lost = false;
    changed();
    return DD_OK;
}

// The DirectDraw object.

IDirectDraw::IDirectDraw(int depth)
    : m_depth(depth)
{
}

IDirectDraw::~IDirectDraw()
{
    // Children remove themselves from these lists as they go.
    while (!m_surfaces.empty())
        delete m_surfaces.back();
    while (!m_clippers.empty())
        delete m_clippers.back();
    while (!m_palettes.empty())
        delete m_palettes.back();
}

HRESULT IDirectDraw::SetCooperativeLevel(HWND, DWORD flags)
{
    return flags == DDSCL_NORMAL ? DD_OK : DDERR_INVALIDPARAMS;
}

HRESULT IDirectDraw::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, void*)
{
    if (!desc || !surface || desc->dwSize != DDSURFACEDESC_SIZE || !(desc->dwFlags & DDSD_CAPS))
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (ShouldFail(FaultPoint::CreateSurface))
        return DDERR_OUTOFMEMORY;

    if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
        if (m_primary)
            return DDERR_INVALIDPARAMS; // one primary surface per display
        QScreen* screen
            = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
        const QSize size = screen ? screen->size() : QSize();
        m_primary = new IDirectDrawSurface(this, size.width(), size.height(), true);
        m_surfaces.push_back(m_primary);
        *surface = m_primary;
        return DD_OK;
    }

    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT))
        return DDERR_INVALIDPARAMS;
    // A format of its own: the display's, or premultiplied ARGB for pictures
    // with their own transparency.
    bool alpha = false;
    if (desc->dwFlags & DDSD_PIXELFORMAT) {
        const DDPIXELFORMAT& format = desc->ddpfPixelFormat;
        alpha = IsPremultipliedAlphaFormat(format);
        const DDPIXELFORMAT display = PixelFormatFor(m_depth);
        if (!alpha
            && (format.dwFlags != display.dwFlags || format.dwRGBBitCount != display.dwRGBBitCount
                || format.dwRBitMask != display.dwRBitMask || format.dwGBitMask != display.dwGBitMask
                || format.dwBBitMask != display.dwBBitMask || format.dwRGBAlphaBitMask != 0))
            return DDERR_INVALIDPIXELFORMAT;
    }
    const qint64 width = desc->dwWidth, height = desc->dwHeight;
    if (width <= 0 || height <= 0)
        return DDERR_INVALIDPARAMS;
    const int bytes = alpha ? 4 : m_depth / 8;
    if (width > kMaxSurfaceSide || height > kMaxSurfaceSide || width * height * bytes > kMaxSurfaceBytes)
        return DDERR_OUTOFMEMORY;
    auto* created = new (std::nothrow) IDirectDrawSurface(this, int(width), int(height), false, alpha);
    if (!created)
        return DDERR_OUTOFMEMORY;
    if (!created->m_bits.get()) {
        delete created;
        return DDERR_OUTOFMEMORY;
    }
    m_surfaces.push_back(created);
    *surface = created;
    return DD_OK;
}

HRESULT IDirectDraw::CreateClipper(DWORD, IDirectDrawClipper** clipper, void*)
{
    if (!clipper)
        return DDERR_INVALIDPARAMS;
    *clipper = nullptr;
    if (ShouldFail(FaultPoint::CreateClipper))
        return DDERR_OUTOFMEMORY;
    *clipper = new IDirectDrawClipper(this);
    m_clippers.push_back(*clipper);
    return DD_OK;
}

HRESULT IDirectDraw::CreatePalette(DWORD, PALETTEENTRY* entries, IDirectDrawPalette** palette, void*)
{
    if (!entries || !palette)
        return DDERR_INVALIDPARAMS;
    *palette = new IDirectDrawPalette(this, entries);
    m_palettes.push_back(*palette);
    return DD_OK;
}

void IDirectDraw::loseAllSurfaces()
{
    for (IDirectDrawSurface* surface : m_surfaces)
        surface->markLost();
}

HRESULT DirectDrawCreate(void*, IDirectDraw** dd, void*)
{
    if (!dd)
        return DDERR_INVALIDPARAMS;
    *dd = nullptr;
    if (ShouldFail(FaultPoint::DirectDrawCreate))
        return E_FAIL;
    *dd = new IDirectDraw(DisplayDepthFromEnvironment());
    return DD_OK;
}
