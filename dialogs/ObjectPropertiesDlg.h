#pragma once
// Creates a desktop object or edits one: name, images, caption, colours,
// font, justification and the Mouse Activate choice.

#include "platform/CDialog.h"
#include "platform/CFile.h"

class CObjectPropertiesDlg : public CDialog {
public:
    explicit CObjectPropertiesDlg(CWnd* pParent = nullptr);
    ~CObjectPropertiesDlg() override;

    virtual void BrowseForBitmap();
    virtual void MakeDefaultName();
    virtual BOOL CheckFileExists(CString path, CString label);
    virtual BOOL CheckName(CString name);
    // What an action can name: a program, a file or an application entry.
    virtual void BrowseForAction();

    CButton m_chkTextOnMouseOver;
    CButton m_grpJustify;
    CButton m_chkVisible;
    CEdit m_edAction;
    CPathEdit m_edMouseImage;
    CPathEdit m_edDownImage;
    CEdit m_edName;
    CEdit m_edText;
    CPathEdit m_edUpImage;
    CComboBox m_cbActivate;
    CString m_strBrowseResult;
    CString m_strBrowseText;
    CString m_strName;
    CFileStatus m_fileStatus;
    COLORREF m_crText = 0;
    COLORREF m_crHotText = 0;
    CBrush* m_pbrText = nullptr;
    CBrush* m_pbrHotText = nullptr;
    LOGFONT m_lf;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCommand(UINT nID, UINT nCode) override;
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) override;
    void OnDestroy() override;

    void OnBrowseUpImage();
    void OnBrowseMouseImage();
    void OnBrowseDownImage();
    void OnBrowseAction();
    void OnFont();
    void OnHotTextColor();
    void OnTextColor();

private:
    void BrowseInto(CPathEdit& edit);
};
