#pragma once
// The application object: start-up override and the event loop.

#include "platform/Types.h"

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // Runs the event loop until the main window is destroyed; the exit code.
    virtual int Run();

    BOOL Enable3dControls() { return TRUE; }
    void SetRegistryKey(LPCSTR) { }
    void LoadStdProfileSettings(UINT) { }

    CWnd* m_pMainWnd = nullptr;
};

// The application object most recently constructed.
CWinApp* AfxGetApp();
inline void AfxEnableControlContainer() { }
