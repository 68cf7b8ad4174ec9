#include "app/DesktopApp.h"
#include "bitmaps/DDUtil.h"
#include "platform/Accessibility.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"
#include "platform/PixelFormat.h"

#include <algorithm>
#include <array>

namespace {

// The highlight frame is filled with this raw value; it is not colour-matched.
constexpr DWORD kHighlightPixel = 0xFFFF00;
// The side of a placeholder that has no picture size to show.
constexpr LONG kPlaceholderSide = 64;

bool IsEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

RECT Intersect(const RECT& a, const RECT& b)
{
    return { std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
        std::min(a.bottom, b.bottom) };
}

RECT Bounds(const RECT& a, const RECT& b)
{
    return { std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
        std::max(a.bottom, b.bottom) };
}

LONGLONG Area(const RECT& r)
{
    return IsEmpty(r) ? 0 : RectWidth(r) * RectHeight(r);
}

// A frame's one-pixel top, bottom, left and right bands.
std::array<RECT, 4> Bands(const RECT& h)
{
    const LONG top1 = ClampLong(LONGLONG(h.top) + 1), bottom1 = ClampLong(LONGLONG(h.bottom) - 1);
    const LONG left1 = ClampLong(LONGLONG(h.left) + 1), right1 = ClampLong(LONGLONG(h.right) - 1);
    return { RECT { h.left, h.top, h.right, top1 }, RECT { h.left, bottom1, h.right, h.bottom },
        RECT { h.left, h.top, left1, h.bottom }, RECT { right1, h.top, h.right, h.bottom } };
}

bool FitsItsRect(const IDirectDrawSurface* surface, const RECT& rc)
{
    return !surface || (surface->width() == RectWidth(rc) && surface->height() == RectHeight(rc));
}

// `rc` moved inwards by `d` on every side.
RECT Inset(const RECT& rc, LONG d)
{
    return { ClampLong(LONGLONG(rc.left) + d), ClampLong(LONGLONG(rc.top) + d), ClampLong(LONGLONG(rc.right) - d),
        ClampLong(LONGLONG(rc.bottom) - d) };
}

// Draws `surface` at `rc` onto `back`: all of it when `area` is null, else
// only the part inside `area` (the surface is then the rectangle's size).
void Draw(IDirectDrawSurface* back, const RECT& rc, IDirectDrawSurface* surface, DWORD flags, const RECT* area)
{
    RECT dest = rc;
    if (area)
        dest = Intersect(rc, *area);
    if (IsEmpty(dest))
        return;
    if (!area || dest == rc) {
        back->Blt(const_cast<RECT*>(&rc), surface, nullptr, flags, nullptr);
        return;
    }
    RECT src = dest;
    OffsetRect(&src, -LONGLONG(rc.left), -LONGLONG(rc.top));
    back->Blt(&dest, surface, &src, flags, nullptr);
}

// The focus frame: black and white dots in turn, fixed to the screen's pixels
// so that a partial frame matches a whole one. It shows on any background.
void DrawDottedFrame(
    IDirectDrawSurface* back, const RECT& frame, const RECT& screen, DWORD dwBlack, DWORD dwWhite, const RECT* area)
{
    DDBLTFX fx;
    fx.dwSize = DDBLTFX_SIZE;
    for (const RECT& band : Bands(frame)) {
        RECT part = Intersect(band, screen);
        if (area)
            part = Intersect(part, *area);
        if (IsEmpty(part))
            continue;
        fx.dwFillColor = dwWhite;
        back->Blt(&part, nullptr, nullptr, DDBLT_COLORFILL, &fx);
        fx.dwFillColor = dwBlack;
        for (LONG y = part.top; y < part.bottom; ++y) {
            for (LONG x = part.left + ((part.left + y) & 1); x < part.right; x += 2) {
                RECT dot { x, y, x + 1, y + 1 };
                back->Blt(&dot, nullptr, nullptr, DDBLT_COLORFILL, &fx);
            }
        }
    }
}

} // namespace

