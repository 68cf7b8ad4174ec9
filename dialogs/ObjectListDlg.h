#pragma once
// Lists the desktop's objects by name; the pick goes to m_nCurObject.

#include "platform/CDialog.h"

class CObjectListDlg : public CDialog {
public:
    explicit CObjectListDlg(CWnd* pParent = nullptr);

    virtual void SelectObjectByName(CString name);

    CListBox m_lbObjects;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCommand(UINT nID, UINT nCode) override;
    void OnDblclkObjects();
};
