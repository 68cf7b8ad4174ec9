#include "app/DesktopApp.h"

// The entry points that run the properties and settings dialogs.

void CDesktopApp::InsertObject() { }
void CDesktopApp::EditObjectProperties() { }
void CDesktopApp::EditDesktopSettings() { }
