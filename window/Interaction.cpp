#include "app/DesktopApp.h"
#include "platform/CMenu.h"
#include "platform/Screen.h"
#include "res/resource.h"
#include "window/MainFrame.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

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

// What stands for an object to the keyboard: its image, or its caption when
// it has none.
RECT PictureOf(const CDesktopApp& app, int i)
{
    return app.m_aRuntime[i].pUp ? app.m_aObjects[i].rcObject : app.m_aObjects[i].rcText;
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

// Cuts `area` (all four edges in it) out of rc (right and bottom outside),
// keeping pt and as much of rc as one cut can.
void CutAway(RECT& rc, const RECT& area, POINT pt)
{
    if (IsInverted(area) || area.right < rc.left || area.left >= rc.right || area.bottom < rc.top
        || area.top >= rc.bottom)
        return;
    RECT best {};
    LONGLONG bestSize = 0;
    const auto consider = [&](const RECT& kept) {
        const LONGLONG size = LONGLONG(kept.right - kept.left) * (kept.bottom - kept.top);
        if (size > bestSize)
            best = kept, bestSize = size;
    };
    if (area.right < pt.x)
        consider({ area.right + 1, rc.top, rc.right, rc.bottom });
    if (area.left > pt.x)
        consider({ rc.left, rc.top, area.left, rc.bottom });
    if (area.bottom < pt.y)
        consider({ rc.left, area.bottom + 1, rc.right, rc.bottom });
    if (area.top > pt.y)
        consider({ rc.left, rc.top, rc.right, area.top });
    rc = best;
}

// Where the next move's hover tracking finds what this one found at pt: the
// part hit (or the desktop) less every part the hit test tries before it.
// That move hides the hovered object's Mouse Activate target first, so the
// target is no obstacle; hovering hides an object that activates itself, so
// it has no such place.
RECT QuietRect(const CDesktopApp& app, POINT pt, const Hit& hit)
{
    const int h = hit.nObject;
    const int hidden = h != 0 ? app.m_aRuntime[h].nActivates : 0;
    RECT rc { 0, 0, app.m_cxDesktop, app.m_cyDesktop };
    if (h != 0 && hidden == h)
        return {};
    if (h != 0) {
        const RECT part = hit.bCaption ? app.m_aObjects[h].rcText : app.ImageArea(h).value_or(RECT {});
        // Within the desktop, so that a part at the end of the range cannot overflow.
        rc = { std::max(part.left, LONG(0)), std::max(part.top, LONG(0)),
            LONG(std::min<LONGLONG>(LONGLONG(part.right) + 1, app.m_cxDesktop)),
            LONG(std::min<LONGLONG>(LONGLONG(part.bottom) + 1, app.m_cyDesktop)) };
    }
    if (!Contains({ rc.left, rc.top, rc.right - 1, rc.bottom - 1 }, pt))
        return {};
    for (int i = app.m_nObjects - 1; i >= 1 && rc.right > rc.left; --i) {
        const ObjectRuntime& rt = app.m_aRuntime[i];
        if (!rt.bVisible || i == hidden)
            continue;
        if (i == h && hit.bCaption)
            break;
        if (rt.pTextHot)
            CutAway(rc, app.m_aObjects[i].rcText, pt);
        if (i == h)
            break;
        if (const std::optional<RECT> area = app.ImageArea(i); area && rt.pUp)
            CutAway(rc, *area, pt);
    }
    return rc.right > rc.left && rc.bottom > rc.top ? rc : RECT {};
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
    EndKeyMoves();
    CDesktopApp* app = DesktopApp();
    bool bRedraw = false;
    RECT rcQuiet {};

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

        const Hit hit = HitTest(*app, point, HitPurpose::Hover);
        // Until a caption press ends, every move counts.
        const RECT rcSame = nPressedText == 0 ? QuietRect(*app, point, hit) : RECT {};
        if (hit.nObject != 0) {
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
        // The pointer takes the keyboard focus with it, and over empty
        // desktop ends it; its frame goes.
        const bool bFrameBefore = app->m_bFocusFrame && app->m_nFocusObject != 0;
        app->m_nFocusObject = app->m_nHoverObject;
        app->m_bFocusFrame = FALSE;
        if (HoverLookOf(*app) == before && !bFrameBefore)
            bRedraw = false;
        // Once a move changes nothing, the moves after it that would change
        // nothing either stay with the window system: a pointer at rest
        // costs nothing, and one sweeping over the objects no more than it did.
        if (!bRedraw)
            rcQuiet = rcSame;
    }

    // Only what this step changed is drawn.
    if (bRedraw) {
        app->m_bPartialFrame = TRUE;
        app->ComposeScene();
    }
    IgnoreMovesWithin(rcQuiet);
    CFrameWnd::OnMouseMove(nFlags, point);
}

int CMainFrame::ObjectAtPoint(POINT point)
{
    return HitTest(*DesktopApp(), point, HitPurpose::Press).nObject;
}

void CMainFrame::OnLButtonDown(UINT nFlags, POINT point)
{
    EndKeyMoves();
    CDesktopApp* app = DesktopApp();

    // 1.
    const Hit hit = HitTest(*app, point, app->m_bLocked ? HitPurpose::Press : HitPurpose::DragStart);
    const int i = hit.nObject;

    // Only a release on the object the press began on runs its action.
    app->m_nClickObject = app->m_bLocked ? i : 0;
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
        // Escape puts everything back here.
        app->m_aDragStart.clear();
        for (int k = 0; k < app->m_nObjects; ++k)
            app->m_aDragStart.push_back(
                { app->m_aObjects[k].strName, app->m_aObjects[k].rcObject, app->m_aObjects[k].rcText });
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
    int nClicked = 0;
    if (const int p = app->m_nPressedImage; p != 0) {
        app->m_nPressedImage = 0;
        CompleteClick(p);
        nClicked = p;
        bRedraw = true;
    }
    // 5.
    if (const int p = app->m_nPressedText; p != 0) {
        app->m_nPressedText = 0;
        CompleteClick(p);
        nClicked = p;
        bRedraw = true;
    }
    if (nClicked != app->m_nClickObject)
        nClicked = 0;
    app->m_nClickObject = 0;
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
    // The object shows its Mouse look again before what it starts.
    if (nClicked != 0)
        RunObjectAction(nClicked);
    CFrameWnd::OnLButtonUp(nFlags, point);
}

void CMainFrame::OnRButtonDown(UINT nFlags, POINT point)
{
    EndKeyMoves();
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

    // 3. to 5.
    CMenu menu;
    TrackContextMenu(point, menu);

    // 6.
    CFrameWnd::OnRButtonDown(nFlags, point);
    menu.DestroyMenu();
    FollowPointer();
}

// Right button steps 3 to 5 for the subject in m_nCurObject, at `point`.
void CMainFrame::TrackContextMenu(POINT point, CMenu& menu)
{
    CDesktopApp* app = DesktopApp();

    // 3.
    const BOOL bHit = app->m_nCurObject != 0 ? TRUE : FALSE;
    m_bCanInsert = TRUE;
    m_bCanCopy = bHit;
    m_bCanDelete = bHit;
    m_bCanOrder = bHit;

    // 4.
    app->m_ptContext = point;

    // 5. Keys wait while the menu, and whatever its command opens, is up.
    menu.LoadMenu(IDR_OBJECT_MENU);
    CMenu* pPopup = menu.GetSubMenu(0);
    POINT ptScreen = point;
    ClientToScreen(&ptScreen);
    m_bInMenu = TRUE;
    pPopup->TrackPopupMenu(TPM_RIGHTBUTTON, ptScreen.x, ptScreen.y, this);
    m_bInMenu = FALSE;
}

void CMainFrame::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    CDesktopApp* app = DesktopApp();
    const bool bCtrl = GetKeyState(VK_CONTROL) < 0;
    const bool bShift = GetKeyState(VK_SHIFT) < 0;
    const bool bArrow = nChar >= VK_LEFT && nChar <= VK_DOWN;
    if (m_bInMenu) {
        CFrameWnd::OnKeyDown(nChar, nRepCnt, nFlags);
        return;
    }
    if (!(bCtrl && bArrow))
        EndKeyMoves();

    if (nChar == VK_F12)
        PostMessage(WM_CLOSE);
    else if (nChar == VK_F2)
        app->ComposeScene();
    else if (nChar == 'Z' && bCtrl && bShift)
        OnEditRedo();
    else if (nChar == 'Z' && bCtrl)
        OnEditUndo();
    else if (nChar == 'Y' && bCtrl)
        OnEditRedo();
    // The keyboard's way to what the pointer does.
    else if (nChar == VK_TAB)
        FocusNext(bShift ? -1 : 1);
    else if (bArrow && bCtrl)
        MoveByKeys(nChar, bShift ? 10 : 1);
    else if (bArrow)
        FocusToward(nChar);
    else if (nChar == VK_HOME || nChar == VK_END) {
        const std::vector<int> order = ReadingOrder();
        if (!order.empty())
            SetFocusObject(nChar == VK_HOME ? order.front() : order.back());
    } else if (nChar == VK_RETURN || nChar == VK_SPACE)
        PressFocusObject();
    else if (nChar == VK_APPS || (nChar == VK_F10 && bShift))
        OnKeyCommand(0);
    else if (nChar == VK_DELETE && app->m_nFocusObject != 0)
        OnKeyCommand(ID_OBJECT_DELETE);
    else if (nChar == 'C' && bCtrl && app->m_nFocusObject != 0)
        OnKeyCommand(ID_OBJECT_COPY);
    else if (nChar == 'V' && bCtrl && app->m_bClipboardFull)
        OnKeyCommand(ID_OBJECT_PASTE);
    else if (nChar == 'A' && bCtrl)
        SelectAllShown();
    else if (nChar == VK_ESCAPE)
        CancelPointerAction();
    CFrameWnd::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CMainFrame::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    CDesktopApp* app = DesktopApp();
    if (m_bInMenu) {
        CFrameWnd::OnKeyUp(nChar, nRepCnt, nFlags);
        return;
    }
    if (nChar == VK_CONTROL)
        EndKeyMoves();
    // A key press completes as a click does, unless the focus left meanwhile.
    if ((nChar == VK_RETURN || nChar == VK_SPACE) && app->m_nKeyPressed != 0) {
        const int k = app->m_nKeyPressed;
        app->m_nKeyPressed = 0;
        if (k == app->m_nFocusObject && k < app->m_nObjects) {
            CompleteClick(k);
            app->m_bPartialFrame = TRUE;
            app->ComposeScene();
            RunObjectAction(k);
        }
    }
    CFrameWnd::OnKeyUp(nChar, nRepCnt, nFlags);
}

