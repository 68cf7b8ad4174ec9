#include "dialogs/ObjectPropertiesDlg.h"

#include "app/DesktopApp.h"
#include "dialogs/ColorMatch.h"
#include "platform/CommonDialogs.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"
#include "platform/Pictures.h"
#include "res/resource.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr LPCSTR kBitmapFilter
    = "Pictures (*.bmp *.png *.jpg *.jpeg *.gif *.webp *.tif *.tiff *.ico *.svg *.svgz)|"
      "*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.webp;*.tif;*.tiff;*.ico;*.svg;*.svgz|Bitmap Files (*.bmp)|*.bmp||";
constexpr LPCSTR kActionFilter = "Application Entries (*.desktop)|*.desktop|Programs and All Files (*)|*||";
// Where application entries are installed, offered while the action is empty.
constexpr LPCSTR kApplicationsDir = "/usr/share/applications";
// The chooser's initial folder is held in a buffer of this many characters.
constexpr int kInitialDirSize = 300;

} // namespace

CObjectPropertiesDlg::CObjectPropertiesDlg(CWnd* pParent)
    : CDialog(IDD_OBJECT_PROPERTIES, pParent)
{
    CDesktopApp* app = DesktopApp();
    if (app->m_bInserting) {
        m_crText = app->m_crLastColor;
        m_crHotText = app->m_crLastColor;
        m_lf = app->m_lfDefault;
    } else {
        const DesktopObject& r = app->m_aObjects[app->m_nCurObject];
        m_crText = r.crText;
        m_crHotText = r.crHotText;
        m_lf = r.lfFont;
    }
    m_pbrText = new CBrush(m_crText);
    m_pbrHotText = new CBrush(m_crHotText);
}

// The brushes normally go in OnDestroy; this covers a dialog never shown.
CObjectPropertiesDlg::~CObjectPropertiesDlg()
{
    delete m_pbrText;
    delete m_pbrHotText;
}

void CObjectPropertiesDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TEXT_ON_MOUSE_OVER, m_chkTextOnMouseOver);
    DDX_Control(pDX, IDC_JUSTIFY_GROUP, m_grpJustify);
    DDX_Control(pDX, IDC_VISIBLE, m_chkVisible);
    DDX_Control(pDX, IDC_ACTION, m_edAction);
    DDX_Control(pDX, IDC_MOUSE_IMAGE, m_edMouseImage);
    DDX_Control(pDX, IDC_DOWN_IMAGE, m_edDownImage);
    DDX_Control(pDX, IDC_OBJECT_NAME, m_edName);
    DDX_Control(pDX, IDC_TEXT, m_edText);
    DDX_Control(pDX, IDC_UP_IMAGE, m_edUpImage);
    DDX_Control(pDX, IDC_ACTIVATE, m_cbActivate);
}

BOOL CObjectPropertiesDlg::OnCommand(UINT nID, UINT nCode)
{
    if (nCode == BN_CLICKED) {
        switch (nID) {
        case IDC_BROWSE_UP:
            OnBrowseUpImage();
            return TRUE;
        case IDC_BROWSE_MOUSE:
            OnBrowseMouseImage();
            return TRUE;
        case IDC_BROWSE_DOWN:
            OnBrowseDownImage();
            return TRUE;
        case IDC_BROWSE_ACTION:
            OnBrowseAction();
            return TRUE;
        case IDC_FONT:
            OnFont();
            return TRUE;
        case IDC_HOT_TEXT_COLOR:
            OnHotTextColor();
            return TRUE;
        case IDC_TEXT_COLOR:
            OnTextColor();
            return TRUE;
        }
    }
    return CDialog::OnCommand(nID, nCode);
}

