#include "dialogs/DesktopSettingsDlg.h"

#include "app/DesktopApp.h"
#include "dialogs/ColorMatch.h"
#include "files/DesktopFile.h"
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
constexpr LPCSTR kDesktopFilter = "Desktop Files (*.orv)|*.orv||";
// The choosers' initial folder is held in a buffer of this many characters.
constexpr int kInitialDirSize = 300;

void PrepareSurfaceDesc(CDesktopApp* app)
{
    app->m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app->m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
}

// Where a path splits into folder and name: its last backslash, as desktops
// made on Windows write it, or its last '/', as chosen files come.
int LastSeparator(const CString& path)
{
    return std::max(path.ReverseFind('\\'), path.ReverseFind('/'));
}

// Opens the chooser; the folder is used only when it fits its buffer.
CString RunFileDialog(BOOL bOpen, LPCSTR defExt, const CString& strFile, const CString* pDir, LPCSTR filter)
{
    CFileDialog dlg(bOpen, defExt, strFile, 0, filter, nullptr);
    char szInitialDir[kInitialDirSize] = {};
    if (pDir && pDir->GetLength() < kInitialDirSize) {
        std::memcpy(szInitialDir, LPCSTR(*pDir), size_t(pDir->GetLength()));
        dlg.m_ofn.lpstrInitialDir = szInitialDir;
    }
    if (dlg.DoModal() == IDOK)
        return dlg.GetPathName();
    return CString();
}

} // namespace

CDesktopSettingsDlg::CDesktopSettingsDlg(CWnd* pParent)
    : CDialog(IDD_DESKTOP_SETTINGS, pParent)
{
    CDesktopApp* app = DesktopApp();
    m_crColor = app->m_crBackground;
    m_pbrColor = new CBrush(m_crColor);
    m_strSavedDesktopFile = app->m_strDesktopFile;
}

// The brush normally goes in OnDestroy; this covers a dialog never shown.
CDesktopSettingsDlg::~CDesktopSettingsDlg()
{
    delete m_pbrColor;
}

void CDesktopSettingsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TILE, m_chkTile);
    DDX_Control(pDX, IDC_BACKGROUND, m_edBackground);
    DDX_Control(pDX, IDC_DESKTOP, m_edDesktop);
}

BOOL CDesktopSettingsDlg::OnCommand(UINT nID, UINT nCode)
{
    if (nCode == BN_CLICKED) {
        switch (nID) {
        case IDC_BROWSE_BACKGROUND:
            OnBrowse();
            return TRUE;
        case IDC_SAVE:
            OnSave();
            return TRUE;
        case IDC_SAVE_AS:
            OnSaveAs();
            return TRUE;
        case IDC_NEW:
            OnNew();
            return TRUE;
        case IDC_LOAD:
            OnLoad();
            return TRUE;
        case IDC_BACK_COLOR:
            OnColor();
            return TRUE;
        case IDC_REFRESH:
            OnRefresh();
            return TRUE;
        }
    }
    return CDialog::OnCommand(nID, nCode);
}

