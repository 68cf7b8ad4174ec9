#include "app/DesktopApp.h"

void CDesktopApp::ComposeScene() { }

void CDesktopApp::UpdateTileSurface() { }

void CDesktopApp::ReleaseTileSurface() { }

void CDesktopApp::BuildTileSurface() { }