BOOL CObjectPropertiesDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CDesktopApp* app = DesktopApp();

    if (app->m_bInserting) {
        MakeDefaultName();
        m_edName.SetWindowText(m_strName);
        m_edUpImage.SetWindowText("");
        m_edMouseImage.SetWindowText("");
        m_edDownImage.SetWindowText("");
        m_edAction.SetWindowText("");
        m_edText.SetWindowText("");
        m_chkVisible.SetCheck(BST_CHECKED);
        CheckRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER, IDC_JUSTIFY_LEFT);
    } else {
        const DesktopObject& r = app->m_aObjects[app->m_nCurObject];
        m_edName.SetWindowText(r.strName);
        m_edUpImage.SetWindowText(r.strUpImage);
        m_edMouseImage.SetWindowText(r.strMouseImage);
        m_edDownImage.SetWindowText(r.strDownImage);
        m_edAction.SetWindowText(r.strAction);
        m_edText.SetWindowText(r.strText);
        m_chkVisible.SetCheck(r.bVisible ? BST_CHECKED : BST_UNCHECKED);
        m_chkTextOnMouseOver.SetCheck(r.bTextOnMouseOver ? BST_CHECKED : BST_UNCHECKED);
        CheckRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER, r.nJustify ? r.nJustify : IDC_JUSTIFY_LEFT);
    }

    m_cbActivate.AddString(" ");
    for (int i = 1; i < app->m_nObjects; i++) {
        if (!app->m_bInserting && i == app->m_nCurObject)
            continue;
        m_cbActivate.AddString(app->m_aObjects[i].strName);
    }

    if (!app->m_bInserting) {
        const DesktopObject& r = app->m_aObjects[app->m_nCurObject];
        if (r.strActivate.Compare(" ") > 0)
            m_cbActivate.SetCurSel(m_cbActivate.FindStringExact(0, r.strActivate));
    }

    // An object's action runs when it is clicked in Locked mode, so it can be
    // edited and browsed for.
    m_edAction.EnableWindow(TRUE);
    GetDlgItem(IDC_BROWSE_ACTION)->EnableWindow(TRUE);
    return TRUE;
}

void CObjectPropertiesDlg::BrowseInto(CPathEdit& edit)
{
    m_strBrowseText = edit.GetWindowText();
    BrowseForBitmap();
    if (!m_strBrowseResult.IsEmpty())
        edit.SetWindowText(m_strBrowseResult);
}

void CObjectPropertiesDlg::OnBrowseUpImage()
{
    BrowseInto(m_edUpImage);
}

void CObjectPropertiesDlg::OnBrowseMouseImage()
{
    BrowseInto(m_edMouseImage);
}

void CObjectPropertiesDlg::OnBrowseDownImage()
{
    BrowseInto(m_edDownImage);
}

// The chosen path replaces the action as it is: a path with spaces still
// names one file.
void CObjectPropertiesDlg::OnBrowseAction()
{
    m_strBrowseText = m_edAction.GetWindowText();
    BrowseForAction();
    if (!m_strBrowseResult.IsEmpty())
        m_edAction.SetWindowText(m_strBrowseResult);
}

void CObjectPropertiesDlg::BrowseForAction()
{
    m_strBrowseResult.Empty();
    m_strBrowseText.Trim();

    CString strFile;
    CString strDir = kApplicationsDir;
    if (const int p = m_strBrowseText.ReverseFind('/'); p >= 1) {
        strDir = m_strBrowseText.Left(p);
        strFile = m_strBrowseText.Mid(p + 1);
    }
    CFileDialog dlg(TRUE, nullptr, strFile, 0, kActionFilter, nullptr);
    dlg.m_ofn.lpstrInitialDir = strDir;
    if (dlg.DoModal() == IDOK)
        m_strBrowseResult = dlg.GetPathName();
}

void CObjectPropertiesDlg::BrowseForBitmap()
{
    m_strBrowseResult.Empty();
    m_strBrowseText.TrimLeft();

    CString strFile;
    CString strDir;
    // Chosen files come with '/', desktops made on Windows with backslashes.
    int p = std::max(m_strBrowseText.ReverseFind('\\'), m_strBrowseText.ReverseFind('/'));
    if (p >= 2) {
        strDir = m_strBrowseText.Left(p);
        strFile = m_strBrowseText.Mid(p + 1);
    }

    CFileDialog dlg(TRUE, "*.bmp", strFile, 0, kBitmapFilter, nullptr);
    char szInitialDir[kInitialDirSize] = {};
    // A folder longer than the buffer is not used.
    if (!strFile.IsEmpty() && strDir.GetLength() < kInitialDirSize) {
        std::memcpy(szInitialDir, LPCSTR(strDir), size_t(strDir.GetLength()));
        dlg.m_ofn.lpstrInitialDir = szInitialDir;
    }
    if (dlg.DoModal() == IDOK)
        m_strBrowseResult = dlg.GetPathName();
}

