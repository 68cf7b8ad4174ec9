#include "dialogs/ObjectListDlg.h"

#include "app/DesktopApp.h"
#include "res/resource.h"

CObjectListDlg::CObjectListDlg(CWnd* pParent)
    : CDialog(IDD_OBJECT_LIST, pParent)
{
}

void CObjectListDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_OBJECT_LIST, m_lbObjects);
}

BOOL CObjectListDlg::OnCommand(UINT nID, UINT nCode)
{
    if (nID == IDC_OBJECT_LIST && nCode == LBN_DBLCLK) {
        OnDblclkObjects();
        return TRUE;
    }
    return CDialog::OnCommand(nID, nCode);
}

BOOL CObjectListDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CDesktopApp* app = DesktopApp();
    for (int i = 1; i < app->m_nObjects; i++)
        m_lbObjects.AddString(app->m_aObjects[i].strName);
    return TRUE;
}

void CObjectListDlg::OnOK()
{
    int nSel = m_lbObjects.GetCurSel();
    if (nSel != LB_ERR) {
        CString name;
        m_lbObjects.GetText(nSel, name);
        SelectObjectByName(name);
    }
    CDialog::OnOK();
}

void CObjectListDlg::OnDblclkObjects()
{
    OnOK();
}

void CObjectListDlg::SelectObjectByName(CString name)
{
    CDesktopApp* app = DesktopApp();
    for (int i = 1; i < app->m_nObjects; i++) {
        if (app->m_aObjects[i].strName.Compare(name) == 0) {
            app->m_nCurObject = i;
            return;
        }
    }
}
