#include "app/DesktopApp.h"
#include "platform/CMenu.h"
#include "res/resource.h"
#include "window/MainFrame.h"

// Mouse and keyboard.

namespace {

// All four edges belong to the rectangle.
bool Contains(const RECT& rc, POINT pt)
{
    return pt.x >= rc.left && pt.x <= rc.right && pt.y >= rc.top && pt.y <= rc.bottom;
}

// Inverted rectangles hold nothing, so they lie within nothing and grow nothing.
bool IsInverted(const RECT& rc)
{
    return rc.right < rc.left || rc.bottom < rc.top;
}

bool LiesWithin(const RECT& rc, const RECT& band)
{
    return !IsInverted(rc) && rc.left >= band.left && rc.top >= band.top && rc.right <= band.right
        && rc.bottom <= band.bottom;
}

void Grow(RECT& rc, const RECT& r)
{
    if (IsInverted(r))
        return;
    if (r.left <= rc.left)
        rc.left = r.left;
    if (r.top <= rc.top)
        rc.top = r.top;
    if (r.right >= rc.right)
        rc.right = r.right;
    if (r.bottom >= rc.bottom)
        rc.bottom = r.bottom;
}

enum class HitPurpose { Hover, Press, DragStart, ContextMenu };

struct Hit {
    int nObject = 0; // 0: nothing hit
    bool bCaption = false;
};

// From the top of the drawing order down; an object's caption before its image.
Hit HitTest(const CDesktopApp& app, POINT pt, HitPurpose purpose)
{
    for (int i = app.m_nObjects - 1; i >= 1; --i) {
        const DesktopObject& obj = app.m_aObjects[i];
        const ObjectRuntime& rt = app.m_aRuntime[i];
        bool caption = Contains(obj.rcText, pt);
        // Where nothing shows, nothing is hit: no picture, or locked and
        // only a placeholder.
        const std::optional<RECT> area = app.ImageArea(i);
        bool image = area && Contains(*area, pt);
        switch (purpose) {
        case HitPurpose::Hover:
            caption = caption && rt.bVisible && rt.pTextHot;
            image = image && rt.bVisible && rt.pUp;
            break;
        case HitPurpose::Press:
            // A hidden object's image still takes the press.
            caption = caption && rt.bVisible;
            break;
        case HitPurpose::DragStart:
            caption = caption && rt.bVisible;
            image = image && rt.bVisible;
            break;
        case HitPurpose::ContextMenu:
            break;
        }
        if (caption)
            return { i, true };
        if (image)
            return { i, false };
    }
    return {};
}

}

void CMainFrame::CalcSelectionRect()
{
    CDesktopApp* app = DesktopApp();
    RECT& rc = app->m_rcSelection;

    // 1. Inverted, so that the first rectangle grown by replaces it.
    rc = { app->m_cxDesktop, app->m_cyDesktop, 0, 0 };

    // 2.
    if ((app->m_bDragImage || app->m_bShowSelection) && app->m_nObjects > 1) {
        for (int i = 1; i < app->m_nObjects; ++i) {
            const ObjectRuntime& rt = app->m_aRuntime[i];
            if (!rt.bSelected)
                continue;
            if (const std::optional<RECT> area = app->ImageArea(i))
                Grow(rc, *area);
            if (rt.pTextHot)
                Grow(rc, app->m_aObjects[i].rcText);
        }
    }

    // 3. A caption drag moves captions only.
    if (app->m_bDragText && app->m_nObjects > 1) {
        for (int i = 1; i < app->m_nObjects; ++i) {
            const ObjectRuntime& rt = app->m_aRuntime[i];
            if (rt.bSelected && rt.pTextHot)
                Grow(rc, app->m_aObjects[i].rcText);
        }
    }
}

void CMainFrame::SelectObjectsInBand()
{
    CDesktopApp* app = DesktopApp();
    const RECT& band = app->m_rcHighlight;
    bool bAny = false;

    for (int i = 1; i < app->m_nObjects; ++i) {
        const DesktopObject& obj = app->m_aObjects[i];
        ObjectRuntime& rt = app->m_aRuntime[i];
        if (!rt.bVisible)
            continue;
        // A placeholder counts as the image; an object that shows none has
        // an image bottom of 0.
        const std::optional<RECT> area = app->ImageArea(i);
        const LONG nImageBottom = area ? area->bottom : 0;
        if (area && LiesWithin(*area, band) && nImageBottom != 0) {
            rt.bSelected = TRUE;
            bAny = true;
        }
        // An object without an image is selected by its caption.
        if (LiesWithin(obj.rcText, band) && obj.rcText.bottom != 0 && nImageBottom == 0) {
            rt.bSelected = TRUE;
            bAny = true;
        }
    }

    if (bAny) {
        CalcSelectionRect();
        app->m_rcHighlight = app->m_rcSelection;
    } else {
        app->m_bShowSelection = FALSE;
        ClearSelection();
    }
}