void CObjectPropertiesDlg::OnFont()
{
    CFontDialog dlg;
    dlg.m_cf.lpLogFont = &m_lf;
    dlg.m_cf.Flags = CF_SCREENFONTS | CF_ENABLEHOOK | CF_INITTOLOGFONTSTRUCT | CF_FORCEFONTEXIST;
    if (dlg.DoModal() == IDOK) {
        dlg.GetCurrentFont(&m_lf);
        DesktopApp()->m_lfDefault = m_lf;
    }
}

void CObjectPropertiesDlg::OnTextColor()
{
    CColorDialog dlg(0, 0, nullptr);
    dlg.m_cc.rgbResult = m_crText;
    dlg.m_cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_ANYCOLOR;
    if (dlg.DoModal() == IDOK) {
        m_crText = dlg.m_cc.rgbResult;
        DesktopApp()->m_crLastColor = m_crText;
        delete m_pbrText;
        m_pbrText = new CBrush(m_crText);
        InvalidateRect(nullptr, TRUE);
    }
}

void CObjectPropertiesDlg::OnHotTextColor()
{
    CColorDialog dlg(0, 0, nullptr);
    dlg.m_cc.rgbResult = m_crHotText;
    dlg.m_cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_ANYCOLOR;
    if (dlg.DoModal() == IDOK) {
        m_crHotText = dlg.m_cc.rgbResult;
        delete m_pbrHotText;
        m_pbrHotText = new CBrush(m_crHotText);
        InvalidateRect(nullptr, TRUE);
    }
}

HBRUSH CObjectPropertiesDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    auto* control = dynamic_cast<CControl*>(pWnd);
    const int id = control ? control->GetDlgCtrlID() : 0;
    if (id == IDC_TEXT_SWATCH) {
        pDC->SetBkMode(OPAQUE);
        pDC->SetBkColor(m_crText);
        return m_pbrText ? m_pbrText->GetSafeHandle() : nullptr;
    }
    if (id == IDC_HOT_TEXT_SWATCH) {
        pDC->SetBkMode(OPAQUE);
        pDC->SetBkColor(m_crHotText);
        return m_pbrHotText ? m_pbrHotText->GetSafeHandle() : nullptr;
    }
    return hbr;
}

void CObjectPropertiesDlg::OnDestroy()
{
    CDialog::OnDestroy();
    delete m_pbrText;
    m_pbrText = nullptr;
    delete m_pbrHotText;
    m_pbrHotText = nullptr;
}

