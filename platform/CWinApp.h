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
    // Runs the event loop until the main window is destroyed, then deletes
    // that window; the exit code.
    virtual int Run();
    // Destroys and deletes the main window, if any. Must run while the Qt
    // application exists: Run does it, and so must a start-up that fails.
    void DestroyMainWindow();

    BOOL Enable3dControls() { return TRUE; }
    void SetRegistryKey(LPCSTR) { }
    void LoadStdProfileSettings(UINT) { }

    // Owned by the application once start-up has made it the main window.
    CWnd* m_pMainWnd = nullptr;
};

// The application object most recently constructed.
CWinApp* AfxGetApp();
inline void AfxEnableControlContainer() { }
