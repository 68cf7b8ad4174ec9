#include "app/DesktopApp.h"

BOOL CDesktopApp::InitInstance() { return FALSE; }

void CDesktopApp::ShowSplash() { }

