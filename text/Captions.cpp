#include "app/DesktopApp.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr int kJustifyRight = 1088;
constexpr int kJustifyCenter = 1089;
constexpr int kMaxLineLength = 129;

LONG ToLong(std::int64_t v)
{
    return LONG(std::clamp<std::int64_t>(v, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// Copies the n assembled lines from the back buffer into a W x H caption
// surface, each line placed according to the justification.
void CopyCaptionLines(
    IDirectDrawSurface* back, IDirectDrawSurface* caption, RECT* lines, int n, int nJustify, LONG W, LONG H)
{
    if (nJustify == kJustifyCenter || nJustify == kJustifyRight) {
        for (int j = 0; j < n; ++j) {
            RECT& l = lines[j];
            const LONG w = l.right;
            RECT d = { nJustify == kJustifyCenter ? W / 2 - w / 2 : W - w, l.top, 0, l.bottom };
            d.right = d.left + w;
            caption->Blt(&d, back, &l, 0, nullptr);
        }
        return;
    }
    // Left (and anything else): the block as it stands.
    RECT block = { 0, 0, W, H };
    caption->Blt(&block, back, &block, 0, nullptr);
}

} // namespace

void CDesktopApp::RenderTextLine(CString line, int i, int nLine)
{
    if (nLine < 0 || nLine >= kMaxCaptionLines)
        return;
    const DesktopObject& r = m_aObjects[i];

    if (line.GetLength() > kMaxLineLength)
        line = line.Left(kMaxLineLength);
    if (!line.IsEmpty() && line[line.GetLength() - 1] == '\r')
        line = line.Left(line.GetLength() - 1);

    HFONT font = CreateFontIndirectA(&r.lfFont);

    // The work surface is made once and kept.
    if (!m_pDDSTextWork) {
        m_ddsd.dwSize = DDSURFACEDESC_SIZE;
        m_ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        m_ddsd.dwWidth = DWORD(m_cxScreen);
        m_ddsd.dwHeight = DWORD(m_cyScreen);
        m_ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        if (m_pDD->CreateSurface(&m_ddsd, &m_pDDSTextWork, nullptr) != DD_OK) {
            m_pDDSTextWork = nullptr;
            AfxMessageBox("fail:CreateSurface");
            DeleteObject(font);
            return;
        }
    }

    HDC dc = nullptr;
    if (m_pDDSTextWork->GetDC(&dc) != DD_OK) {
        DeleteObject(font);
        return;
    }

    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, m_crCurrentText);
    SetBkColor(dc, kColorKey);
    SetBkMode(dc, OPAQUE);

    // The whole work surface becomes the key colour, the line at its top left.
    const RECT rcOpaque = { 0, 0, 10000, 10000 };
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rcOpaque, line, UINT(line.GetLength()), nullptr);

    // A line wider than the screen is cut at the screen's width.
    SIZE extent;
    GetTextExtentPointA(dc, line, line.GetLength(), &extent);
    const LONG cx = std::clamp<LONG>(extent.cx, 0, m_cxScreen);
    const LONG cy = std::max<LONG>(extent.cy, 0);
    m_rcLineExtent = { 0, 0, cx, cy };

    if (oldFont)
        SelectObject(dc, oldFont);
    m_pDDSTextWork->ReleaseDC(dc);

    // A line that would reach below the screen cannot be assembled in the back
    // buffer: it is left out, adds no height and copies nothing.
    if (m_cyCaption + cy > m_cyScreen) {
        m_arcCaptionLines[nLine] = { 0, m_cyCaption, 0, m_cyCaption };
        DeleteObject(font);
        return;
    }

    RECT d = { 0, m_cyCaption, cx, m_cyCaption + cy };
    if (cx > m_cxCaption)
        m_cxCaption = cx;

    m_pDDSBack->Blt(&d, m_pDDSTextWork, &m_rcLineExtent, 0, nullptr);

    m_arcCaptionLines[nLine] = d;
    m_cyCaption += cy;

    DeleteObject(font);
}

