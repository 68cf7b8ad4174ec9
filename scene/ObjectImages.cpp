#include "app/DesktopApp.h"

void CDesktopApp::SetObjectColorKeys(int) { }

void CDesktopApp::LoadObjectImages(int) { }

void CDesktopApp::ReleaseObjectImages(int) { }

void CDesktopApp::ReleaseCaptionSurfaces(int) { }

