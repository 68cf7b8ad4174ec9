#include "app/DesktopApp.h"

#include "dialogs/DesktopSettingsDlg.h"
#include "dialogs/ObjectPropertiesDlg.h"
#include "platform/MessageBox.h"

// The entry points that run the properties and settings dialogs.

namespace {

void PrepareSurfaceDesc(CDesktopApp& app)
{
    app.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app.m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
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
