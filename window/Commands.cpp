#include "app/DesktopApp.h"
#include "dialogs/ObjectListDlg.h"
#include "platform/CMenu.h"
#include "platform/MessageBox.h"
#include "res/resource.h"
#include "window/MainFrame.h"

// The context menu and its commands.

namespace {

// Copy's destination and the holding place of an object being reordered.
constexpr int kClipboard = kTableSize - 1;

// What LoadObjectImages expects of the shared surface description.
void PrepareSurfaceDesc(CDesktopApp& app)
{
    app.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app.m_ddsd.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
}

void RebuildObject(CDesktopApp& app, int i)
{
    app.LoadObjectImages(i);
    app.CreateCaptionSurfaces(i);
    app.SetObjectColorKeys(i);
}

void ReleaseObject(CDesktopApp& app, int i)
{
    app.ReleaseObjectImages(i);
    app.ReleaseCaptionSurfaces(i);
}

// Names are unique ignoring case and surrounding white space.
CString NameKey(CString name)
{
    name.Trim();
    name.MakeLower();
    return name;
}

}

BOOL CMainFrame::OnCommand(UINT nID)
{
    switch (nID) {
    case ID_OBJECT_INSERT:
        OnObjectInsert();
        return TRUE;
    case ID_OBJECT_COPY:
        OnObjectCopy();
        return TRUE;
    case ID_OBJECT_PASTE:
        OnObjectPaste();
        return TRUE;
    case ID_OBJECT_DELETE:
        OnObjectDelete();
        return TRUE;
    case ID_OBJECT_PROPERTIES:
        OnObjectProperties();
        return TRUE;
    case ID_DESKTOP_LOCKED:
        OnDesktopLocked();
        return TRUE;
    case ID_OBJECT_LIST:
        OnObjectList();
        return TRUE;
    case ID_ORDER_MOVE_UP:
        OnOrderMoveUp();
        return TRUE;
    case ID_ORDER_MOVE_DOWN:
        OnOrderMoveDown();
        return TRUE;
    case ID_ORDER_MOVE_TO_TOP:
        OnOrderMoveToTop();
        return TRUE;
    case ID_ORDER_MOVE_TO_BOTTOM:
        OnOrderMoveToBottom();
        return TRUE;
    default:
        return CFrameWnd::OnCommand(nID);
    }
}

void CMainFrame::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu)
{
    CFrameWnd::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
    const CDesktopApp* app = DesktopApp();

    // 1.
    pPopupMenu->CheckMenuItem(ID_DESKTOP_LOCKED, MF_BYCOMMAND | (app->m_bLocked ? MF_CHECKED : MF_UNCHECKED));
    // 2. and 3.
    pPopupMenu->EnableMenuItem(ID_OBJECT_INSERT, MF_BYCOMMAND | (m_bCanInsert ? MF_ENABLED : MF_GRAYED));
    pPopupMenu->EnableMenuItem(ID_OBJECT_COPY, MF_BYCOMMAND | (m_bCanCopy ? MF_ENABLED : MF_GRAYED));

    // 4. Nothing moves past either end of the drawing order.
    UINT nUp = MF_GRAYED;
    UINT nDown = MF_GRAYED;
    if (m_bCanOrder) {
        nUp = app->m_nCurObject == app->m_nObjects - 1 ? MF_GRAYED : MF_ENABLED;
        nDown = app->m_nCurObject == 1 ? MF_GRAYED : MF_ENABLED;
    }
    pPopupMenu->EnableMenuItem(ID_ORDER_MOVE_UP, MF_BYCOMMAND | nUp);
    pPopupMenu->EnableMenuItem(ID_ORDER_MOVE_TO_TOP, MF_BYCOMMAND | nUp);
    pPopupMenu->EnableMenuItem(ID_ORDER_MOVE_DOWN, MF_BYCOMMAND | nDown);
    pPopupMenu->EnableMenuItem(ID_ORDER_MOVE_TO_BOTTOM, MF_BYCOMMAND | nDown);

    // 5. and 6.
    pPopupMenu->EnableMenuItem(ID_OBJECT_PASTE, MF_BYCOMMAND | (app->m_bClipboardFull ? MF_ENABLED : MF_GRAYED));
    pPopupMenu->EnableMenuItem(ID_OBJECT_DELETE, MF_BYCOMMAND | (m_bCanDelete ? MF_ENABLED : MF_GRAYED));
}