// Where a click on an object completes, by the pointer or by a key: the
// object shows its Mouse look again. Its action runs once that shows.
void CMainFrame::CompleteClick(int nObject)
{
    DesktopApp()->m_aRuntime[nObject].nState = 2;
}

// The objects the keyboard reaches, in reading order: shown ones, top to
// bottom, then left to right by their pictures. A Mouse Activate target
// showing only because its object has the focus is not among them.
std::vector<int> CMainFrame::ReadingOrder()
{
    const CDesktopApp* app = DesktopApp();
    const int h = app->m_nHoverObject;
    const int nTarget = h != 0 && h < app->m_nObjects ? app->m_aRuntime[h].nActivates : 0;
    std::vector<int> order;
    for (int i = 1; i < app->m_nObjects; ++i) {
        const ObjectRuntime& rt = app->m_aRuntime[i];
        if (rt.bVisible && (rt.pUp || rt.pText) && (i != nTarget || i == h))
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const RECT ra = PictureOf(*app, a);
        const RECT rb = PictureOf(*app, b);
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return order;
}

// The focus moves as the pointer would move it: the object before gives up
// its Mouse look and its target, the new one takes them.
void CMainFrame::SetFocusObject(int nObject)
{
    CDesktopApp* app = DesktopApp();
    if (nObject == app->m_nFocusObject && nObject == app->m_nHoverObject && (nObject == 0 || app->m_bFocusFrame))
        return;
    if (const int h = app->m_nHoverObject; h != 0) {
        app->m_aRuntime[h].nState = 1;
        if (const int a = app->m_aRuntime[h].nActivates; a != 0)
            app->m_aRuntime[a].bVisible = FALSE;
    }
    app->m_nHoverObject = nObject;
    app->m_nFocusObject = nObject;
    app->m_bFocusFrame = nObject != 0;
    app->m_nKeyPressed = 0;
    if (nObject != 0) {
        if (const int a = app->m_aRuntime[nObject].nActivates; a != 0)
            app->m_aRuntime[a].bVisible = TRUE;
        app->m_aRuntime[nObject].nState = 2;
    }
    app->m_bPartialFrame = TRUE;
    app->ComposeScene();
}

// Tab and Shift+Tab, round the reading order; without a focus, from its start
// or its end.
void CMainFrame::FocusNext(int nStep)
{
    const std::vector<int> order = ReadingOrder();
    if (order.empty())
        return;
    const int n = int(order.size());
    const auto it = std::find(order.begin(), order.end(), DesktopApp()->m_nFocusObject);
    int pos = nStep > 0 ? 0 : n - 1;
    if (it != order.end())
        pos = (int(it - order.begin()) + nStep + n) % n;
    SetFocusObject(order[size_t(pos)]);
}

// The nearest object in the arrow's direction, by the centres of the
// pictures; straying sideways counts double. Nothing there: the focus stays.
void CMainFrame::FocusToward(UINT nArrow)
{
    const CDesktopApp* app = DesktopApp();
    const std::vector<int> order = ReadingOrder();
    const int f = app->m_nFocusObject;
    if (order.empty())
        return;
    if (std::find(order.begin(), order.end(), f) == order.end()) {
        SetFocusObject(order.front());
        return;
    }
    const auto centre = [&](int i) {
        const RECT r = PictureOf(*app, i);
        return POINT { r.left + r.right, r.top + r.bottom }; // doubled, to stay whole
    };
    const POINT from = centre(f);
    int best = 0;
    LONG bestScore = 0;
    for (int i : order) {
        const POINT to = centre(i);
        const LONG dx = to.x - from.x;
        const LONG dy = to.y - from.y;
        const LONG along = nArrow == VK_LEFT ? -dx : nArrow == VK_RIGHT ? dx : nArrow == VK_UP ? -dy : dy;
        const LONG across = std::labs(nArrow == VK_LEFT || nArrow == VK_RIGHT ? dy : dx);
        if (i == f || along <= 0)
            continue;
        if (const LONG score = along + 2 * across; best == 0 || score < bestScore) {
            best = i;
            bestScore = score;
        }
    }
    if (best != 0)
        SetFocusObject(best);
}

// Enter and Space press the focused object as the left button does (Locked).
void CMainFrame::PressFocusObject()
{
    CDesktopApp* app = DesktopApp();
    const int f = app->m_nFocusObject;
    if (!app->m_bLocked || f == 0 || app->m_nKeyPressed != 0 || app->m_nPressedImage != 0 || app->m_nPressedText != 0)
        return;
    app->m_aRuntime[f].nState = 3;
    app->m_nKeyPressed = f;
    app->m_bPartialFrame = TRUE;
    app->ComposeScene();
}

// The context menu (nID 0), or one of its commands, for the focused object or,
// without one, the desktop. Afterwards the focus stays with its object, or
// takes the same place in the reading order when that went.
void CMainFrame::OnKeyCommand(UINT nID)
{
    CDesktopApp* app = DesktopApp();
    if (app->m_bDragImage || app->m_bDragText || app->m_bRubberBand)
        return;
    const int f = app->m_nFocusObject;
    const std::vector<int> before = ReadingOrder();
    const auto it = std::find(before.begin(), before.end(), f);
    const int nPlace = it == before.end() ? -1 : int(it - before.begin());
    const CString strName = f != 0 ? app->m_aObjects[f].strName : CString();

    // The menu opens at the focused picture's centre; without a focus, at the
    // pointer when it is on the desktop, else at the desktop's centre.
    POINT point { app->m_cxDesktop / 2, app->m_cyDesktop / 2 };
    if (f != 0) {
        const RECT r = PictureOf(*app, f);
        point = { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
    } else if (POINT cursor; GetCursorPos(&cursor)) {
        ScreenToClient(&cursor);
        if (cursor.x >= 0 && cursor.y >= 0 && cursor.x < app->m_cxDesktop && cursor.y < app->m_cyDesktop)
            point = cursor;
    }

    if (app->m_bShowSelection && nID == 0) {
        app->m_bShowSelection = FALSE;
        ClearSelection();
        app->ComposeScene();
    }
    app->m_nCurObject = f;
    const int nObjects = app->m_nObjects;
    if (nID == 0) {
        CMenu menu;
        TrackContextMenu(point, menu);
        menu.DestroyMenu();
    } else {
        // As the menu would have it, then its command.
        app->m_ptContext = point;
        m_bCanInsert = TRUE;
        m_bCanCopy = m_bCanDelete = m_bCanOrder = f != 0 ? TRUE : FALSE;
        m_bInMenu = TRUE;
        OnCommand(nID);
        m_bInMenu = FALSE;
    }

    // A paste takes the focus.
    if (nID == ID_OBJECT_PASTE && app->m_nObjects == nObjects + 1) {
        SetFocusObject(nObjects);
        return;
    }
    if (f == 0) {
        if (nID == 0)
            FollowPointer();
        return;
    }
    const std::vector<int> after = ReadingOrder();
    for (int i : after) {
        if (app->m_aObjects[i].strName == strName) {
            SetFocusObject(i);
            return;
        }
    }
    SetFocusObject(after.empty() || nPlace < 0 ? 0 : after[size_t(std::min(nPlace, int(after.size()) - 1))]);
}

// Ctrl+arrow (Unlocked): the selection, or else the focused object, moves as
// a drag moves it, clamped the same way. The run of moves becomes one step to
// undo when it ends (EndKeyMoves).
void CMainFrame::MoveByKeys(UINT nArrow, LONG nStep)
{
    CDesktopApp* app = DesktopApp();
    const int f = app->m_nFocusObject;
    const bool bSelection = app->m_bShowSelection;
    if (app->m_bLocked || app->m_bDragImage || app->m_bDragText || app->m_bRubberBand || (!bSelection && f == 0))
        return;
    if (!bSelection)
        app->m_aRuntime[f].bSelected = TRUE;
    app->m_bDragImage = TRUE;
    CalcSelectionRect();
    app->m_sizeDrag = { nArrow == VK_LEFT ? -nStep
            : nArrow == VK_RIGHT          ? nStep
                                          : 0,
        nArrow == VK_UP         ? -nStep
            : nArrow == VK_DOWN ? nStep
                                : 0 };
    app->m_bKeyMoves = TRUE;
    app->m_bPartialFrame = TRUE;
    app->ComposeScene();
    app->m_bDragImage = FALSE;
    if (!bSelection)
        ClearSelection();
}

void CMainFrame::EndKeyMoves()
{
    CDesktopApp* app = DesktopApp();
    if (!app->m_bKeyMoves)
        return;
    app->m_bKeyMoves = FALSE;
    app->m_history.RecordEdit(*app);
}

// Ctrl+A (Unlocked): every object the keyboard reaches, selected as a rubber
// band selects.
void CMainFrame::SelectAllShown()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_bLocked || app->m_bDragImage || app->m_bDragText || app->m_bRubberBand)
        return;
    const std::vector<int> order = ReadingOrder();
    if (order.empty())
        return;
    for (int i : order)
        app->m_aRuntime[i].bSelected = TRUE;
    app->m_bShowSelection = TRUE;
    CalcSelectionRect();
    app->m_rcHighlight = app->m_rcSelection;
    app->m_bPartialFrame = TRUE;
    app->ComposeScene();
}

// Escape: a rubber band goes, a drag puts every object back where it began.
void CMainFrame::CancelPointerAction()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_bRubberBand) {
        app->m_bRubberBand = FALSE;
        // A selection shown before the band shows again.
        if (app->m_bShowSelection) {
            CalcSelectionRect();
            app->m_rcHighlight = app->m_rcSelection;
        }
        app->m_bPartialFrame = TRUE;
        app->ComposeScene();
    } else if (app->m_bDragImage || app->m_bDragText) {
        // Only records that are still what they were (a menu command may
        // have changed the table meanwhile).
        const int n = std::min(app->m_nObjects, int(app->m_aDragStart.size()));
        for (int i = 1; i < n; ++i) {
            const CDesktopApp::DragStart& was = app->m_aDragStart[size_t(i)];
            if (app->m_aObjects[i].strName == was.strName) {
                app->m_aObjects[i].rcObject = was.rcObject;
                app->m_aObjects[i].rcText = was.rcText;
            }
        }
        app->m_bDragImage = FALSE;
        app->m_bDragText = FALSE;
        app->m_bShowSelection = FALSE;
        ClearSelection();
        app->m_bPartialFrame = TRUE;
        app->ComposeScene();
    }
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