BOOL CDesktopSettingsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CDesktopApp* app = DesktopApp();
    const CString& path = app->m_strDesktopFile;
    m_edDesktop.SetWindowText(path.Mid(LastSeparator(path) + 1));
    m_edBackground.SetWindowText(app->m_aObjects[0].strUpImage);
    m_chkTile.SetCheck(app->m_bTile ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void CDesktopSettingsDlg::ReleaseAll()
{
    CDesktopApp* app = DesktopApp();
    for (int i = 0; i < app->m_nObjects; i++) {
        app->ReleaseObjectImages(i);
        app->ReleaseCaptionSurfaces(i);
    }
    app->ReleaseTileSurface();
}

void CDesktopSettingsDlg::RebuildAll()
{
    CDesktopApp* app = DesktopApp();
    PrepareSurfaceDesc(app);
    app->BeginImageChecks();
    for (int i = 0; i < app->m_nObjects; i++) {
        app->LoadObjectImages(i);
        app->CreateCaptionSurfaces(i);
        app->SetObjectColorKeys(i);
    }
    app->ReportImageChecks();
    app->UpdateTileSurface();
    app->ResolveActivationLinks();
    app->ApplyVisibility();
}

// After New the desktop has no record in use; no flow may end like that, so
// the reset background comes into use as OK would bring it.
void CDesktopSettingsDlg::RestoreBackgroundInUse()
{
    CDesktopApp* app = DesktopApp();
    if (app->m_nObjects == 0) {
        ResetBackgroundObject();
        app->m_nObjects = 1;
    }
}

// OK's steps before it closes; Save and Save As take them too, so that what
// the dialog shows is what gets saved. FALSE, with nothing applied, when the
// background picture cannot be found.
BOOL CDesktopSettingsDlg::ApplyHeldEdits()
{
    CDesktopApp* app = DesktopApp();

    if (!CheckFileExists(m_edBackground.GetWindowText(), "Background Image"))
        return FALSE;

    CString strText = m_edBackground.GetWindowText();
    if (strText.Compare(app->m_aObjects[0].strUpImage) != 0) {
        app->ReleaseObjectImages(0);
        app->m_aObjects[0].strUpImage = strText;
        PrepareSurfaceDesc(app);
        app->LoadObjectImages(0);
        app->SetObjectColorKeys(0);
    }

    app->m_bTile = m_chkTile.GetCheck() == BST_CHECKED;
    app->UpdateTileSurface();

    if (app->m_nObjects == 0)
        app->m_nObjects = 1;

    if (m_crColor != app->m_crBackground) {
        app->m_crBackground = m_crColor;
        app->m_dwBackPixel = MatchColor(*app, m_crColor);
    }
    return TRUE;
}

void CDesktopSettingsDlg::OnOK()
{
    if (ApplyHeldEdits())
        CDialog::OnOK();
}

// After New the desktop that was in memory comes back, unsaved edits
// included, rather than being read again from its file; New changed only the
// background record and the table's size.
void CDesktopSettingsDlg::OnCancel()
{
    CDesktopApp* app = DesktopApp();
    if (m_bReplacedDesktop) {
        app->m_strDesktopFile = m_strSavedDesktopFile;
        if (m_bHaveDesktopBeforeNew) {
            app->m_aObjects[0] = m_backgroundBeforeNew;
            ObjectRuntime& s = app->m_aRuntime[0];
            s.bSelected = m_backgroundSlotBeforeNew.bSelected;
            s.bVisible = m_backgroundSlotBeforeNew.bVisible;
            s.nState = m_backgroundSlotBeforeNew.nState;
            s.nActivates = m_backgroundSlotBeforeNew.nActivates;
            app->m_nObjects = m_nObjectsBeforeNew;
            m_bReplacedDesktop = FALSE;
        }
        RestoreBackgroundInUse();
        RebuildAll();
    }
    CDialog::OnCancel();
}

// Whatever the pointer was doing named objects of the desktop that is gone.
void CDesktopSettingsDlg::EndInteraction()
{
    CDesktopApp* app = DesktopApp();
    app->m_bDragImage = FALSE;
    app->m_bDragText = FALSE;
    app->m_bRubberBand = FALSE;
    app->m_bShowSelection = FALSE;
    app->m_nPressedImage = 0;
    app->m_nPressedText = 0;
    app->m_nHoverObject = 0;
}

void CDesktopSettingsDlg::OnNew()
{
    CDesktopApp* app = DesktopApp();
    // A second New keeps the desktop Cancel goes back to.
    const bool bHadDesktop = app->m_nObjects > 0;
    if (bHadDesktop) {
        m_bHaveDesktopBeforeNew = TRUE;
        m_nObjectsBeforeNew = app->m_nObjects;
        m_backgroundBeforeNew = app->m_aObjects[0];
        m_backgroundSlotBeforeNew = app->m_aRuntime[0];
    }
    ReleaseAll();
    ResetBackgroundObject();
    m_edDesktop.SetWindowText("new.orv");
    app->m_nObjects = 0;
    app->m_bDragImage = FALSE;
    app->m_bDragText = FALSE;
    app->m_nPressedImage = 0;
    app->m_nHoverObject = 0;
    if (bHadDesktop)
        m_strSavedDesktopFile = app->m_strDesktopFile;
    app->m_strDesktopFile = app->DesktopsFolder() + "\\new.orv";
    m_edBackground.SetWindowText("");
    m_bReplacedDesktop = TRUE;
}

void CDesktopSettingsDlg::ResetBackgroundObject()
{
    CDesktopApp* app = DesktopApp();
    DesktopObject& r = app->m_aObjects[0];
    r.strName = "Background";
    r.dwReserved = 0;
    r.strText.Empty();
    r.rcText = RECT();
    r.lfFont = app->m_lfDefault;
    r.dwTextPixel = 0;
    r.crText = 0;
    r.dwHotTextPixel = 0;
    r.crHotText = 0;
    r.nJustify = 0;
    r.strUpImage.Empty();
    r.strDownImage.Empty();
    r.strMouseImage.Empty();
    r.rcObject = RECT();
    r.strActivate.Empty();
    r.bVisible = TRUE;
    r.bTextOnMouseOver = FALSE;
    r.strAction.Empty();

    ObjectRuntime& s = app->m_aRuntime[0];
    s.bSelected = FALSE;
    s.bVisible = TRUE;
    s.nState = 1;
}

void CDesktopSettingsDlg::OnLoad()
{
    CDesktopApp* app = DesktopApp();
    BrowseForDesktopFile(TRUE);
    if (m_strBrowseResult.IsEmpty())
        return;
    if (!CheckFileExists(m_strBrowseResult, "desktop"))
        return;
    // The file is read before anything is released: one that cannot be read
    // leaves the desktop, its file name, its mode and its history as they
    // were (after New, the new desktop with its background).
    DesktopData desktop;
    if (ReadDesktopFile(m_strBrowseResult, desktop)) {
        app->m_strDesktopFile = m_strBrowseResult;
        m_bReplacedDesktop = TRUE;
        ReleaseAll();
        app->m_nObjects = 0;
        TakeLoadedDesktop(*app, desktop);
        EndInteraction();
        // A file that held no records still leaves the background in use.
        RestoreBackgroundInUse();
        RebuildAll();
        // Linking hides targets in the records: that is the file as loaded, not an edit.
        app->m_abSavedDesktop = app->DesktopBytes();
    } else if (app->m_nObjects == 0) {
        RestoreBackgroundInUse();
        RebuildAll();
    }
    CDialog::OnOK();
}

void CDesktopSettingsDlg::OnSave()
{
    if (!ApplyHeldEdits())
        return;
    DesktopApp()->SaveDesktop();
    CDialog::OnOK();
}

// The chosen file becomes the current one only once it has been written.
void CDesktopSettingsDlg::OnSaveAs()
{
    CDesktopApp* app = DesktopApp();
    BrowseForDesktopFile(FALSE);
    if (m_strBrowseResult.IsEmpty())
        return;
    if (!ApplyHeldEdits())
        return;
    if (SaveDesktopFile(*app, m_strBrowseResult))
        app->m_strDesktopFile = m_strBrowseResult;
    CDialog::OnOK();
}

// Every image and caption is read again; no record changes, so the edits
// stay undoable.
void CDesktopSettingsDlg::OnRefresh()
{
    ReleaseAll();
    RestoreBackgroundInUse();
    RebuildAll();
    CDialog::OnOK();
}

void CDesktopSettingsDlg::OnBrowse()
{
    BrowseForBitmap(TRUE);
    if (!m_strBrowseResult.IsEmpty())
        m_edBackground.SetWindowText(m_strBrowseResult);
}

void CDesktopSettingsDlg::BrowseForBitmap(BOOL bOpen)
{
    m_strBrowseResult.Empty();
    CString t = m_edBackground.GetWindowText();
    t.Trim();
    if (t.Compare(" ") < 0)
        t = "*.bmp";

    CString strDir;
    bool bHaveDir = false;
    if (t.Compare("*.bmp") != 0) {
        int p = LastSeparator(t);
        if (p < 2) {
            t.Empty();
        } else {
            strDir = t.Left(p);
            t = t.Mid(p + 1);
            bHaveDir = true;
        }
    }
    const bool bUseDir = bHaveDir && t.Compare("*.bmp") != 0;
    m_strBrowseResult = RunFileDialog(bOpen, "*.bmp", t, bUseDir ? &strDir : nullptr, kBitmapFilter);
}

void CDesktopSettingsDlg::BrowseForDesktopFile(BOOL bOpen)
{
    m_strBrowseResult.Empty();
    CString t = DesktopApp()->m_strDesktopFile;
    CString strDir;
    int p = LastSeparator(t);
    if (p < 2) {
        t.Empty();
    } else {
        strDir = t.Left(p);
        t = t.Mid(p + 1);
    }
    m_strBrowseResult = RunFileDialog(bOpen, "*.orv", t, t.IsEmpty() ? nullptr : &strDir, kDesktopFilter);
}

BOOL CDesktopSettingsDlg::CheckFileExists(CString path, CString label)
{
    path.Trim();
    // A bare name is an icon of the user's icon theme, found there or not at all.
    if (!path.IsEmpty() && !CFile::GetStatus(path, m_fileStatus) && !ThemeIconExists(path)) {
        AfxMessageBox("Unable to find '" + label + "' file:\n\n" + path, MB_OK, 0);
        return FALSE;
    }
    return TRUE;
}

void CDesktopSettingsDlg::OnColor()
{
    CColorDialog dlg(0, 0, nullptr);
    dlg.m_cc.rgbResult = m_crColor;
    dlg.m_cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_ANYCOLOR;
    if (dlg.DoModal() == IDOK) {
        m_crColor = dlg.m_cc.rgbResult;
        delete m_pbrColor;
        m_pbrColor = new CBrush(m_crColor);
        InvalidateRect(nullptr, TRUE);
    }
}

HBRUSH CDesktopSettingsDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    auto* control = dynamic_cast<CControl*>(pWnd);
    if (control && control->GetDlgCtrlID() == IDC_BACK_SWATCH) {
        pDC->SetBkMode(OPAQUE);
        pDC->SetBkColor(m_crColor);
        return m_pbrColor ? m_pbrColor->GetSafeHandle() : nullptr;
    }
    return hbr;
}

void CDesktopSettingsDlg::OnDestroy()
{
    CDialog::OnDestroy();
    delete m_pbrColor;
    m_pbrColor = nullptr;
}
