#include "app/DesktopApp.h"

#include <algorithm>

// Drag movement, Mouse Activate links and visibility.

void CDesktopApp::OffsetObject(int i)
{
    DesktopObject& r = m_aObjects[i];
    const ObjectRuntime& s = m_aRuntime[i];
    const LONG dx = m_sizeDrag.cx;
    const LONG dy = m_sizeDrag.cy;

    // The image moves only with an image drag, and only when it shows: its
    // picture, or the placeholder of a missing one.
    if (m_bDragImage && ImageArea(i))
        OffsetRect(&r.rcObject, dx, dy);
    // The caption moves with either drag.
    if ((m_bDragImage || m_bDragText) && s.pTextHot)
        OffsetRect(&r.rcText, dx, dy);
}

BOOL CDesktopApp::ClampDragOffset()
{
    // Wide: the selection can hold any rectangle a file gave.
    const RECT s = m_rcSelection;
    LONGLONG dx = m_sizeDrag.cx;
    LONGLONG dy = m_sizeDrag.cy;

    // Left and top edges first, so a selection wider or taller than the
    // desktop stays pinned there: pulled back from the far edge it would
    // cross the near one, and the next composition would push it back.
    if (s.left + dx < 0)
        dx = -LONGLONG(s.left);
    else if (s.right + dx > m_cxDesktop)
        dx = std::max(LONGLONG(m_cxDesktop) - s.right, -LONGLONG(s.left));
    if (s.top + dy < 0)
        dy = -LONGLONG(s.top);
    else if (s.bottom + dy > m_cyDesktop)
        dy = std::max(LONGLONG(m_cyDesktop) - s.bottom, -LONGLONG(s.top));
    // Nor may anything in it leave the range a RECT holds: a selection as
    // wide as that range cannot move at all.
    dx = std::clamp(dx, LONGLONG(INT32_MIN) - s.left, LONGLONG(INT32_MAX) - s.right);
    dy = std::clamp(dy, LONGLONG(INT32_MIN) - s.top, LONGLONG(INT32_MAX) - s.bottom);

    m_sizeDrag.cx = ClampLong(dx);
    m_sizeDrag.cy = ClampLong(dy);
    RECT n = s;
    OffsetRect(&n, m_sizeDrag.cx, m_sizeDrag.cy);
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