void CObjectPropertiesDlg::OnOK()
{
    CDesktopApp* app = DesktopApp();

    // Every check runs, each with its own message.
    BOOL bValid = TRUE;
    CString strText = m_edName.GetWindowText();
    if (CheckName(strText))
        m_strName = strText;
    else
        bValid = FALSE;
    if (!CheckFileExists(m_edUpImage.GetWindowText(), "Up Image"))
        bValid = FALSE;
    if (!CheckFileExists(m_edDownImage.GetWindowText(), "Down Image"))
        bValid = FALSE;
    if (!CheckFileExists(m_edMouseImage.GetWindowText(), "Mouse Image"))
        bValid = FALSE;
    if (!bValid)
        return;

    const BOOL bInserting = app->m_bInserting;
    const int k = bInserting ? app->m_nObjects : app->m_nCurObject;
    DesktopObject& r = app->m_aObjects[k];
    ObjectRuntime& s = app->m_aRuntime[k];

    if (!bInserting && m_strName.Compare(r.strName) != 0) {
        for (int i = 1; i < app->m_nObjects; i++)
            if (app->m_aObjects[i].strActivate.Compare(r.strName) == 0)
                app->m_aObjects[i].strActivate = m_strName;
    }
    r.strName = m_strName;

    strText = m_edUpImage.GetWindowText();
    if (!bInserting && strText.Compare(r.strUpImage) != 0)
        app->m_bImagesChanged = TRUE;
    r.strUpImage = strText;
    strText = m_edDownImage.GetWindowText();
    if (!bInserting && strText.Compare(r.strDownImage) != 0)
        app->m_bImagesChanged = TRUE;
    r.strDownImage = strText;
    strText = m_edMouseImage.GetWindowText();
    if (!bInserting && strText.Compare(r.strMouseImage) != 0)
        app->m_bImagesChanged = TRUE;
    r.strMouseImage = strText;

    r.strAction = m_edAction.GetWindowText();
    r.strActivate = m_cbActivate.GetWindowText();

    s.nActivates = 0;
    if (r.strActivate.Compare(" ") > 0) {
        for (int i = 1; i < app->m_nObjects; i++) {
            if (app->m_aObjects[i].strName.Compare(r.strActivate) == 0) {
                s.nActivates = i;
                break;
            }
        }
    }

    r.bVisible = m_chkVisible.GetCheck() == BST_CHECKED;
    s.bVisible = r.bVisible;

    if (!bInserting) {
        if (m_crText != r.crText) {
            r.crText = m_crText;
            r.dwTextPixel = MatchColor(*app, m_crText);
        }
        if (m_crHotText != r.crHotText) {
            r.crHotText = m_crHotText;
            r.dwHotTextPixel = MatchColor(*app, m_crHotText);
        }
        r.lfFont = m_lf;
        r.strText = m_edText.GetWindowText();
        r.nJustify = GetCheckedRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER);
        r.bTextOnMouseOver = m_chkTextOnMouseOver.GetCheck() == BST_CHECKED;
        app->m_bTextChanged = TRUE;
    }

    r.dwReserved = 0;

    if (bInserting) {
        r.strText = m_edText.GetWindowText();
        r.rcText = RECT();
        r.lfFont = m_lf;
        r.nJustify = GetCheckedRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER);
        r.crText = m_crText;
        r.dwTextPixel = MatchColor(*app, m_crText);
        r.crHotText = m_crHotText;
        r.dwHotTextPixel = MatchColor(*app, m_crHotText);
        r.bTextOnMouseOver = m_chkTextOnMouseOver.GetCheck() == BST_CHECKED;
        r.rcObject = RECT { app->m_ptContext.x, app->m_ptContext.y, 0, 0 };
        s.bSelected = FALSE;
        s.nState = 1;
        s.pUp = nullptr;
        s.pDown = nullptr;
        s.pMouse = nullptr;
        s.pText = nullptr;
        s.pTextHot = nullptr;
        app->m_nObjects = app->m_nObjects + 1;
    }

    CDialog::OnOK();
}

void CObjectPropertiesDlg::MakeDefaultName()
{
    CDesktopApp* app = DesktopApp();
    int n = 1;
    m_strName.Format("object%d", n);
    for (int i = 0; i < app->m_nObjects; i++) {
        // Stored names keep their white space: compare them trimmed.
        CString strOther = app->m_aObjects[i].strName;
        if (m_strName.Compare(strOther.Trim().MakeLower()) == 0) {
            n = n + 1;
            m_strName.Format("object%d", n);
            i = -1;
        }
    }
}

BOOL CObjectPropertiesDlg::CheckFileExists(CString path, CString label)
{
    path.Trim();
    // A bare name is an icon of the user's icon theme, found there or not at all.
    if (!path.IsEmpty() && !CFile::GetStatus(path, m_fileStatus) && !ThemeIconExists(path)) {
        AfxMessageBox("Unable to find '" + label + "' file:\n\n" + path, MB_OK, 0);
        return FALSE;
    }
    return TRUE;
}

BOOL CObjectPropertiesDlg::CheckName(CString name)
{
    CDesktopApp* app = DesktopApp();
    m_strName = name;
    m_strName.Trim();
    if (m_strName.Compare(" ") < 0) {
        AfxMessageBox("Object must have a name", MB_OK, 0);
        return FALSE;
    }
    m_strName.MakeLower();
    for (int i = 0; i < app->m_nObjects; i++) {
        // Stored names keep their white space: compare them trimmed too.
        CString strOther = app->m_aObjects[i].strName;
        if (m_strName.Compare(strOther.Trim().MakeLower()) == 0) {
            if (!app->m_bInserting && i == app->m_nCurObject)
                return TRUE;
            AfxMessageBox("The name '" + name + "' already exists.\n\nPlease select another name", MB_OK, 0);
            return FALSE;
        }
    }
    return TRUE;
}
