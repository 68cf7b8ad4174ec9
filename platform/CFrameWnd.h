#pragma once
// A frameless top-level window that the desktop is presented into. Window
// messages arrive as calls of the virtual handlers below.

#include "platform/CString.h"
#include "platform/PresentTarget.h"
#include "platform/Types.h"

#include <memory>

inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;

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
};

class FrameWindow;
class CMenu;
struct CCreateContext;

class CFrameWnd : public CWnd, public PresentTarget {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);

    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    BOOL PostMessage(UINT message);
    void ClientToScreen(POINT* point) const;
    BOOL IsIconic() const;
    HWND GetSafeHwnd() { return this; }

    // PresentTarget
    void presentFrame(const QImage& frame) override;

    // Handlers; positions are desktop coordinates.
    virtual BOOL OnEraseBkgnd() { return TRUE; }
    virtual void OnPaint() { }
    virtual void OnActivateApp(BOOL, DWORD) { }
    virtual BOOL OnQueryNewPalette() { return FALSE; }
    virtual void OnDestroy() { }
    virtual void OnKeyDown(UINT, UINT, UINT) { }
    virtual void OnLButtonDown(UINT, POINT) { }
    virtual void OnLButtonUp(UINT, POINT) { }
    virtual void OnMouseMove(UINT, POINT) { }
    virtual void OnRButtonDown(UINT, POINT) { }
    virtual BOOL OnCommand(UINT) { return FALSE; }
    // Before a popup menu owned by this window shows.
    virtual void OnInitMenuPopup(CMenu*, UINT, BOOL) { }

protected:
    std::unique_ptr<FrameWindow> m_window;
};
