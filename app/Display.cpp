#include "app/DesktopApp.h"

BOOL CDesktopApp::FailDirectDrawInit() { return FALSE; }

void CDesktopApp::ReleaseDirectDraw() { }

BOOL CDesktopApp::RestoreSurfaces() { return FALSE; }

void CDesktopApp::ReleaseTextWorkSurface() { }

void CDesktopApp::ReleaseColorSurface() { }

void CDesktopApp::CreateColorSurface() { }

BOOL CDesktopApp::CreateDisplay(HWND) { return FALSE; }