void CMainFrame::ClearSelection()
{
    CDesktopApp* app = DesktopApp();
    for (int i = 1; i < app->m_nObjects; ++i)
        app->m_aRuntime[i].bSelected = FALSE;
}

namespace {

// What hover tracking can change on the screen: the hovered object's state
// and whether the object it activates shows.
struct HoverLook {
    int nObject = 0;
    int nState = 0;
    BYTE bTargetVisible = 0;
    bool operator==(const HoverLook&) const = default;
};

HoverLook HoverLookOf(const CDesktopApp& app)
{
    const int h = app.m_nHoverObject;
    if (h == 0)
        return {};
    const ObjectRuntime& rt = app.m_aRuntime[h];
    return { h, rt.nState, rt.nActivates != 0 ? app.m_aRuntime[rt.nActivates].bVisible : BYTE(0) };
}

} // namespace

void CMainFrame::OnMouseMove(UINT nFlags, POINT point)
{
    CDesktopApp* app = DesktopApp();
    bool bRedraw = false;

    if (app->m_bRubberBand) {
        // 1.
        const RECT before = app->m_rcHighlight;
        const POINT start = app->m_ptRubberStart;
        RECT& band = app->m_rcHighlight;
        if (point.x > start.x) {
            band.left = start.x;
            band.right = point.x;
        } else {
            band.left = point.x;
            band.right = start.x;
        }
        if (point.y > start.y) {
            band.top = start.y;
            band.bottom = point.y;
        } else {
            band.top = point.y;
            band.bottom = start.y;
        }
        bRedraw = band != before;
    } else if (app->m_bDragImage || app->m_bDragText) {
        // 2. The next composition applies and clamps the offset; an offset
        // of nothing moves nothing.
        app->m_sizeDrag
            = { ClampLong(LONGLONG(point.x) - app->m_ptLast.x), ClampLong(LONGLONG(point.y) - app->m_ptLast.y) };
        app->m_ptLast = point;
        bRedraw = app->m_sizeDrag.cx != 0 || app->m_sizeDrag.cy != 0;
    } else if (app->m_nPressedImage != 0) {
        // 3.
        const int p = app->m_nPressedImage;
        ObjectRuntime& rt = app->m_aRuntime[p];
        const bool bInside = Contains(app->m_aObjects[p].rcText, point) || Contains(app->m_aObjects[p].rcObject, point);
        if (bInside) {
            if (rt.nState == 1) {
                rt.nState = 3;
                bRedraw = true;
            }
        } else if (rt.nState == 3) {
            // The press is given up for good.
            rt.nState = 1;
            app->m_nPressedImage = 0;
            bRedraw = true;
        }
    } else {
        // 4. Hover tracking, from scratch on every move. A move within the
        // hovered object ends where it began and draws nothing.
        const int nPressedText = app->m_nPressedText;
        app->m_nPressedText = 0;
        const HoverLook before = HoverLookOf(*app);

        if (const int h = app->m_nHoverObject; h != 0) {
            app->m_aRuntime[h].nState = 1;
            if (const int a = app->m_aRuntime[h].nActivates; a != 0)
                app->m_aRuntime[a].bVisible = FALSE;
            app->m_nHoverObject = 0;
            bRedraw = true;
        }

        if (const Hit hit = HitTest(*app, point, HitPurpose::Hover); hit.nObject != 0) {
            const int i = hit.nObject;
            app->m_nHoverObject = i;
            if (const int a = app->m_aRuntime[i].nActivates; a != 0)
                app->m_aRuntime[a].bVisible = TRUE;
            app->m_aRuntime[i].nState = 2;
            bRedraw = true;
            // A caption press follows the caption under the pointer.
            if (hit.bCaption && nPressedText != 0)
                app->m_nPressedText = i;
        }
        if (HoverLookOf(*app) == before)
            bRedraw = false;
    }

    // Only what this step changed is drawn.
    if (bRedraw) {
        app->m_bPartialFrame = TRUE;
        app->ComposeScene();
    }
    CFrameWnd::OnMouseMove(nFlags, point);
}

