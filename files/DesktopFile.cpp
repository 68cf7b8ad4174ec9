#include "app/DesktopApp.h"

void CDesktopApp::SaveDesktop() { }

void CDesktopApp::LoadDesktop() { }

