#include "platform/CWinApp.h"

#include "platform/CFrameWnd.h"

#include <QApplication>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    int code = QApplication::exec();
    DestroyMainWindow();
    return code;
}

void CWinApp::DestroyMainWindow()
{
    CWnd* window = m_pMainWnd;
    if (!window)
        return;
    window->DestroyWindow();
    m_pMainWnd = nullptr;
    delete window;
}

CWinApp* AfxGetApp()
{
    return g_app;
}
