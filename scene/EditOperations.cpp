#include "app/DesktopApp.h"

#include "dialogs/ColorMatch.h"
#include "dialogs/DesktopSettingsDlg.h"
#include "dialogs/ObjectPropertiesDlg.h"
#include "platform/MessageBox.h"
#include "res/resource.h"

// The entry points that run the properties and settings dialogs.

namespace {

void PrepareSurfaceDesc(CDesktopApp& app)
{
    app.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app.m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
}

// `base`, or else base.1, base.2, ...: the first no object's name equals,
// ignoring case and surrounding white space.
CString UniqueName(const CDesktopApp& app, CString base)
{
    base.Trim();
    if (base.IsEmpty())
        base = "object";
    const auto taken = [&](CString name) {
        name.MakeLower();
        for (int i = 0; i < app.m_nObjects; i++) {
            CString other = app.m_aObjects[i].strName;
            if (other.Trim().MakeLower() == name)
                return true;
        }
        return false;
    };
    CString name = base;
    for (int k = 1; taken(name); k++)
        name.Format("%s.%d", LPCSTR(base), k);
    return name;
}

} // namespace

void CDesktopApp::InsertObject()
{
    if (m_nObjects == m_nMaxObjects) {
        AfxMessageBox("Unable to insert new object:\nDesktop contains maximum objects allowed.", MB_OK, 0);
        return;
    }

    const int n = m_nObjects;
    m_bClipboardFull = FALSE;
    m_bInserting = TRUE;
    {
        CObjectPropertiesDlg dlg;
        dlg.DoModal();
    }
    m_bInserting = FALSE;

    if (m_nObjects != n) {
        PrepareSurfaceDesc(*this);
        LoadObjectImages(n);
        CreateCaptionSurfaces(n);
        SetObjectColorKeys(n);
        ComposeScene();
        m_history.RecordEdit(*this);
    }
}

void CDesktopApp::InsertDroppedObject(
    const CString& strItem, const CString& strName, const CString& strPicture, POINT pt)
{
    const int n = m_nObjects;
    DesktopObject& r = m_aObjects[n];
    ObjectRuntime& s = m_aRuntime[n];
    r = DesktopObject();
    r.strName = UniqueName(*this, strName);
    r.strUpImage = strPicture;
    r.strAction = strItem;
    r.strText = strName;
    r.rcObject = RECT { pt.x, pt.y, 0, 0 };
    r.lfFont = m_lfDefault;
    r.nJustify = IDC_JUSTIFY_LEFT;
    r.crText = m_crLastColor;
    r.dwTextPixel = MatchColor(*this, r.crText);
    r.crHotText = m_crLastColor;
    r.dwHotTextPixel = r.dwTextPixel;
    r.bVisible = TRUE;
    s = ObjectRuntime();
    s.bVisible = TRUE;
    s.nState = 1;
    m_nObjects = n + 1;
    PrepareSurfaceDesc(*this);
    LoadObjectImages(n);
    CreateCaptionSurfaces(n);
    SetObjectColorKeys(n);
}

void CDesktopApp::EditObjectProperties()
{
    const int c = m_nCurObject;
    m_bClipboardFull = FALSE;
    m_bInserting = FALSE;
    m_bImagesChanged = FALSE;
    m_bTextChanged = FALSE;
    {
        CObjectPropertiesDlg dlg;
        dlg.DoModal();
    }

    if (m_bImagesChanged) {
        PrepareSurfaceDesc(*this);
        ReleaseObjectImages(c);
        LoadObjectImages(c);
    }
    if (m_bTextChanged) {
        ReleaseCaptionSurfaces(c);
        CreateCaptionSurfaces(c);
    }
    if (m_bImagesChanged || m_bTextChanged) {
        SetObjectColorKeys(c);
        ComposeScene();
        m_history.RecordEdit(*this);
    }
}

void CDesktopApp::EditDesktopSettings()
{
    m_bClipboardFull = FALSE;
    m_bInserting = FALSE;
    PrepareSurfaceDesc(*this);
    {
        CDesktopSettingsDlg dlg;
        dlg.DoModal();
        // New and Load replace the desktop; what came before cannot be undone
        // into it. Anything else, Cancel after New included, keeps the history.
        if (dlg.m_bReplacedDesktop)
            m_history.Clear(*this);
        else
            m_history.RecordEdit(*this);
    }
    ComposeScene();
}