std::optional<RECT> CDesktopApp::PlaceholderRect(int i) const
{
    const DesktopObject& r = m_aObjects[i];
    if (i == 0 || m_aRuntime[i].pUp || r.strUpImage.Compare(" ") <= 0)
        return std::nullopt;
    // A refused picture never fits here, so its size is not taken.
    const RECT& rc = r.rcObject;
    if (!IsRectEmpty(&rc) && rc.left >= 0 && rc.top >= 0 && rc.right <= m_cxScreen && rc.bottom <= m_cyScreen)
        return rc;
    return RECT { rc.left, rc.top, ClampLong(LONGLONG(rc.left) + kPlaceholderSide),
        ClampLong(LONGLONG(rc.top) + kPlaceholderSide) };
}

std::optional<RECT> CDesktopApp::ImageArea(int i) const
{
    if (m_aRuntime[i].pUp)
        return m_aObjects[i].rcObject;
    return m_bLocked ? std::nullopt : PlaceholderRect(i);
}

// The frame in the object's caption colour and its name inside, in the
// default caption font, drawn in each area (or whole). Both come from the
// caption work surface: one pixel of the colour, stretched over each side,
// and the name on the key colour beside it.
void CDesktopApp::DrawPlaceholder(int i, const RECT& rc, const std::vector<const RECT*>& areas)
{
    const auto clipOf = [&](const RECT* area) { return Intersect(rc, area ? *area : m_rcScreen); };
    if (std::none_of(areas.begin(), areas.end(), [&](const RECT* area) { return !IsEmpty(clipOf(area)); }))
        return;
    if (!m_pDDSTextWork) {
        DDSURFACEDESC ddsd;
        ddsd.dwSize = DDSURFACEDESC_SIZE;
        ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        ddsd.dwWidth = DWORD(m_cxScreen);
        ddsd.dwHeight = DWORD(m_cyScreen);
        ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        if (m_pDD->CreateSurface(&ddsd, &m_pDDSTextWork, nullptr) != DD_OK) {
            m_pDDSTextWork = nullptr;
            return;
        }
    }
    HDC dc = nullptr;
    if (m_pDDSTextWork->GetDC(&dc) != DD_OK)
        return;
    const DesktopObject& r = m_aObjects[i];
    HFONT font = CreateFontIndirectA(&m_lfDefault);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SIZE extent;
    GetTextExtentPointA(dc, r.strName, r.strName.GetLength(), &extent);
    const RECT rcName
        = { 1, 0, 1 + std::clamp<LONG>(extent.cx, 0, m_cxScreen - 1), std::clamp<LONG>(extent.cy, 0, m_cyScreen) };
    SetTextColor(dc, r.crText);
    SetBkColor(dc, kColorKey);
    SetBkMode(dc, OPAQUE);
    ExtTextOutA(dc, 1, 0, ETO_OPAQUE, &rcName, r.strName, UINT(r.strName.GetLength()), nullptr);
    // After the name, whose glyphs may reach into it.
    const RECT rcSwatch = { 0, 0, 1, 1 };
    SetBkColor(dc, r.crText);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rcSwatch, "", 0, nullptr);
    if (oldFont)
        SelectObject(dc, oldFont);
    m_pDDSTextWork->ReleaseDC(dc);
    DeleteObject(font);
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = m_dwColorKeyPixel;
    m_pDDSTextWork->SetColorKey(DDCKEY_SRCBLT, &key);

    // The name starts two pixels in from the corner and is cut at the frame.
    RECT rcAt = rcName;
    OffsetRect(&rcAt, LONGLONG(rc.left) + 1, LONGLONG(rc.top) + 2);
    const RECT rcInside = Intersect(rcAt, Inset(rc, 1));
    for (const RECT* area : areas) {
        const RECT clip = clipOf(area);
        if (IsEmpty(clip))
            continue;
        for (RECT band : Bands(rc)) {
            band = Intersect(band, clip);
            if (!IsEmpty(band))
                m_pDDSBack->Blt(&band, m_pDDSTextWork, const_cast<RECT*>(&rcSwatch), 0, nullptr);
        }
        RECT dest = Intersect(rcInside, clip);
        if (IsEmpty(dest))
            continue;
        RECT src = dest;
        OffsetRect(&src, LONGLONG(rcName.left) - rcAt.left, LONGLONG(rcName.top) - rcAt.top);
        m_pDDSBack->Blt(&dest, m_pDDSTextWork, &src, DDBLT_KEYSRC, nullptr);
    }
}

