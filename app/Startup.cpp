#include "app/DesktopApp.h"
#include "app/StartOptions.h"

#include "bitmaps/DDUtil.h"
#include "dialogs/SplashDlg.h"
#include "files/DesktopFile.h"
#include "platform/CArchive.h"
#include "platform/CFile.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Pictures.h"
#include "platform/Screen.h"
#include "platform/SessionEnd.h"
#include "platform/ShellFolders.h"
#include "res/resource.h"
#include "window/MainFrame.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {
std::optional<CString> g_startDesktopFile;

// Where an ended session keeps an unsaved desktop: the desktop file's bytes,
// then the name of the file it belongs to.
CString RecoveryFile(BOOL bCreate)
{
    const CString strFolder = GetStateFolder(bCreate);
    return strFolder.IsEmpty() ? strFolder : strFolder + "\\recovery.orv";
}

// The user may make files in `folder` (or, when it is not there, in the
// folder that would hold it): tried, since permissions alone do not tell
// about read-only mounts.
bool CanWriteFolder(QString folder)
{
    if (!QDir(folder).exists())
        folder = QFileInfo(folder).path();
    QTemporaryFile probe(folder + QStringLiteral("/.orvanta-XXXXXX"));
    return probe.open();
}

// The picture files step 13 loads, in the order it loads them.
std::vector<std::string> ObjectImagePaths(const CDesktopApp& app)
{
    std::vector<std::string> paths;
    for (int i = 0; i < app.m_nObjects; i++) {
        const DesktopObject& r = app.m_aObjects[i];
        if (r.strUpImage.Compare(" ") > 0)
            paths.push_back(r.strUpImage.str());
        for (const CString* strImage : { &r.strDownImage, &r.strMouseImage }) {
            if (!strImage->IsEmpty())
                paths.push_back(strImage->str());
        }
    }
    return paths;
}

CString FileTitle(const CString& strPath)
{
    return strPath.Mid(std::max(strPath.ReverseFind('\\'), strPath.ReverseFind('/')) + 1);
}
}

void SetStartDesktopFile(std::optional<CString> path)
{
    g_startDesktopFile = std::move(path);
}

const std::optional<CString>& StartDesktopFile()
{
    return g_startDesktopFile;
}

void CDesktopApp::FindDesktopsFolder()
{
    const QString programFolder = QString::fromStdString(m_strAppDir.str()) + QStringLiteral("/desktops");
    m_strDesktopsDir = m_strAppDir + "\\desktops";
    if (CanWriteFolder(programFolder))
        return;
    char szData[MAX_PATH];
    if (SHGetFolderPath(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, szData) != S_OK) {
        std::fprintf(stderr, "Orvanta: no folder of your own for desktops (XDG_DATA_HOME, HOME)\n");
        return;
    }
    const QString userFolder = QFile::decodeName(szData) + QStringLiteral("/orvanta/desktops");
    if (!QDir().mkpath(userFolder)) {
        std::fprintf(stderr, "Orvanta: %s could not be made\n", qPrintable(userFolder));
        return;
    }
    // The first start begins with a copy of the program's default; one the
    // user already has is never replaced. A failed copy leaves nothing
    // behind, and start-up reads the program's default.
    const QString userDefault = userFolder + QStringLiteral("/default.orv");
    const QString programDefault = programFolder + QStringLiteral("/default.orv");
    if (!QFile::exists(userDefault) && QFile::exists(programDefault)) {
        // The copy takes the installed file's mode; the user saves over it.
        if (QFile::copy(programDefault, userDefault))
            QFile::setPermissions(userDefault, QFile::permissions(userDefault) | QFileDevice::WriteOwner);
        else
            std::fprintf(stderr, "Orvanta: the default desktop could not be copied to %s\n", qPrintable(userDefault));
    }
    m_strDesktopsDir = CString(QFile::encodeName(userFolder).toStdString());
}

