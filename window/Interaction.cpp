#include "window/MainFrame.h"

// Mouse and keyboard.

void CMainFrame::CalcSelectionRect() { }
void CMainFrame::SelectObjectsInBand() { }
void CMainFrame::ClearSelection() { }
void CMainFrame::OnKeyDown(UINT, UINT, UINT) { }
void CMainFrame::OnLButtonDown(UINT, POINT) { }
void CMainFrame::OnLButtonUp(UINT, POINT) { }
void CMainFrame::OnMouseMove(UINT, POINT) { }
void CMainFrame::OnRButtonDown(UINT, POINT) { }
