#include "app/DesktopApp.h"
#include "bitmaps/DDUtil.h"
#include "platform/MessageBox.h"
#include "platform/Pictures.h"

#include <cstdio>

namespace {

CString ImageTooLargeMessage(const CString& strImage)
{
    return "Image dimensions exceed screen margins\nrelative to "
           "position:\n\n"
        + strImage + "\n\nPlease check display and image dimensions.";
}

} // namespace

void CDesktopApp::SetObjectColorKeys(int i)
{
    ObjectRuntime& s = m_aRuntime[i];
    for (IDirectDrawSurface* surface : { s.pUp, s.pDown, s.pMouse, s.pText, s.pTextHot }) {
        // A picture with its own transparency is blended, not keyed: matching
        // the key on it would disturb its first pixel's alpha.
        if (surface && !DDHasAlpha(surface))
            DDSetColorKey(surface, kColorKey);
    }
}

void CDesktopApp::LoadObjectImages(int i)
{
    DesktopObject& r = m_aObjects[i];
    ObjectRuntime& s = m_aRuntime[i];

    // Up image; " " means none as well as an empty path.
    if (r.strUpImage.Compare(" ") > 0) {
        s.pUp = DDLoadBitmap(m_pDD, r.strUpImage, 0, 0);
        if (!s.pUp) {
            AfxMessageBox("Unable to load: " + r.strUpImage + PictureFailureLine());
        } else {
            m_ddsd.dwSize = DDSURFACEDESC_SIZE;
            s.pUp->GetSurfaceDesc(&m_ddsd);
            // A position from a file can lie at the end of the range: the
            // edge stops there, and the screen check below refuses it.
            r.rcObject.right = ClampLong(LONGLONG(r.rcObject.left) + m_ddsd.dwWidth);
            r.rcObject.bottom = ClampLong(LONGLONG(r.rcObject.top) + m_ddsd.dwHeight);

            // The image must lie within the full display at its position;
            // a larger background is drawn from the origin and cut.
            if (i != 0
                && !(r.rcObject.left <= m_cxScreen && r.rcObject.top <= m_cyScreen && r.rcObject.right <= m_cxScreen
                    && r.rcObject.bottom <= m_cyScreen)) {
                // Kept for one message when a whole desktop is being built.
                if (!m_bCollectRefusals)
                    AfxMessageBox(ImageTooLargeMessage(r.strUpImage));
                else if (m_nRefusedImages++ == 0)
                    m_strFirstRefused = r.strUpImage;
                s.pUp->Release();
                s.pUp = nullptr;
            }
        }
    }

    // Down image: drawn into the Up image's rectangle, so no size check.
    if (!r.strDownImage.IsEmpty()) {
        s.pDown = DDLoadBitmap(m_pDD, r.strDownImage, 0, 0);
        if (!s.pDown)
            AfxMessageBox("Unable to load: " + r.strDownImage + PictureFailureLine());
    }

    // Mouse image, likewise.
    if (!r.strMouseImage.IsEmpty()) {
        s.pMouse = DDLoadBitmap(m_pDD, r.strMouseImage, 0, 0);
        if (!s.pMouse)
            AfxMessageBox("Unable to load: " + r.strMouseImage + PictureFailureLine());
    }
}

void CDesktopApp::ReleaseObjectImages(int i)
{
    ObjectRuntime& s = m_aRuntime[i];
    for (IDirectDrawSurface** surface : { &s.pUp, &s.pDown, &s.pMouse }) {
        if (*surface) {
            (*surface)->Release();
            *surface = nullptr;
        }
    }
}

void CDesktopApp::ReleaseCaptionSurfaces(int i)
{
    ObjectRuntime& s = m_aRuntime[i];
    for (IDirectDrawSurface** surface : { &s.pText, &s.pTextHot }) {
        if (*surface) {
            (*surface)->Release();
            *surface = nullptr;
        }
    }
}

void CDesktopApp::BeginImageChecks()
{
    m_bCollectRefusals = TRUE;
    m_nRefusedImages = 0;
    m_strFirstRefused.Empty();
}

// The objects keep their places: they show again once a screen is large
// enough for their pictures.
void CDesktopApp::ReportImageChecks()
{
    m_bCollectRefusals = FALSE;
    if (m_nRefusedImages == 0)
        return;
    CString strMessage = ImageTooLargeMessage(m_strFirstRefused);
    if (m_nRefusedImages > 1) {
        char szOthers[96];
        const int nOthers = m_nRefusedImages - 1;
        std::snprintf(szOthers, sizeof szOthers, "\n\n%d other object%s not fit on this screen either.", nOthers,
            nOthers == 1 ? " does" : "s do");
        strMessage += szOthers;
    }
    m_nRefusedImages = 0;
    m_strFirstRefused.Empty();
    if (m_bReportShown)
        return;
    m_bReportShown = TRUE;
    AfxMessageBox(strMessage);
    m_bReportShown = FALSE;
}