BOOL CDesktopApp::InitInstance()
{
    // 1. Framework settings.
    AfxEnableControlContainer();
    Enable3dControls();
    SetRegistryKey("Local AppWizard-Generated Applications");
    LoadStdProfileSettings(4);

    // 2. No object holds a surface yet.
    for (ObjectRuntime& slot : m_aRuntime) {
        slot.pUp = nullptr;
        slot.pDown = nullptr;
        slot.pMouse = nullptr;
        slot.pText = nullptr;
        slot.pTextHot = nullptr;
    }

    m_bStartupDone = FALSE;
    m_bPaintDeferred = FALSE;

    // 3. The desktop window.
    CMainFrame* pFrame = CMainFrame::CreateObject();
    if (!pFrame)
        return FALSE;
    if (!pFrame->LoadFrame(IDR_MAINFRAME, WS_POPUP | WS_SYSMENU, nullptr, nullptr)) {
        delete pFrame;
        return FALSE;
    }
    m_pMainWnd = pFrame;

    // 4. The work area.
    RECT rcWorkArea;
    if (!SystemParametersInfo(SPI_GETWORKAREA, 0, &rcWorkArea, 0)) {
        AfxMessageBox("Unable to get workarea dimensions", MB_OK, 0);
        return FALSE;
    }

    // 5. The window covers the work area. Its size is the work area's, so a
    // work area that does not start at the screen's corner is covered
    // exactly rather than overhanging the screen's far edges.
    pFrame->SetWindowPos(nullptr, rcWorkArea.left, rcWorkArea.top, rcWorkArea.right - rcWorkArea.left,
        rcWorkArea.bottom - rcWorkArea.top, SWP_SHOWWINDOW);
    HWND hWnd = pFrame->GetSafeHwnd();

    // 6. The program folder: the executable's folder, keeping its case (the
    // file system tells names apart by case).
    // (Room for any path the system allows, not just the classic 260.)
    char szModule[4096] = {};
    GetModuleFileName(nullptr, szModule, sizeof szModule);
    CString strModule(szModule);
    m_strAppDir = strModule.Left(strModule.ReverseFind('/'));
    FindDesktopsFolder();

    // 7. The two paths; a desktop named on the command line replaces the
    // default one, and the user's own default the program's (unless it could
    // not be made). A palette path that does not fit is not kept: the
    // built-in palette serves instead.
    CFileStatus status;
    const CString strUserDefault = DesktopsFolder() + "\\default.orv";
    m_strDesktopFile = StartDesktopFile().value_or(
        CFile::GetStatus(strUserDefault, status) ? strUserDefault : m_strAppDir + "\\desktops\\default.orv");
    CString strPalettePath = m_strAppDir + "\\res\\palette.bmp";
    m_szPalettePath[0] = '\0';
    if (strPalettePath.GetLength() < int(sizeof m_szPalettePath))
        std::memcpy(m_szPalettePath, LPCSTR(strPalettePath), size_t(strPalettePath.GetLength()) + 1);

    // 8. Start values.
    m_nMaxObjects = kTableSize - 1;
    m_ptLast = POINT {};
    m_sizeDrag = SIZE {};
    m_bDragImage = FALSE;
    m_bDragText = FALSE;
    m_cxScreen = m_cxDesktop = GetSystemMetrics(SM_CXSCREEN);
    m_cyScreen = m_cyDesktop = GetSystemMetrics(SM_CYSCREEN);
    m_rcScreen = RECT { 0, 0, m_cxScreen, m_cyScreen };
    m_bLocked = TRUE;
    m_nPressedImage = 0;
    m_nPressedText = 0;
    m_nHoverObject = 0;
    m_bInserting = FALSE;
    m_bClipboardFull = FALSE;
    m_bImagesChanged = FALSE;
    m_bTextChanged = FALSE;
    m_bRubberBand = FALSE;
    m_bShowSelection = FALSE;
    m_astrCaptionLines.RemoveAll();
    m_crLastColor = RGB(255, 255, 255);
    m_bSplashPending = TRUE;
    m_pDDSTile = nullptr;
    m_pDDSTextWork = nullptr;
    m_pDDSColor = nullptr;

    // 9. The default desktop; a failure has been reported and start-up goes on.
    LoadDesktop();
    // What the last session left unsaved may take its place.
    const BOOL bRecovered = OfferRecovery();
    // The desktop's pictures are decoded on other threads while the display
    // is made; step 13 takes them, and what it does not take goes after it.
    std::optional<PicturePrefetch> prefetch(std::in_place, ObjectImagePaths(*this));

    // 10. The display.
    if (!CreateDisplay(hWnd))
        return FALSE;

    // 11. The palette; without a palette path the loader's built-in one.
    if (IDirectDrawPalette* pPalette = DDLoadPalette(m_pDD, m_szPalettePath[0] ? m_szPalettePath : nullptr)) {
        m_pDDPal = pPalette;
        m_pDDSPrimary->SetPalette(m_pDDPal);
    }

    // 12. The colour surface; a failure has been reported and start-up goes on.
    CreateColorSurface();

    // 13. Every record's images, captions and colour keys.
    m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    BeginImageChecks();
    for (int i = 0; i < m_nObjects; i++) {
        LoadObjectImages(i);
        CreateCaptionSurfaces(i);
        SetObjectColorKeys(i);
    }
    ReportImageChecks();
    prefetch.reset();

    // 14. Tiling, Mouse Activate links and visibility.
    UpdateTileSurface();
    ResolveActivationLinks();
    ApplyVisibility();
    m_history.Clear(*this);
    // Hiding link targets is no edit of the user's: the desktop as it now
    // stands is the saved one, a recovered one excepted.
    if (!bRecovered)
        m_abSavedDesktop = DesktopBytes();

    // 15. The desktop ends where the work area does.
    m_cxDesktop = rcWorkArea.right;
    m_cyDesktop = rcWorkArea.bottom;

    // A paint that came during one of start-up's message boxes is made now.
    m_bStartupDone = TRUE;
    if (m_bPaintDeferred)
        pFrame->InvalidateRect(nullptr);
    return TRUE;
}

