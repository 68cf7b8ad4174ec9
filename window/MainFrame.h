#pragma once
// The desktop window: turns window events into calls on the application.

#include "platform/CFrameWnd.h"
#include "platform/CString.h"

#include <vector>

class CMainFrame : public CFrameWnd {
public:
    CMainFrame() = default;

    // The run-time class: creates a CMainFrame, or nullptr.
    static CMainFrame* CreateObject();

    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext) override;
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

    void CalcSelectionRect();
    CString MakeCopyName();
    void MoveObjectInOrder(int nObject, int nHow);
    void SelectObjectsInBand();
    void ClearSelection();

    // Window messages.
    BOOL OnEraseBkgnd() override;
    void OnPaint() override;
    void OnActivateApp(BOOL bActive, DWORD dwThreadID) override;
    BOOL OnQueryNewPalette() override;
    void OnDestroy() override;
    // Unsaved edits: asked about when the window closes, kept for the next
    // start when the session ends.
    void OnClose() override;
    BOOL OnQueryEndSession() override;
    void OnEndSession(BOOL bEnding) override;
    // The screen changed: the window covers the new work area and the
    // desktop is built again at the new size.
    void OnDisplayChange(UINT nImageDepth, int cxScreen, int cyScreen) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnLButtonDown(UINT nFlags, POINT point) override;
    void OnLButtonUp(UINT nFlags, POINT point) override;
    void OnMouseMove(UINT nFlags, POINT point) override;
    void OnRButtonDown(UINT nFlags, POINT point) override;
    BOOL OnCommand(UINT nID) override;
    // The application's display.
    IDirectDraw* GetDisplay() const override;

    // Context menu.
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) override;
    void OnObjectInsert();
    void OnObjectCopy();
    void OnObjectPaste();
    void OnObjectDelete();
    void OnObjectProperties();
    void OnDesktopLocked();
    void OnObjectList();
    void OnOrderMoveUp();
    void OnOrderMoveDown();
    void OnOrderMoveToTop();
    void OnOrderMoveToBottom();

    // After a modal run (the menu and what its command opened, the greeting)
    // the look follows the pointer where it is now, not where it last moved.
    void FollowPointer();

    // Undo and redo of desktop edits (Ctrl+Z; Ctrl+Y or Ctrl+Shift+Z).
    void OnEditUndo();
    void OnEditRedo();

    // A completed click in Locked mode runs the object's action: a link, an
    // application, a file or folder, a command line, or "orvanta:" and one of
    // the desktop's own commands.
    // lpParameters: further words for it, such as files dropped onto it.
    void RunObjectAction(int nObject, LPCSTR lpParameters = nullptr);
    // The object a press at `point` presses (Locked), or 0.
    int ObjectAtPoint(POINT point);
    void RunDesktopCommand(const CString& strAction);
    BOOL TrustDesktopActions(const CString& strAction);
    // Each dropped item becomes an object at the drop point, one step to undo.
    void OnDropFiles(DROPFILES* hDropInfo) override;

    // The keyboard's way beside the pointer's.
    void CompleteClick(int nObject);
    std::vector<int> ReadingOrder();
    void SetFocusObject(int nObject);
    void FocusNext(int nStep);
    void FocusToward(UINT nArrow);
    void PressFocusObject();
    void OnKeyCommand(UINT nID);
    void MoveByKeys(UINT nArrow, LONG nStep);
    void EndKeyMoves();
    void SelectAllShown();
    void CancelPointerAction();
    void TrackContextMenu(POINT point, CMenu& menu);

    BOOL m_bInMenu = FALSE;
    BOOL m_bCanInsert = FALSE;
    BOOL m_bCanCopy = FALSE;
    BOOL m_bCanDelete = FALSE;
    BOOL m_bCanOrder = FALSE;
};
