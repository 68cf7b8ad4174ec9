#include "platform/CWinApp.h"

#include <QApplication>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() { return QApplication::exec(); }

CWinApp* AfxGetApp() { return g_app; }
