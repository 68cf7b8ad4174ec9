#include "app/DesktopApp.h"

void CDesktopApp::OffsetObject(int) { }

BOOL CDesktopApp::ClampDragOffset() { return TRUE; }

void CDesktopApp::ResolveActivationLinks() { }

void CDesktopApp::ApplyVisibility() { }

