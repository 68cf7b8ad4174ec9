#include "window/MainFrame.h"

// The context menu and its commands.

CString CMainFrame::MakeCopyName() { return CString(); }
void CMainFrame::MoveObjectInOrder(int, int) { }
BOOL CMainFrame::OnCommand(UINT) { return FALSE; }
void CMainFrame::OnInitMenuPopup(CMenu*, UINT, BOOL) { }
void CMainFrame::OnObjectInsert() { }
void CMainFrame::OnObjectCopy() { }
void CMainFrame::OnObjectPaste() { }
void CMainFrame::OnObjectDelete() { }
void CMainFrame::OnObjectProperties() { }
void CMainFrame::OnDesktopLocked() { }
void CMainFrame::OnObjectList() { }
void CMainFrame::OnOrderMoveUp() { }
void CMainFrame::OnOrderMoveDown() { }
void CMainFrame::OnOrderMoveToTop() { }
void CMainFrame::OnOrderMoveToBottom() { }
