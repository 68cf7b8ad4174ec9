#pragma once
// A frameless top-level window that the desktop is presented into. Window
// messages arrive as calls of the virtual handlers below. On X the window is
// the session's desktop window (_NET_WM_WINDOW_TYPE_DESKTOP): the window
// manager keeps it below every application, on every workspace and out of
// task lists.

#include "platform/CString.h"
#include "platform/PresentTarget.h"
#include "platform/Types.h"

#include <QImage>

#include <memory>

class QWindow;
class IDirectDraw;

inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;

// Mouse handler flags: the buttons and modifier keys held down.
inline constexpr UINT MK_LBUTTON = 0x1;
inline constexpr UINT MK_RBUTTON = 0x2;
inline constexpr UINT MK_SHIFT = 0x4;
inline constexpr UINT MK_CONTROL = 0x8;

// Negative while the key (VK_SHIFT or VK_CONTROL) is held down, else 0.
short GetKeyState(int nVirtKey);

// Let the window system choose the position or size.
inline constexpr LONG CW_USEDEFAULT = LONG(0x80000000);

struct CREATESTRUCT {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    DWORD style = 0;
};

class CWnd {
public:
    virtual ~CWnd() = default;
    // Destroys the window (its OnDestroy runs first); FALSE when there is none.
    virtual BOOL DestroyWindow() { return FALSE; }
};

class FrameWindow;
class CMenu;
struct DROPFILES;
struct CCreateContext;

class CFrameWnd : public CWnd, public PresentTarget {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Position and size left to the window system.
    static const RECT rectDefault;

    // Creates the window with the title from string resource nIDResource.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);

    // Creates the window (hidden) with a class from AfxRegisterWndClass, or
    // the default class when lpszClassName is null. WS_POPUP gives a window
    // without border or caption. Frames have no menu bar: lpszMenuName must
    // be null. PreCreateWindow may change the position, size and style.
    BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect = rectDefault,
        CWnd* pParentWnd = nullptr, LPCSTR lpszMenuName = nullptr, DWORD dwExStyle = 0,
        CCreateContext* pContext = nullptr);
    // Runs OnDestroy and closes the window; destroying the application's
    // main window ends its event loop with status 0.
    BOOL DestroyWindow() override;

    // Positions are screen coordinates; the window's client origin becomes
    // the desktop point (x, y), so handlers get desktop coordinates. A shown
    // window is brought forward unless SWP_NOZORDER.
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    // Queues WM_CLOSE; FALSE when the window does not exist.
    BOOL PostMessage(UINT message);
    // Desktop coordinates to the window system's global coordinates, in
    // device pixels.
    void ClientToScreen(POINT* point) const;
    void ScreenToClient(POINT* point) const;
    BOOL IsIconic() const;
    // Files, folders and links dropped onto the window reach OnDropFiles.
    void DragAcceptFiles(BOOL bAccept = TRUE) { m_bAcceptFiles = bAccept != FALSE; }
    // Asks for a paint from the event loop.
    void InvalidateRect(const RECT* rect, BOOL bErase = TRUE);
    // Moves that stay within rc (desktop coordinates, its right and bottom
    // edges outside) with no button held reach no OnMouseMove: the window
    // system keeps them from the program, which a pointer at rest over one
    // object then costs nothing. The first move out of rc, a key or a button,
    // a paint asked for or a frame presented ends it; so does an empty rc.
    void IgnoreMovesWithin(const RECT& rc);
    const RECT& GetIgnoredMoves() const { return m_rcIgnoredMoves; }
    HWND GetSafeHwnd() { return this; }
    // The Qt window, or nullptr before Create and after DestroyWindow.
    QWindow* windowHandle() const;

    // PresentTarget
    void presentFrame(const QImage& frame, std::span<const RECT> changed) override;

    // Keeps a copy of what each presentation put into the window (the
    // window-sized part of the frame under it), for saving a screenshot.
    void setKeepPresentedFrame(bool keep);
    const QImage& presentedFrame() const { return m_presented; }

    // Handlers; positions are desktop coordinates.
    virtual BOOL OnEraseBkgnd() { return TRUE; }
    virtual void OnPaint() { }
    virtual void OnActivateApp(BOOL, DWORD) { }
    virtual BOOL OnQueryNewPalette() { return FALSE; }
    virtual void OnDestroy() { }
    // The window is asked to close (F12 posts WM_CLOSE, the window manager's
    // close button): destroys it unless the override declines.
    virtual void OnClose() { DestroyWindow(); }
    // The session is about to end: FALSE asks to keep it (CSessionEnd).
    virtual BOOL OnQueryEndSession() { return TRUE; }
    // The session ends (bEnding) and the window goes without OnClose.
    virtual void OnEndSession(BOOL) { }
    virtual void OnKeyDown(UINT, UINT, UINT) { }
    virtual void OnKeyUp(UINT, UINT, UINT) { }
    virtual void OnLButtonDown(UINT, POINT) { }
    virtual void OnLButtonUp(UINT, POINT) { }
    virtual void OnMouseMove(UINT, POINT) { }
    virtual void OnRButtonDown(UINT, POINT) { }
    virtual BOOL OnCommand(UINT) { return FALSE; }
    // After the drop has ended, from the event loop (WM_DROPFILES).
    virtual void OnDropFiles(DROPFILES*) { }
    // The primary screen's size, work area, scale or the primary screen
    // itself changed (WM_DISPLAYCHANGE, WM_SETTINGCHANGE): once for a burst
    // of changes, with the new depth and size in device pixels.
    virtual void OnDisplayChange(UINT, int, int) { }
    // Before a popup menu owned by this window shows.
    virtual void OnInitMenuPopup(CMenu*, UINT, BOOL) { }

    // The DirectDraw object presenting into this window, if any: it loses its
    // surfaces when the window's screen changes, and its depth decides whether
    // activating the window asks for the palette.
    virtual IDirectDraw* GetDisplay() const { return nullptr; }

    // The window's resource id.
    UINT m_nIDHelp = 0;

protected:
    std::unique_ptr<FrameWindow> m_window;

private:
    friend class FrameWindow;
    void OnScreenChanged();
    void OnActivated();

    POINT m_ptOrigin; // the desktop point under the window's client origin
    SIZE m_szClient {}; // the window's size in device pixels
    RECT m_rcIgnoredMoves {};
    bool m_bDestroyed = false;
    bool m_bKeepPresented = false;
    bool m_bAcceptFiles = false;
    QImage m_presented;
};