BOOL CDesktopApp::FocusFrame(RECT& rc) const
{
    const int f = m_nFocusObject;
    if (!m_bFocusFrame || f <= 0 || f >= m_nObjects || f != m_nHoverObject || !m_aRuntime[f].bVisible)
        return FALSE;
    const RECT pic = m_aRuntime[f].pUp ? m_aObjects[f].rcObject : m_aObjects[f].rcText;
    rc = { pic.left - 1, pic.top - 1, pic.right + 1, pic.bottom + 1 };
    return TRUE;
}

CDesktopApp::ObjectLook CDesktopApp::LookOf(int i) const
{
    const DesktopObject& r = m_aObjects[i];
    const ObjectRuntime& s = m_aRuntime[i];
    if (i == 0)
        return { true, r.rcObject, {}, m_pDDSTile ? m_pDDSTile : s.pUp, nullptr, std::nullopt };
    if (!s.bVisible)
        return {};
    // As the composition picks them.
    IDirectDrawSurface* pImage = s.nState == 3 && s.pDown ? s.pDown : s.nState == 2 && s.pMouse ? s.pMouse : s.pUp;
    IDirectDrawSurface* pCaption = (s.nState == 3 || s.nState == 2) && s.pTextHot ? s.pTextHot : s.pText;
    return { true, r.rcObject, r.rcText, pImage, pCaption, m_bLocked ? std::nullopt : PlaceholderRect(i) };
}

// The parts of the screen whose look differs from the last presented frame
// (empty when none does), or nothing when the whole frame is to be drawn.
std::optional<std::vector<RECT>> CDesktopApp::ChangedAreas() const
{
    if (!m_pClipper || !m_bShownValid || m_nShown != m_nObjects || !(LookOf(0) == m_aShown[0]))
        return std::nullopt;
    std::vector<RECT> areas;
    const auto add = [&](const RECT& r) {
        RECT part = Intersect(r, m_rcScreen);
        if (IsEmpty(part))
            return;
        // Overlapping parts become one.
        for (auto it = areas.begin(); it != areas.end();) {
            if (!IsEmpty(Intersect(*it, part))) {
                part = Bounds(*it, part);
                it = areas.erase(it);
                it = areas.begin();
            } else {
                ++it;
            }
        }
        areas.push_back(part);
    };
    for (int i = 1; i < m_nObjects; ++i) {
        const ObjectLook now = LookOf(i);
        // Clipping draws part of a surface one pixel to one pixel; a stretched
        // one is drawn whole.
        if (!FitsItsRect(now.pImage, now.rcImage) || !FitsItsRect(now.pCaption, now.rcText))
            return std::nullopt;
        const ObjectLook& before = m_aShown[i];
        if (now == before)
            continue;
        for (const ObjectLook* look : { &before, &now }) {
            if (!look->bShown)
                continue;
            if (look->pImage)
                add(look->rcImage);
            if (look->pCaption)
                add(look->rcText);
            if (look->rcPlaceholder)
                add(*look->rcPlaceholder);
        }
    }
    const bool bHighlight = m_bRubberBand || m_bShowSelection;
    if (bHighlight != m_bShownHighlight || (bHighlight && !(m_rcHighlight == m_rcShownHighlight))) {
        if (m_bShownHighlight)
            for (const RECT& band : Bands(m_rcShownHighlight))
                add(band);
        if (bHighlight)
            for (const RECT& band : Bands(m_rcHighlight))
                add(band);
    }
    RECT rcFocus {};
    const bool bFocus = FocusFrame(rcFocus);
    if (bFocus != m_bShownFocus || (bFocus && !(rcFocus == m_rcShownFocus))) {
        if (m_bShownFocus)
            for (const RECT& band : Bands(m_rcShownFocus))
                add(band);
        if (bFocus)
            for (const RECT& band : Bands(rcFocus))
                add(band);
    }
    // Past half the screen a whole frame costs about the same.
    LONGLONG changed = 0;
    for (const RECT& area : areas)
        changed += Area(area);
    if (changed > Area(m_rcScreen) / 2)
        return std::nullopt;
    return areas;
}