void CMainFrame::OnObjectInsert()
{
    DesktopApp()->InsertObject();
}

void CMainFrame::OnObjectCopy()
{
    CDesktopApp* app = DesktopApp();
    const int c = app->m_nCurObject;

    // 1.
    app->m_bClipboardFull = TRUE;
    // 2.
    app->m_aObjects[kClipboard] = app->m_aObjects[c];
    // 3. The clipboard slot never holds surfaces.
    app->m_aRuntime[kClipboard].bSelected = FALSE;
    app->m_aRuntime[kClipboard].bVisible = app->m_aRuntime[c].bVisible;
}

void CMainFrame::OnObjectPaste()
{
    CDesktopApp* app = DesktopApp();
    const int n = app->m_nObjects;

    // 1.
    if (n == app->m_nMaxObjects) {
        AfxMessageBox("Unable to insert new object:\nDesktop contains maximum objects allowed.", MB_OK);
        return;
    }

    // 2.
    PrepareSurfaceDesc(*app);

    // 3.
    app->m_aObjects[n] = app->m_aObjects[kClipboard];
    app->m_aRuntime[n] = app->m_aRuntime[kClipboard];

    // 4.
    app->m_aObjects[n].strName = MakeCopyName();

    // 5.
    app->m_aObjects[n].rcObject.left = app->m_ptContext.x;
    app->m_aObjects[n].rcObject.top = app->m_ptContext.y;
    app->m_aRuntime[n].nState = 1;

    // 6.
    app->LoadObjectImages(n);

    // 7.
    app->m_aObjects[n].rcText = {};
    app->CreateCaptionSurfaces(n);
    app->SetObjectColorKeys(n);

    // 8. The pasted object takes part in the links at once, so its own
    // Mouse Activate link works without waiting for another command.
    app->m_nObjects = n + 1;
    app->ResolveActivationLinks();
    app->ApplyVisibility();

    // 9.
    app->ComposeScene();
    app->m_history.RecordEdit(*app);
}

CString CMainFrame::MakeCopyName()
{
    const CDesktopApp* app = DesktopApp();
    const CString base = app->m_aObjects[app->m_nObjects].strName;

    // 1.
    int k = 1;
    CString candidate;
    candidate.Format("%s.%d", LPCSTR(base), k);
    CString compare = NameKey(candidate);

    // 2. Every clash starts the search again with the next number.
    int j = 0;
    while (j < app->m_nObjects) {
        if (NameKey(app->m_aObjects[j].strName) == compare) {
            ++k;
            candidate.Format("%s.%d", LPCSTR(base), k);
            compare = NameKey(candidate);
            j = 0;
        } else {
            ++j;
        }
    }

    // 3.
    return candidate;
}

void CMainFrame::OnObjectDelete()
{
    CDesktopApp* app = DesktopApp();
    const int c = app->m_nCurObject;
    const int n = app->m_nObjects;

    // 1.
    const CString text = "Are you sure you want to delete '" + app->m_aObjects[c].strName + "'?";
    if (AfxMessageBox(text, MB_OKCANCEL) == IDCANCEL)
        return;

    // 2.
    PrepareSurfaceDesc(*app);

    // 3. Everything above moves down one place and is rebuilt from its files.
    for (int i = c; i <= n - 2; ++i) {
        app->m_aObjects[i] = app->m_aObjects[i + 1];
        ReleaseObject(*app, i);
        ReleaseObject(*app, i + 1);
        app->m_aRuntime[i] = app->m_aRuntime[i + 1];
        RebuildObject(*app, i);
    }

    // 4.
    if (c == n - 1)
        ReleaseObject(*app, c);

    // 5.
    app->m_nObjects = n - 1;

    // 6.
    app->ResolveActivationLinks();
    app->ApplyVisibility();
    app->ComposeScene();
    app->m_history.RecordEdit(*app);
}