void CDesktopApp::ShowSplash()
{
    m_bSplashPending = FALSE;
    CSplashDlg dlg;
    dlg.DoModal();
    if (auto* frame = dynamic_cast<CMainFrame*>(m_pMainWnd))
        frame->FollowPointer();
}

BOOL CDesktopApp::IsDesktopModified() const
{
    return DesktopBytes() != m_abSavedDesktop ? TRUE : FALSE;
}

void CDesktopApp::WriteRecovery()
{
    if (!IsDesktopModified()) {
        DiscardRecovery();
        return;
    }
    const CString strPath = RecoveryFile(TRUE);
    const std::vector<BYTE> abDesktop = DesktopBytes();
    CFile file;
    BOOL bWritten = !strPath.IsEmpty() && file.Open(strPath, CFile::modeCreate | CFile::modeWrite);
    if (bWritten) {
        CArchive ar(&file, CArchive::store);
        ar.Write(abDesktop.data(), UINT(abDesktop.size()));
        ar << m_strDesktopFile;
        ar.Close();
        bWritten = !ar.Failed() && file.Close();
    }
    // The session is ending: nobody is there to read a message box.
    if (!bWritten) {
        std::fprintf(stderr, "Orvanta: the unsaved desktop could not be kept in %s\n",
            strPath.IsEmpty() ? "the state folder" : LPCSTR(strPath));
        return;
    }
    m_bWroteRecovery = TRUE;
}

void CDesktopApp::DiscardRecovery()
{
    if (m_bWroteRecovery)
        CFile::Remove(RecoveryFile(FALSE));
    m_bWroteRecovery = FALSE;
}

BOOL CDesktopApp::OfferRecovery()
{
    CFileStatus status;
    const CString strPath = RecoveryFile(FALSE);
    if (!m_bKeepRecovery || strPath.IsEmpty() || !CFile::GetStatus(strPath, status))
        return FALSE;

    // Read whole before anything is asked: only a usable file is offered.
    DesktopData desktop;
    DesktopReadError error { 0, "the file cannot be opened" };
    CString strOriginal;
    BOOL bUsable = FALSE;
    CFile file;
    if (file.Open(strPath, CFile::modeRead)) {
        CArchive ar(&file, CArchive::load);
        if (ReadDesktop(ar, desktop, &error)) {
            ar >> strOriginal;
            bUsable = !ar.Failed() && !strOriginal.IsEmpty();
            error = { ar.GetPosition(), "no desktop file name" };
        }
        ar.Close();
        file.Close();
    }
    if (!bUsable) {
        std::fprintf(stderr, "Orvanta: %s is damaged (%s at byte %llu) and is not offered\n", LPCSTR(strPath),
            error.reason.c_str(), static_cast<unsigned long long>(error.offset));
        CFile::Remove(strPath);
        return FALSE;
    }

    const int nAnswer = AfxMessageBox(
        "The last session ended with unsaved changes to " + FileTitle(strOriginal) + ". Restore them?", MB_YESNO, 0);
    BOOL bRecovered = FALSE;
    if (nAnswer == IDYES) {
        // Read as any desktop file is, then owned by the file it came from.
        const CString strStart = m_strDesktopFile;
        const std::vector<BYTE> abSaved = std::exchange(m_abSavedDesktop, {});
        m_strDesktopFile = strPath;
        LoadDesktop();
        bRecovered = !m_abSavedDesktop.empty();
        m_strDesktopFile = bRecovered ? strOriginal : strStart;
        m_abSavedDesktop = bRecovered ? std::vector<BYTE>() : abSaved;
    }
    CFile::Remove(strPath);
    return bRecovered;
}
