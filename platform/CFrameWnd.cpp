#include "platform/CFrameWnd.h"

class FrameWindow { };

CFrameWnd::CFrameWnd() = default;
CFrameWnd::~CFrameWnd() = default;
BOOL CFrameWnd::LoadFrame(UINT, DWORD, CWnd*, CCreateContext*) { return FALSE; }
BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT&) { return TRUE; }
BOOL CFrameWnd::SetWindowPos(const CWnd*, int, int, int, int, UINT) { return FALSE; }
BOOL CFrameWnd::PostMessage(UINT) { return FALSE; }
void CFrameWnd::ClientToScreen(POINT*) const { }
BOOL CFrameWnd::IsIconic() const { return FALSE; }
void CFrameWnd::presentFrame(const QImage&) { }
