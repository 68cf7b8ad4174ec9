#pragma once
// Modal dialogs built from the templates in res/. DoModal runs a nested event
// loop, so the desktop keeps repainting underneath. Commands from the
// controls, the swatch colouring and the destroy notification reach the
// virtual handlers below.

#include "platform/CDialogGdi.h"
#include "platform/CFrameWnd.h"
#include "platform/Controls.h"
#include "platform/Types.h"

#include <map>
#include <memory>

class DialogWindow;
class QWidget;
struct DialogTemplate;

// Notification codes of a control command.
inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT LBN_DBLCLK = 2;
// What OnCtlColor is asked for.
inline constexpr UINT CTLCOLOR_EDIT = 1;
inline constexpr UINT CTLCOLOR_STATIC = 6;

class CDialog;

class CDataExchange {
public:
    CDialog* m_pDlgWnd = nullptr;
    BOOL m_bSaveAndValidate = FALSE;
};

// Binds `control` to the dialog's control `nIDC`.
void DDX_Control(CDataExchange* pDX, int nIDC, CControl& control);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Shows the dialog and returns the result it was ended with.
    virtual int DoModal();
    void EndDialog(int nResult);

    // The control with id `nID` while the dialog is open, or nullptr.
    CControl* GetDlgItem(int nID);
    void CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
    int GetCheckedRadioButton(int nIDFirstButton, int nIDLastButton);
    // Repaints the dialog (rect nullptr: all of it), asking OnCtlColor again.
    void InvalidateRect(const RECT* rect, BOOL bErase = TRUE);

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    // Message map: routes a control's notification; TRUE when handled.
    virtual BOOL OnCommand(UINT nID, UINT nCode);
    // The brush that paints control pWnd, nullptr for the framework's default.
    virtual HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    virtual void OnDestroy();
    virtual void OnPaint();

private:
    friend class DialogWindow;
    friend class CPaintDC;
    friend void DDX_Control(CDataExchange*, int, CControl&);

    QWidget* ControlWidget(int nID) const;
    HBRUSH CtlColor(CDC* pDC, int nID);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    const DialogTemplate* m_pTemplate = nullptr;
    std::unique_ptr<DialogWindow> m_window;
    std::map<int, std::unique_ptr<CControl>> m_items; // GetDlgItem wrappers
    std::map<int, CControl*> m_bound; // DDX_Control members
    QPainter* m_pPainter = nullptr; // while OnPaint runs
    int m_nResult = IDCANCEL;
    bool m_bEnded = false;
};
