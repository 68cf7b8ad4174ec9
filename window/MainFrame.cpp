#include "window/MainFrame.h"

#include "app/DesktopApp.h"
#include "platform/MessageBox.h"
#include "platform/Screen.h"
#include "platform/StringResource.h"
#include "platform/WindowClass.h"

#include <algorithm>

// Window creation and the window's own messages.

namespace {

// The name of the desktop window's class, registered once.
CString g_strMainFrameClass;

} // namespace

CMainFrame* CMainFrame::CreateObject()
{
    return new CMainFrame;
}

BOOL CMainFrame::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    // 1. The resource id doubles as the help id.
    m_nIDHelp = nIDResource;

    // 2. The title is the string resource up to its first newline.
    CString strFullString;
    CString strTitle;
    if (LoadStringResource(nIDResource, strFullString))
        AfxExtractSubString(strTitle, strFullString, 0, '\n');

    // 3. Icon and cursor.
    HICON hIcon = LoadIcon(nIDResource);
    HCURSOR hCursor = LoadCursor(nullptr, IDC_ARROW);

    // 4. The window class.
    g_strMainFrameClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, hCursor, hIcon);

    // 5. The window, without a menu.
    if (!Create(g_strMainFrameClass, strTitle, dwDefaultStyle, rectDefault, pParentWnd, nullptr, 0, pContext))
        return FALSE;

    // 6. The frame has no accelerators: its commands come from the context menu.
    // Files, folders, application entries and links dropped onto the desktop
    // become objects.
    DragAcceptFiles(TRUE);
    return TRUE;
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    cs.x = 0;
    cs.y = 0;
    cs.cx = GetSystemMetrics(SM_CXSCREEN);
    cs.cy = GetSystemMetrics(SM_CYSCREEN);
    return CFrameWnd::PreCreateWindow(cs);
}

// The composed scene covers the whole window, so there is nothing to erase.
BOOL CMainFrame::OnEraseBkgnd()
{
    return TRUE;
}

void CMainFrame::OnPaint()
{
    if (IsIconic())
        AfxMessageBox("Yeah, guess what!", MB_OK, 0);
    CDesktopApp* app = DesktopApp();
    if (!app->m_bStartupDone) {
        app->m_bPaintDeferred = TRUE;
        return;
    }
    app->ComposeScene();
}

void CMainFrame::OnActivateApp(BOOL bActive, DWORD dwThreadID)
{
    CFrameWnd::OnActivateApp(bActive, dwThreadID);
}

BOOL CMainFrame::OnQueryNewPalette()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_pDDPal && app->m_pDDSPrimary)
        app->m_pDDSPrimary->SetPalette(app->m_pDDPal);
    app->RestoreSurfaces();
    return CFrameWnd::OnQueryNewPalette();
}

void CMainFrame::OnClose()
{
    CDesktopApp* app = DesktopApp();
    if (app->IsDesktopModified()) {
        const CString& strPath = app->m_strDesktopFile;
        const CString strName = strPath.Mid(std::max(strPath.ReverseFind('\\'), strPath.ReverseFind('/')) + 1);
        switch (AfxMessageBox("Save changes to " + strName + "?", MB_YESNOCANCEL, 0)) {
        case IDYES:
            // As Desktop Settings' Save; a failure has been shown, and the
            // program goes on rather than lose the edits.
            app->SaveDesktop();
            if (app->IsDesktopModified())
                return;
            break;
        case IDNO:
            break;
        default:
            return;
        }
    }
    // What an earlier request to end the session kept is no longer wanted.
    app->DiscardRecovery();
    CFrameWnd::OnClose();
}

// Nobody is asked while the session ends: the edits go to the recovery file.
BOOL CMainFrame::OnQueryEndSession()
{
    DesktopApp()->WriteRecovery();
    return TRUE;
}

void CMainFrame::OnEndSession(BOOL bEnding)
{
    if (bEnding)
        DesktopApp()->WriteRecovery();
}

void CMainFrame::OnDisplayChange(UINT nImageDepth, int cxScreen, int cyScreen)
{
    CFrameWnd::OnDisplayChange(nImageDepth, cxScreen, cyScreen);
    CDesktopApp* app = DesktopApp();
    RECT rcWorkArea;
    // No display yet (start-up is still under way) or no screen left: there
    // is nothing to follow.
    if (!app->m_pDD || !SystemParametersInfo(SPI_GETWORKAREA, 0, &rcWorkArea, 0))
        return;
    SetWindowPos(nullptr, rcWorkArea.left, rcWorkArea.top, rcWorkArea.right - rcWorkArea.left,
        rcWorkArea.bottom - rcWorkArea.top, SWP_NOZORDER);
    app->RecreateDisplay(GetSafeHwnd(), rcWorkArea);
}

void CMainFrame::OnDestroy()
{
    CFrameWnd::OnDestroy();
    DesktopApp()->ReleaseDirectDraw();
}

IDirectDraw* CMainFrame::GetDisplay() const
{
    CDesktopApp* app = DesktopApp();
    return app ? app->m_pDD : nullptr;
}

// What a move to the pointer's present place would do: the object under it
// takes its Mouse look and no other keeps one.
void CMainFrame::FollowPointer()
{
    POINT point;
    if (!GetCursorPos(&point))
        return;
    ScreenToClient(&point);
    OnMouseMove(0, point);
}