void CDesktopApp::CreateCaptionSurfaces(int i)
{
    DesktopObject& r = m_aObjects[i];
    ObjectRuntime& s = m_aRuntime[i];

    // Empty, " ", or a first character below the space: no caption.
    if (r.strText.Compare(" ") <= 0) {
        ReleaseCaptionSurfaces(i);
        m_astrCaptionLines.RemoveAll();
        return;
    }

    // Split at LF; a CR before the LF stays with its line (RenderTextLine
    // drops it). Lines past the limit are never drawn, so they are not kept.
    const CString& text = r.strText;
    int start = 0;
    while (m_astrCaptionLines.GetSize() < kMaxCaptionLines) {
        const int lf = text.Find('\n', start);
        if (lf < 0) {
            m_astrCaptionLines.Add(text.Mid(start));
            break;
        }
        m_astrCaptionLines.Add(lf == start ? CString(" ") : text.Mid(start, lf - start));
        start = lf + 1;
        if (start >= text.GetLength())
            break;
    }

    const int n = std::min(m_astrCaptionLines.GetSize(), kMaxCaptionLines);

    // Both caption surfaces are made the same way and filled from the back
    // buffer.
    auto createCaptionSurface = [&](IDirectDrawSurface** surface) {
        m_ddsd.dwSize = DDSURFACEDESC_SIZE;
        m_ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        m_ddsd.dwHeight = DWORD(m_cyCaption);
        m_ddsd.dwWidth = DWORD(m_cxCaption);
        m_ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        if (m_pDD->CreateSurface(&m_ddsd, surface, nullptr) != DD_OK) {
            *surface = nullptr;
            AfxMessageBox("fail:CreateTextSurface");
            m_astrCaptionLines.RemoveAll();
            return false;
        }
        m_ddbltfx.dwSize = DDBLTFX_SIZE;
        m_ddbltfx.dwFillColor = m_dwColorKeyPixel;
        (*surface)->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &m_ddbltfx);
        CopyCaptionLines(m_pDDSBack, *surface, m_arcCaptionLines, n, r.nJustify, m_cxCaption, m_cyCaption);
        return true;
    };

    // One pass per colour, each into a freshly cleared back buffer.
    auto renderPass = [&](COLORREF color) {
        m_ddbltfx.dwSize = DDBLTFX_SIZE;
        m_ddbltfx.dwFillColor = m_dwColorKeyPixel;
        m_pDDSBack->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &m_ddbltfx);
        m_cyCaption = 0;
        m_cxCaption = 0;
        m_crCurrentText = color;
        // A line that cannot be drawn leaves an empty rectangle, not a stale one.
        for (int j = 0; j < n; ++j)
            m_arcCaptionLines[j] = RECT {};
        for (int j = 0; j < n; ++j)
            RenderTextLine(m_astrCaptionLines[j], i, j);
    };

    renderPass(r.crText);

    // No normal caption when it is shown only on mouse over.
    if (!s.pText && !r.bTextOnMouseOver) {
        if (!createCaptionSurface(&s.pText))
            return;
    }

    renderPass(r.crHotText);

    // An existing mouse-over caption means the caption is in place already.
    if (!s.pTextHot) {
        if (!createCaptionSurface(&s.pTextHot))
            return;

        // Place the caption. Rectangles from a file may hold any coordinates:
        // the sums are taken wide, and the caption is kept where its
        // rectangle fits in 32 bits.
        const LONG H = m_cyCaption;
        const LONG W = m_cxCaption;
        RECT& rc = r.rcText;
        const RECT& ro = r.rcObject;
        // All zero means never placed; a caption dragged to an edge of the
        // screen is placed too and stays there when rebuilt.
        if (rc.left != 0 || rc.top != 0 || rc.right != 0 || rc.bottom != 0) {
            // Placed before: keep its vertical centre (an inverted rectangle
            // has no height).
            const std::int64_t height = std::max<std::int64_t>(std::int64_t(rc.bottom) - rc.top, 0);
            rc.top = ToLong(rc.top + height / 2 - H / 2);
            if (rc.top < 0)
                rc.top = 0;
        } else if (ro.right != 0 && ro.bottom != 0) {
            // Beside the image, centred on it.
            rc.top = ToLong(ro.top + (std::int64_t(ro.bottom) - H - ro.top) / 2);
            if (rc.top < 0)
                rc.top = 0;
            rc.left = ToLong(std::int64_t(ro.right) + 2);
        } else {
            // Where the context menu was opened.
            rc.left = m_ptContext.x;
            rc.top = m_ptContext.y;
        }
        rc.left = std::min(rc.left, std::numeric_limits<LONG>::max() - W);
        rc.top = std::min(rc.top, std::numeric_limits<LONG>::max() - H);
        rc.right = rc.left + W;
        rc.bottom = rc.top + H;
    }

    m_astrCaptionLines.RemoveAll();
}