void CDesktopApp::RememberShownLook()
{
    m_nShown = m_nObjects;
    for (int i = 0; i < m_nObjects; ++i)
        m_aShown[i] = LookOf(i);
    m_bShownHighlight = m_bRubberBand || m_bShowSelection;
    m_rcShownHighlight = m_rcHighlight;
    m_bShownFocus = FocusFrame(m_rcShownFocus);
    m_bShownValid = true;
}

void CDesktopApp::ComposeScene()
{
    // A pointer step asks for a frame of what changed; anything else for the
    // whole of it.
    const bool bPartial = m_bPartialFrame;
    m_bPartialFrame = FALSE;

    // A focus whose object went (deleted, hidden, the desktop replaced) goes too.
    if (const int f = m_nFocusObject; f != 0 && (f >= m_nObjects || f != m_nHoverObject || !m_aRuntime[f].bVisible))
        m_nFocusObject = 0;
    RECT rcFocus {};

    // Paints can arrive before the display exists.
    if (!m_pDDSBack || !m_pDDSPrimary)
        return;

    // Apply a pending drag once per composition, before drawing. Once applied
    // it is spent: a composition for any other reason (a paint during the
    // drag) must not move the objects again.
    if (m_bDragImage || m_bDragText) {
        if (ClampDragOffset()) {
            for (int i = 1; i < m_nObjects; ++i) {
                if (m_aRuntime[i].bSelected)
                    OffsetObject(i);
            }
        }
        m_sizeDrag = SIZE {};
    }

    m_ddbltfx.dwSize = DDBLTFX_SIZE;
    for (;;) {
        // Each step below draws all of the screen, or each changed area.
        std::optional<std::vector<RECT>> changed;
        if (bPartial)
            changed = ChangedAreas();
        if (changed && changed->empty())
            return; // nothing to draw
        std::vector<const RECT*> areas { nullptr };
        if (changed) {
            areas.clear();
            for (const RECT& area : *changed)
                areas.push_back(&area);
        }

        // Background, then the objects in drawing order.
        for (int i = 0; i < m_nObjects; ++i) {
            DesktopObject& r = m_aObjects[i];
            ObjectRuntime& s = m_aRuntime[i];
            if (i == 0) {
                // No image, or one smaller than the screen: something must
                // show around it.
                const bool bUncovered = r.rcObject.right < m_cxScreen || r.rcObject.bottom < m_cyScreen || !s.pUp;
                const bool bDrawTile = bUncovered && m_bTile;
                // Without a tile surface (it could not be made) the image stays
                // untiled. The tile covers the whole screen, so the fill and the
                // image under it would never show and are not drawn.
                const bool bTiled = bDrawTile && s.pUp && m_pDDSTile;
                // A picture with its own transparency (and its tile) is
                // blended over the colour, which shows through it.
                const BOOL bAlpha = DDHasAlpha(bTiled ? m_pDDSTile : s.pUp);
                const DWORD dwImageBlt = bAlpha ? DDBLT_ALPHASRC : 0;
                for (const RECT* area : areas) {
                    if ((bUncovered && !bTiled) || bAlpha) {
                        m_ddbltfx.dwFillColor = m_dwBackPixel;
                        m_pDDSBack->Blt(const_cast<RECT*>(area), nullptr, nullptr, DDBLT_COLORFILL, &m_ddbltfx);
                    }
                    if (bTiled)
                        Draw(m_pDDSBack, m_rcScreen, m_pDDSTile, dwImageBlt, area);
                    else if (s.pUp)
                        Draw(m_pDDSBack, r.rcObject, s.pUp, dwImageBlt, area);
                }
                continue;
            }
            if (!s.bVisible)
                continue;

            // Missing Down or Mouse images fall back to the Up image.
            IDirectDrawSurface* pImage = nullptr;
            if (s.nState == 3 && s.pDown)
                pImage = s.pDown;
            else if (s.nState == 2 && s.pMouse)
                pImage = s.pMouse;
            else
                pImage = s.pUp;
            IDirectDrawSurface* pCaption = nullptr;
            if ((s.nState == 3 || s.nState == 2) && s.pTextHot)
                pCaption = s.pTextHot;
            else
                pCaption = s.pText;
            // Pictures with their own transparency are blended over what lies
            // under them; the others keep the colour key.
            const DWORD dwImageBlt = DDHasAlpha(pImage) ? DDBLT_ALPHASRC : DDBLT_KEYSRC;
            // Areas do not overlap, so each layer can go over all of them.
            for (const RECT* area : areas) {
                if (pImage)
                    Draw(m_pDDSBack, r.rcObject, pImage, dwImageBlt, area);
            }
            // Unlocked, a missing picture is never an invisible object.
            if (const std::optional<RECT> rc = PlaceholderRect(i); rc && !m_bLocked)
                DrawPlaceholder(i, *rc, areas);
            for (const RECT* area : areas) {
                if (pCaption)
                    Draw(m_pDDSBack, r.rcText, pCaption, DDBLT_KEYSRC, area);
            }
        }

        if (FocusFrame(rcFocus)) {
            DWORD dwBlack = 0;
            DWORD dwWhite = 0xFFFFFF;
            if (m_pDDSColor) {
                dwBlack = DDColorMatch(m_pDDSColor, RGB(0, 0, 0));
                dwWhite = DDColorMatch(m_pDDSColor, RGB(255, 255, 255));
            }
            for (const RECT* area : areas)
                DrawDottedFrame(m_pDDSBack, rcFocus, m_rcScreen, dwBlack, dwWhite, area);
        }

        // Highlight frame: top, bottom, left, right bands.
        if (m_bRubberBand || m_bShowSelection) {
            m_ddbltfx.dwFillColor = kHighlightPixel;
            for (RECT band : Bands(m_rcHighlight)) {
                for (const RECT* area : areas) {
                    RECT part = area ? Intersect(band, *area) : band;
                    if (!area || !IsEmpty(part))
                        m_pDDSBack->Blt(&part, nullptr, nullptr, DDBLT_COLORFILL, &m_ddbltfx);
                }
            }
        }

        // Present: only the changed areas reach the window.
        if (changed)
            m_pClipper->SetClipList(changed->data(), DWORD(changed->size()));
        const HRESULT hr = m_pDDSPrimary->Blt(&m_rcScreen, m_pDDSBack, nullptr, DDBLT_WAIT, nullptr);
        if (changed)
            m_pClipper->SetClipList(nullptr, 0);
        if (hr == DD_OK) {
            RememberShownLook();
            AnnounceAccessibleChanges();
            if (m_bSplashPending)
                ShowSplash();
            return;
        }
        m_bShownValid = false;
        if (hr == DDERR_SURFACELOST) {
            // The next composition shows the frame.
            RestoreSurfaces();
            return;
        }
        if (hr != DDERR_WASSTILLDRAWING)
            return;
        // Still drawing: compose and present again, without a second drag step.
    }
}

