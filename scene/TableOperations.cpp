#include "app/DesktopApp.h"

#include <algorithm>

// Drag movement, Mouse Activate links and visibility.

void CDesktopApp::OffsetObject(int i)
{
    DesktopObject& r = m_aObjects[i];
    const ObjectRuntime& s = m_aRuntime[i];
    const LONG dx = m_sizeDrag.cx;
    const LONG dy = m_sizeDrag.cy;

    // The image moves only with an image drag, and only when there is one.
    if (m_bDragImage && s.pUp) {
        r.rcObject.left += dx;
        r.rcObject.top += dy;
        r.rcObject.right += dx;
        r.rcObject.bottom += dy;
    }
    // The caption moves with either drag.
    if ((m_bDragImage || m_bDragText) && s.pTextHot) {
        r.rcText.left += dx;
        r.rcText.top += dy;
        r.rcText.right += dx;
        r.rcText.bottom += dy;
    }
}

BOOL CDesktopApp::ClampDragOffset()
{
    const RECT s = m_rcSelection;
    LONG dx = m_sizeDrag.cx;
    LONG dy = m_sizeDrag.cy;

    RECT n = { s.left + dx, s.top + dy, s.right + dx, s.bottom + dy };

    // Left and top edges first, so a selection wider or taller than the
    // desktop stays pinned there: pulled back from the far edge it would
    // cross the near one, and the next composition would push it back.
    if (n.left < 0)
        dx = -s.left;
    else if (n.right > m_cxDesktop)
        dx = std::max(m_cxDesktop - s.right, -s.left);
    if (n.top < 0)
        dy = -s.top;
    else if (n.bottom > m_cyDesktop)
        dy = std::max(m_cyDesktop - s.bottom, -s.top);
    n = { s.left + dx, s.top + dy, s.right + dx, s.bottom + dy };

    m_sizeDrag.cx = dx;
    m_sizeDrag.cy = dy;
    m_rcSelection = n;
    if (m_bShowSelection)
        m_rcHighlight = n;

    return TRUE;
}

void CDesktopApp::ResolveActivationLinks()
{
    for (int i = 1; i < m_nObjects; ++i) {
        m_aRuntime[i].nActivates = 0;
        // Empty or blank means no link, as in the properties dialog; else an
        // unnamed object would be the target of every unlinked one.
        if (m_aObjects[i].strActivate.Compare(" ") <= 0)
            continue;
        // The first object of that exact name; the target starts hidden.
        for (int j = 1; j < m_nObjects; ++j) {
            if (m_aObjects[i].strActivate == m_aObjects[j].strName) {
                m_aRuntime[i].nActivates = j;
                m_aObjects[j].bVisible = FALSE;
                break;
            }
        }
    }
}

void CDesktopApp::ApplyVisibility()
{
    for (int i = 1; i < m_nObjects; ++i)
        m_aRuntime[i].bVisible = m_aObjects[i].bVisible ? TRUE : FALSE;
}
