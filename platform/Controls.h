#pragma once
// The controls of the dialog templates, reached by id and bound to members
// with DDX_Control. Text is single-byte Windows-1252 in the program, QString in
// Qt; a path edit holds a file name in the file system's own bytes.

#include "platform/CFrameWnd.h"
#include "platform/CString.h"
#include "platform/Types.h"

#include <QString>

class QWidget;

inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int CB_ERR = -1;
inline constexpr int LB_ERR = -1;

// A control wrapper; empty until it is attached to the dialog's widget.
class CControl : public CWnd {
public:
    CControl() = default;
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    void Attach(QWidget* widget, int id);
    void Detach();
    QWidget* GetWidget() const { return m_pWidget; }
    int GetDlgCtrlID() const { return m_nID; }

    virtual CString GetWindowText() const;
    void GetWindowText(CString& text) const { text = GetWindowText(); }
    virtual void SetWindowText(LPCSTR text);
    BOOL IsWindowEnabled() const;
    // Whether it was disabled before.
    BOOL EnableWindow(BOOL bEnable = TRUE);

protected:
    QWidget* m_pWidget = nullptr;
    int m_nID = 0;
};

// Single- and multi-line edits. A multi-line edit's text uses CR LF line
// breaks as the system sees it.
class CEdit : public CControl {
public:
    CString GetWindowText() const override;
    using CControl::GetWindowText;
    void SetWindowText(LPCSTR text) override;
    BOOL IsReadOnly() const;
};

// A single-line edit that holds a file name.
class CPathEdit : public CEdit {
public:
    CString GetWindowText() const override;
    using CControl::GetWindowText;
    void SetWindowText(LPCSTR text) override;
};

// Push buttons, check boxes, radio buttons and group boxes.
class CButton : public CControl {
public:
    int GetCheck() const;
    void SetCheck(int nCheck);
};

// A drop-down list; sorted when the template says so.
class CComboBox : public CControl {
public:
    int AddString(LPCSTR text);
    // Case-insensitive whole-text search starting after nIndexStart and
    // wrapping; CB_ERR when absent.
    int FindStringExact(int nIndexStart, LPCSTR text) const;
    int SetCurSel(int nSelect);
    int GetCurSel() const;
    int GetCount() const;
    void GetLBText(int nIndex, CString& text) const;
    // The selected item's text, empty when nothing is selected.
    CString GetWindowText() const override;
    using CControl::GetWindowText;
};

// A single-selection list; sorted when the template says so.
class CListBox : public CControl {
public:
    int AddString(LPCSTR text);
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int GetCount() const;
    void GetText(int nIndex, CString& text) const;
};

// Latin-1 conversions between the system's bytes and Qt.