void CDesktopApp::UpdateTileSurface()
{
    const DesktopObject& r = m_aObjects[0];
    const bool bNeeded = r.strUpImage.Compare(" ") >= 0
        && (r.rcObject.right < m_cxScreen || r.rcObject.bottom < m_cyScreen) && m_bTile && m_aRuntime[0].pUp;
    if (bNeeded)
        BuildTileSurface();
    else
        ReleaseTileSurface();
}

void CDesktopApp::ReleaseTileSurface()
{
    if (m_pDDSTile) {
        m_pDDSTile->Release();
        m_pDDSTile = nullptr;
    }
}

void CDesktopApp::BuildTileSurface()
{
    // A picture with its own transparency is tiled into a surface that keeps
    // it, so that the background colour shows through whatever it is now.
    IDirectDrawSurface* pImage = m_aRuntime[0].pUp;
    const BOOL bAlpha = DDHasAlpha(pImage);
    if (m_pDDSTile && DDHasAlpha(m_pDDSTile) != bAlpha)
        ReleaseTileSurface();
    if (!m_pDDSTile) {
        m_ddsd.dwSize = DDSURFACEDESC_SIZE;
        m_ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | (bAlpha ? DDSD_PIXELFORMAT : 0);
        if (bAlpha)
            m_ddsd.ddpfPixelFormat = PremultipliedAlphaFormat();
        m_ddsd.dwWidth = DWORD(m_cxScreen);
        m_ddsd.dwHeight = DWORD(m_cyScreen);
        m_ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        if (m_pDD->CreateSurface(&m_ddsd, &m_pDDSTile, nullptr) != DD_OK) {
            m_pDDSTile = nullptr;
            AfxMessageBox("fail:CreateSurface");
            return;
        }
    }

    // Tile the background image from the screen origin; edge cells are cut.
    const RECT& rcImage = m_aObjects[0].rcObject;
    // An empty image has nothing to tile (and would divide by zero). A side
    // longer than the screen's is one cell cut at the edge.
    if (!pImage || RectWidth(rcImage) <= 0 || RectHeight(rcImage) <= 0)
        return;
    const LONG w = LONG(std::min<LONGLONG>(RectWidth(rcImage), m_cxScreen));
    const LONG h = LONG(std::min<LONGLONG>(RectHeight(rcImage), m_cyScreen));
    const LONG nCols = m_cxScreen / w;
    const LONG nRows = m_cyScreen / h;
    const LONG cxPart = m_cxScreen - nCols * w;
    const LONG cyPart = m_cyScreen - nRows * h;

    // Full rows, each ending in its partial cell.
    for (LONG row = 0; row < nRows; ++row) {
        const LONG y = row * h;
        for (LONG col = 0; col < nCols; ++col) {
            RECT dest = { col * w, y, col * w + w, y + h };
            RECT source = { 0, 0, w, h };
            m_pDDSTile->Blt(&dest, pImage, &source, 0, nullptr);
        }
        RECT dest = { nCols * w, y, m_cxScreen, y + h };
        RECT source = { 0, 0, cxPart, h };
        m_pDDSTile->Blt(&dest, pImage, &source, 0, nullptr);
    }

    // The partial bottom row, then the corner piece.
    const LONG y = nRows * h;
    for (LONG col = 0; col < nCols; ++col) {
        RECT dest = { col * w, y, col * w + w, m_cyScreen };
        RECT source = { 0, 0, w, cyPart };
        m_pDDSTile->Blt(&dest, pImage, &source, 0, nullptr);
    }
    RECT dest = { nCols * w, y, m_cxScreen, m_cyScreen };
    RECT source = { 0, 0, cxPart, cyPart };
    m_pDDSTile->Blt(&dest, pImage, &source, 0, nullptr);
}
