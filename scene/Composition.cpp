#include "app/DesktopApp.h"
#include "platform/MessageBox.h"

namespace {

// The highlight frame is filled with this raw value; it is not colour-matched.
constexpr DWORD kHighlightPixel = 0xFFFF00;

} // namespace

void CDesktopApp::ComposeScene()
{
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
                if (bUncovered && !bTiled) {
                    m_ddbltfx.dwFillColor = m_dwBackPixel;
                    m_pDDSBack->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &m_ddbltfx);
                }
                if (bTiled)
                    m_pDDSBack->Blt(&m_rcScreen, m_pDDSTile, nullptr, 0, nullptr);
                else if (s.pUp)
                    m_pDDSBack->Blt(&r.rcObject, s.pUp, nullptr, 0, nullptr);
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
            if (pImage)
                m_pDDSBack->Blt(&r.rcObject, pImage, nullptr, DDBLT_KEYSRC, nullptr);

            IDirectDrawSurface* pCaption = nullptr;
            if ((s.nState == 3 || s.nState == 2) && s.pTextHot)
                pCaption = s.pTextHot;
            else
                pCaption = s.pText;
            if (pCaption)
                m_pDDSBack->Blt(&r.rcText, pCaption, nullptr, DDBLT_KEYSRC, nullptr);
        }

        // Highlight frame: top, bottom, left, right bands.
        if (m_bRubberBand || m_bShowSelection) {
            const RECT& h = m_rcHighlight;
            RECT bands[4] = {
                { h.left, h.top, h.right, h.top + 1 },
                { h.left, h.bottom - 1, h.right, h.bottom },
                { h.left, h.top, h.left + 1, h.bottom },
                { h.right - 1, h.top, h.right, h.bottom },
            };
            m_ddbltfx.dwFillColor = kHighlightPixel;
            for (RECT& band : bands)
                m_pDDSBack->Blt(&band, nullptr, nullptr, DDBLT_COLORFILL, &m_ddbltfx);
        }

        // Present.
        const HRESULT hr = m_pDDSPrimary->Blt(&m_rcScreen, m_pDDSBack, nullptr, DDBLT_WAIT, nullptr);
        if (hr == DD_OK) {
            if (m_bSplashPending)
                ShowSplash();
            return;
        }
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
    if (!m_pDDSTile) {
        m_ddsd.dwSize = DDSURFACEDESC_SIZE;
        m_ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
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
    IDirectDrawSurface* pImage = m_aRuntime[0].pUp;
    const RECT& rcImage = m_aObjects[0].rcObject;
    const LONG w = rcImage.right - rcImage.left;
    const LONG h = rcImage.bottom - rcImage.top;
    // An empty image has nothing to tile (and would divide by zero).
    if (!pImage || w <= 0 || h <= 0)
        return;
    const LONG nCols = m_cxScreen / w;
    const LONG nRows = m_cyScreen / h;
    const LONG cxPart = m_cxScreen - nCols * w;
    const LONG cyPart = m_cyScreen - nRows * h;

    // Full rows, each ending in its partial cell.
    for (LONG row = 0; row < nRows; ++row) {
        const LONG y = row * h;
        for (LONG col = 0; col < nCols; ++col) {
            RECT dest = { col * w, y, col * w + w, y + h };
            m_pDDSTile->Blt(&dest, pImage, nullptr, 0, nullptr);
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