void CMainFrame::OnLButtonDown(UINT nFlags, POINT point)
{
    CDesktopApp* app = DesktopApp();

    // 1.
    const Hit hit = HitTest(*app, point, app->m_bLocked ? HitPurpose::Press : HitPurpose::DragStart);
    const int i = hit.nObject;

    if (i != 0 && app->m_bLocked) {
        // 2. and 3.
        if (hit.bCaption) {
            app->m_nPressedText = i;
            app->m_aRuntime[i].nState = 3;
        } else {
            app->m_aRuntime[i].nState = 3;
            app->m_nPressedImage = i;
        }
        app->m_bPartialFrame = TRUE;
        app->ComposeScene();
    } else if (i != 0) {
        // 4. and 5. The pressed object joins whatever is selected already.
        app->m_aRuntime[i].bSelected = TRUE;
        app->m_ptLast = point;
        if (hit.bCaption)
            app->m_bDragText = TRUE;
        else
            app->m_bDragImage = TRUE;
        CalcSelectionRect();
        if (app->m_bShowSelection)
            app->m_rcHighlight = app->m_rcSelection;
    } else {
        // 6.
        if (app->m_bDragImage) {
            app->m_bDragImage = FALSE;
            ClearSelection();
        } else if (app->m_bDragText) {
            app->m_bDragText = FALSE;
            ClearSelection();
        }
        if (!app->m_bLocked) {
            app->m_bRubberBand = TRUE;
            app->m_ptRubberStart = point;
            app->m_rcHighlight = { point.x, point.y, point.x, point.y };
        }
    }

    CFrameWnd::OnLButtonDown(nFlags, point);
}

void CMainFrame::OnLButtonUp(UINT nFlags, POINT point)
{
    CDesktopApp* app = DesktopApp();
    bool bRedraw = false;

    // 1.
    if (app->m_bShowSelection) {
        app->m_bShowSelection = FALSE;
        ClearSelection();
        bRedraw = true;
    }
    // 2. and 3. The last move already showed the objects in place; the
    // completed drag is one step to undo.
    if (app->m_bDragImage || app->m_bDragText)
        app->m_history.RecordEdit(*app);
    if (app->m_bDragImage) {
        app->m_bDragImage = FALSE;
        ClearSelection();
    }
    if (app->m_bDragText) {
        app->m_bDragText = FALSE;
        ClearSelection();
    }
    // 4.
    if (const int p = app->m_nPressedImage; p != 0) {
        app->m_aRuntime[p].nState = 2;
        app->m_nPressedImage = 0;
        bRedraw = true;
    }
    // 5.
    if (const int p = app->m_nPressedText; p != 0) {
        app->m_aRuntime[p].nState = 2;
        app->m_nPressedText = 0;
        bRedraw = true;
    }
    // 6.
    if (app->m_bRubberBand) {
        app->m_bRubberBand = FALSE;
        app->m_bShowSelection = TRUE;
        SelectObjectsInBand();
        bRedraw = true;
    }

    // 7.
    // Only what this step changed is drawn.
    if (bRedraw) {
        app->m_bPartialFrame = TRUE;
        app->ComposeScene();
    }
    CFrameWnd::OnLButtonUp(nFlags, point);
}

void CMainFrame::OnRButtonDown(UINT nFlags, POINT point)
{
    CDesktopApp* app = DesktopApp();

    // 1. The selection frame goes before the menu shows.
    if (app->m_bShowSelection || app->m_bRubberBand) {
        app->m_bShowSelection = FALSE;
        ClearSelection();
        app->m_bRubberBand = FALSE;
        app->ComposeScene();
    }

    // 2. Hidden objects can be the subject too.
    app->m_nCurObject = HitTest(*app, point, HitPurpose::ContextMenu).nObject;

    // 3.
    const BOOL bHit = app->m_nCurObject != 0 ? TRUE : FALSE;
    m_bCanInsert = TRUE;
    m_bCanCopy = bHit;
    m_bCanDelete = bHit;
    m_bCanOrder = bHit;

    // 4.
    app->m_ptContext = point;

    // 5.
    CMenu menu;
    menu.LoadMenu(IDR_OBJECT_MENU);
    CMenu* pPopup = menu.GetSubMenu(0);
    POINT ptScreen = point;
    ClientToScreen(&ptScreen);
    pPopup->TrackPopupMenu(TPM_RIGHTBUTTON, ptScreen.x, ptScreen.y, this);

    // 6.
    CFrameWnd::OnRButtonDown(nFlags, point);
    menu.DestroyMenu();
    FollowPointer();
}

void CMainFrame::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_F12)
        PostMessage(WM_CLOSE);
    else if (nChar == VK_F2)
        DesktopApp()->ComposeScene();
    else if (nChar == 'Z' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) < 0)
        OnEditRedo();
    else if (nChar == 'Z' && GetKeyState(VK_CONTROL) < 0)
        OnEditUndo();
    else if (nChar == 'Y' && GetKeyState(VK_CONTROL) < 0)
        OnEditRedo();
    CFrameWnd::OnKeyDown(nChar, nRepCnt, nFlags);
}

// Undo and redo wait for a drag or rubber band to end; an empty side does nothing.
void CMainFrame::OnEditUndo()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_bDragImage || app->m_bDragText || app->m_bRubberBand)
        return;
    if (app->m_history.Undo(*app))
        app->ComposeScene();
}

void CMainFrame::OnEditRedo()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_bDragImage || app->m_bDragText || app->m_bRubberBand)
        return;
    if (app->m_history.Redo(*app))
        app->ComposeScene();
}