void CMainFrame::OnObjectProperties()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_nCurObject == 0)
        app->EditDesktopSettings();
    else
        app->EditObjectProperties();
}

void CMainFrame::OnDesktopLocked()
{
    CDesktopApp* app = DesktopApp();
    app->m_bLocked = !app->m_bLocked;
    // Placeholders of missing pictures show only while unlocked.
    for (int i = 1; i < app->m_nObjects; ++i) {
        if (app->m_aRuntime[i].bVisible && app->PlaceholderRect(i)) {
            app->m_bPartialFrame = TRUE;
            app->ComposeScene();
            break;
        }
    }
}

void CMainFrame::OnObjectList()
{
    CDesktopApp* app = DesktopApp();

    // 1.
    app->m_nCurObject = 0;

    // 2. The dialog leaves the pick in m_nCurObject.
    CObjectListDlg dlg(nullptr);
    dlg.DoModal();

    // 3.
    if (app->m_nCurObject != 0) {
        app->m_bClipboardFull = FALSE;
        app->EditObjectProperties();
    }
}

void CMainFrame::OnOrderMoveUp()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_nCurObject != app->m_nObjects - 1)
        MoveObjectInOrder(app->m_nCurObject, 1);
}

void CMainFrame::OnOrderMoveDown()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_nCurObject != 1)
        MoveObjectInOrder(app->m_nCurObject, -1);
}

void CMainFrame::OnOrderMoveToTop()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_nCurObject != app->m_nObjects - 1)
        MoveObjectInOrder(app->m_nCurObject, 2);
}

void CMainFrame::OnOrderMoveToBottom()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_nCurObject != 1)
        MoveObjectInOrder(app->m_nCurObject, 3);
}

void CMainFrame::MoveObjectInOrder(int nObject, int nHow)
{
    CDesktopApp* app = DesktopApp();
    const int i = nObject;
    const int n = app->m_nObjects;

    // 1.
    PrepareSurfaceDesc(*app);

    // 2. The clipboard record holds the moving object meanwhile.
    app->m_aObjects[kClipboard] = app->m_aObjects[i];
    ReleaseObject(*app, i);
    app->m_aRuntime[kClipboard] = app->m_aRuntime[i];

    // 3.
    int d = i;
    if (nHow == 1 || nHow == -1) {
        const int t = i + nHow;
        app->m_aObjects[i] = app->m_aObjects[t];
        ReleaseObject(*app, t);
        app->m_aRuntime[i] = app->m_aRuntime[t];
        RebuildObject(*app, i);
        d = t;
    } else if (nHow == 2) {
        for (int k = i; k <= n - 2; ++k) {
            app->m_aObjects[k] = app->m_aObjects[k + 1];
            ReleaseObject(*app, k);
            ReleaseObject(*app, k + 1);
            app->m_aRuntime[k] = app->m_aRuntime[k + 1];
            RebuildObject(*app, k);
        }
        d = n - 1;
    } else if (nHow == 3) {
        for (int k = i - 1; k >= 1; --k) {
            app->m_aObjects[k + 1] = app->m_aObjects[k];
            ReleaseObject(*app, k + 1);
            ReleaseObject(*app, k);
            app->m_aRuntime[k + 1] = app->m_aRuntime[k];
            RebuildObject(*app, k + 1);
        }
        d = 1;
    }

    // 4.
    app->m_aObjects[d] = app->m_aObjects[kClipboard];
    app->m_aRuntime[d] = app->m_aRuntime[kClipboard];
    RebuildObject(*app, d);

    // 5.
    app->ResolveActivationLinks();
    app->ApplyVisibility();

    // 6.
    if (app->m_nHoverObject != 0) {
        app->m_aRuntime[d].nState = 1;
        if (const int a = app->m_aRuntime[d].nActivates; a != 0)
            app->m_aRuntime[a].bVisible = FALSE;
        app->m_nHoverObject = 0;
    }

    // 7.
    app->ComposeScene();
    app->m_history.RecordEdit(*app);
}
