#include "app/DesktopApp.h"

void CDesktopApp::InsertObject() { }

void CDesktopApp::EditObjectProperties() { }

void CDesktopApp::EditDesktopSettings() { }

void CDesktopApp::OffsetObject(int) { }

BOOL CDesktopApp::ClampDragOffset() { return TRUE; }

void CDesktopApp::ResolveActivationLinks() { }

void CDesktopApp::ApplyVisibility() { }

