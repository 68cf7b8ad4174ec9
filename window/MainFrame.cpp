#include "window/MainFrame.h"

// Window creation and the window's own messages.

CMainFrame* CMainFrame::CreateObject() { return new CMainFrame; }
BOOL CMainFrame::LoadFrame(UINT, DWORD, CWnd*, CCreateContext*) { return FALSE; }
BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) { return CFrameWnd::PreCreateWindow(cs); }
BOOL CMainFrame::OnEraseBkgnd() { return TRUE; }
void CMainFrame::OnPaint() { }
void CMainFrame::OnActivateApp(BOOL, DWORD) { }
BOOL CMainFrame::OnQueryNewPalette() { return FALSE; }
void CMainFrame::OnDestroy() { }
