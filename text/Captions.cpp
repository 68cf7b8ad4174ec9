#include "app/DesktopApp.h"

void CDesktopApp::RenderTextLine(CString, int, int) { }

void CDesktopApp::CreateCaptionSurfaces(int) { }

