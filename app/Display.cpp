#include "app/DesktopApp.h"

#include "bitmaps/DDUtil.h"
#include "platform/MessageBox.h"
#include "platform/Pictures.h"
#include "platform/Screen.h"

BOOL CDesktopApp::CreateDisplay(HWND window)
{
    if (DirectDrawCreate(nullptr, &m_pDD, nullptr) != DD_OK) {
        AfxMessageBox("fail:DirectDrawCreate");
        return FailDirectDrawInit();
    }

    m_pDD->SetCooperativeLevel(window, DDSCL_NORMAL);

    m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    m_ddsd.dwFlags = DDSD_CAPS;
    m_ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (m_pDD->CreateSurface(&m_ddsd, &m_pDDSPrimary, nullptr) != DD_OK) {
        AfxMessageBox("fail:CreateSurface");
        return FailDirectDrawInit();
    }

    m_ddsd.dwWidth = DWORD(m_cxScreen);
    m_ddsd.dwHeight = DWORD(m_cyScreen);
    m_ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    m_ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (m_pDD->CreateSurface(&m_ddsd, &m_pDDSBack, nullptr) != DD_OK) {
        AfxMessageBox("fail:CreateSurface");
        return FailDirectDrawInit();
    }

    if (m_pDD->CreateClipper(0, &m_pClipper, nullptr) != DD_OK) {
        AfxMessageBox("fail:CreateClipper");
        return FailDirectDrawInit();
    }

    if (m_pClipper->SetHWnd(0, window) != DD_OK) {
        AfxMessageBox("fail:SetHwnd");
        return FailDirectDrawInit();
    }

    if (m_pDDSPrimary->SetClipper(m_pClipper) != DD_OK) {
        AfxMessageBox("fail:SetClipper");
        return FailDirectDrawInit();
    }
    return TRUE;
}

BOOL CDesktopApp::RecreateDisplay(HWND window, const RECT& rcWorkArea)
{
    // 1. Everything made on the old display goes with it.
    ReleaseDirectDraw();

    // 2. The screen's new size.
    m_cxScreen = GetSystemMetrics(SM_CXSCREEN);
    m_cyScreen = GetSystemMetrics(SM_CYSCREEN);
    m_rcScreen = RECT { 0, 0, m_cxScreen, m_cyScreen };

    // 3. The display, its palette and its colour surface, as at start-up.
    if (!CreateDisplay(window))
        return FALSE;
    if (IDirectDrawPalette* pPalette = DDLoadPalette(m_pDD, m_szPalettePath[0] ? m_szPalettePath : nullptr)) {
        m_pDDPal = pPalette;
        m_pDDSPrimary->SetPalette(m_pDDPal);
    }
    CreateColorSurface();

    // 4. Every object, its pictures checked against the new size.
    BeginImageChecks();
    m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    for (int i = 0; i < m_nObjects; i++) {
        LoadObjectImages(i);
        CreateCaptionSurfaces(i);
        SetObjectColorKeys(i);
    }
    UpdateTileSurface();

    // 5. The desktop ends where the new work area does.
    m_cxDesktop = rcWorkArea.right;
    m_cyDesktop = rcWorkArea.bottom;

    // 6. The whole scene, then what did not fit.
    m_bShownValid = false;
    ComposeScene();
    ReportImageChecks();
    return TRUE;
}

BOOL CDesktopApp::FailDirectDrawInit()
{
    ReleaseDirectDraw();
    AfxMessageBox("DirectDraw Init FAILED");
    return FALSE;
}

void CDesktopApp::ReleaseDirectDraw()
{
    if (!m_pDD)
        return;

    if (m_pDDSBack) {
        m_pDDSBack->Release();
        m_pDDSBack = nullptr;
    }
    if (m_pDDSPrimary) {
        m_pDDSPrimary->Release();
        m_pDDSPrimary = nullptr;
    }

    for (int i = 0; i < m_nObjects; ++i) {
        ReleaseObjectImages(i);
        ReleaseCaptionSurfaces(i);
    }

    ReleaseTileSurface();
    ReleaseTextWorkSurface();
    ReleaseColorSurface();

    if (m_pDDPal) {
        m_pDDPal->Release();
        m_pDDPal = nullptr;
    }

    // The clipper goes with the DirectDraw object.
    m_pDD->Release();
    m_pDD = nullptr;
    m_pClipper = nullptr;
}

BOOL CDesktopApp::RestoreSurfaces()
{
    // The window keeps none of the presented frame: the next one is whole.
    m_bShownValid = false;
    if (!m_pDDSPrimary || !m_pDDSBack)
        return FALSE;
    if (m_pDDSPrimary->Restore() != DD_OK)
        return FALSE;
    if (m_pDDSBack->Restore() != DD_OK)
        return FALSE;

    if (m_pDDSTile && m_pDDSTile->Restore() != DD_OK)
        ReleaseTileSurface();
    if (m_pDDSTextWork && m_pDDSTextWork->Restore() != DD_OK)
        ReleaseTextWorkSurface();
    if (m_pDDSColor && m_pDDSColor->Restore() != DD_OK) {
        ReleaseColorSurface();
        // Colour matching in the dialogs needs it: make it again.
        CreateColorSurface();
    }

    for (int i = 0; i < m_nObjects; ++i) {
        const DesktopObject& r = m_aObjects[i];
        ObjectRuntime& s = m_aRuntime[i];
        const std::pair<const CString&, IDirectDrawSurface**> images[] = {
            { r.strUpImage, &s.pUp },
            { r.strDownImage, &s.pDown },
            { r.strMouseImage, &s.pMouse },
        };
        for (const auto& [path, surface] : images) {
            if (path.Compare(" ") > 0 && *surface) {
                // A picture gone since it was loaded leaves its object as a
                // failed load would, and the others are still restored.
                // A reason from an earlier load must not be given for this one.
                SetPictureFailure(PictureFailure::None);
                if ((*surface)->Restore() != DD_OK || DDReloadBitmap(*surface, path) != DD_OK) {
                    (*surface)->Release();
                    *surface = nullptr;
                    AfxMessageBox("Unable to load: " + path + PictureFailureLine());
                }
            }
        }
        if (s.pText || s.pTextHot) {
            ReleaseCaptionSurfaces(i);
            CreateCaptionSurfaces(i);
        }
        SetObjectColorKeys(i);
    }

    UpdateTileSurface();
    return TRUE;
}

void CDesktopApp::CreateColorSurface()
{
    if (!m_pDDSColor) {
        m_ddsd.dwSize = DDSURFACEDESC_SIZE;
        m_ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        m_ddsd.dwWidth = 1;
        m_ddsd.dwHeight = 1;
        m_ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        if (!m_pDD || m_pDD->CreateSurface(&m_ddsd, &m_pDDSColor, nullptr) != DD_OK) {
            AfxMessageBox("fail:CreateColor");
            return;
        }
    }
    m_dwColorKeyPixel = DDColorMatch(m_pDDSColor, kColorKey);
}

void CDesktopApp::ReleaseColorSurface()
{
    if (m_pDDSColor) {
        m_pDDSColor->Release();
        m_pDDSColor = nullptr;
    }
}

void CDesktopApp::ReleaseTextWorkSurface()
{
    if (m_pDDSTextWork) {
        m_pDDSTextWork->Release();
        m_pDDSTextWork = nullptr;
    }
}
