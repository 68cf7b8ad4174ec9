#include "app/DesktopApp.h"
#include "platform/CFile.h"
#include "platform/DropFiles.h"
#include "platform/MessageBox.h"
#include "platform/Path.h"
#include "platform/ShellExecute.h"
#include "window/MainFrame.h"

#include <string>

// An object's action runs when a click on it completes in Locked mode.

namespace {

// Messages show an action of any length in a few lines, and a NUL byte in
// it as what it is not: the end of the text.
CString ShownAction(const CString& strAction)
{
    constexpr size_t kShownLength = 300;
    std::string text = strAction.str();
    for (char& c : text)
        if (c == '\0')
            c = ' ';
    if (text.size() > kShownLength)
        text = text.substr(0, kShownLength) + "...";
    return CString(text);
}

// One word of a command line whatever it holds, as a shell quotes it.
CString QuotedWord(const CString& strWord)
{
    std::string text = "'";
    for (char c : strWord.str())
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return CString(text + "'");
}

void ShowRunFailure(const CString& strAction, LPCSTR lpszReason)
{
    AfxMessageBox("Orvanta could not run: " + ShownAction(strAction) + "\n\n" + lpszReason, MB_OK, 0);
}

} // namespace

void CMainFrame::RunObjectAction(int nObject, LPCSTR lpParameters)
{
    CDesktopApp* app = DesktopApp();
    if (!app->m_bLocked || nObject <= 0 || nObject >= app->m_nObjects)
        return;
    CString strAction = app->m_aObjects[nObject].strAction;
    strAction.Trim();
    if (strAction.IsEmpty())
        return;

    // The desktop's own commands.
    if (strAction.Left(8) == "orvanta:") {
        RunDesktopCommand(strAction);
        FollowPointer();
        return;
    }

    if (!TrustDesktopActions(strAction)) {
        FollowPointer();
        return;
    }
    // A NUL byte would cut the action short: what ran would not be what it says.
    const INT_PTR nResult = strAction.Find('\0') >= 0
        ? ERROR_BAD_FORMAT
        : ShellExecute(nullptr, "open", strAction, lpParameters, nullptr, SW_SHOWNORMAL);
    if (nResult <= 32) {
        ShowRunFailure(strAction, ShellExecuteErrorText(nResult));
        FollowPointer();
    }
}

// "orvanta:" and a command of the context menu or the keyboard, so that a
// button can open Desktop Settings.
void CMainFrame::RunDesktopCommand(const CString& strAction)
{
    CDesktopApp* app = DesktopApp();
    const CString strCommand = strAction.Mid(8);
    m_bInMenu = TRUE;
    if (strCommand == "settings") {
        app->m_nCurObject = 0;
        OnObjectProperties();
    } else if (strCommand == "list")
        OnObjectList();
    else if (strCommand == "lock")
        OnDesktopLocked();
    else if (strCommand == "undo")
        OnEditUndo();
    else if (strCommand == "redo")
        OnEditRedo();
    else
        ShowRunFailure(strAction, "The desktop's own commands are settings, list, lock, undo and redo.");
    m_bInMenu = FALSE;
}

// Actions of a desktop that another user could have written run only when
// the user agrees, asked once per file and session. The user's own, the
// installed one (the system's) and one not saved yet are trusted.
BOOL CMainFrame::TrustDesktopActions(const CString& strAction)
{
    CDesktopApp* app = DesktopApp();
    const std::string strFile = NativePath(app->m_strDesktopFile);
    CFileStatus status;
    if (!CFile::GetStatus(app->m_strDesktopFile, status) || IsFileOwnedByUser(app->m_strDesktopFile))
        return TRUE;
    auto it = app->m_mapTrustedDesktops.find(strFile);
    if (it == app->m_mapTrustedDesktops.end()) {
        const int nAnswer = AfxMessageBox(
            "This desktop was not made by you. Run its actions?\n\n" + ShownAction(strAction), MB_YESNO, 0);
        it = app->m_mapTrustedDesktops.emplace(strFile, nAnswer == IDYES).first;
    }
    return it->second ? TRUE : FALSE;
}

// Dropped onto an object with an action in Locked mode, the items are given
// to it. Elsewhere they become objects as Insert makes them, without the dialog: the first items that fit,
// then the table-full message once. Successive items step down and right so
// that each stays in reach.
void CMainFrame::OnDropFiles(HDROP hDropInfo)
{
    constexpr LONG kStep = 16;
    CDesktopApp* app = DesktopApp();
    POINT pt;
    DragQueryPoint(hDropInfo, &pt);
    std::vector<CString> items;
    const UINT nFiles = DragQueryFile(hDropInfo, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < nFiles; ++i) {
        std::string item(DragQueryFile(hDropInfo, i, nullptr, 0) + 1, '\0');
        DragQueryFile(hDropInfo, i, item.data(), UINT(item.size()));
        items.push_back(CString(item.c_str()));
    }
    DragFinish(hDropInfo);

    // Locked, onto an object with an action: it runs with the items.
    if (const int nTarget = app->m_bLocked ? ObjectAtPoint(pt) : 0;
        nTarget != 0 && !app->m_aObjects[nTarget].strAction.IsEmpty()) {
        CString strParameters;
        for (const CString& strItem : items)
            strParameters += (strParameters.IsEmpty() ? "" : " ") + QuotedWord(strItem);
        RunObjectAction(nTarget, strParameters);
        return;
    }

    const int nBefore = app->m_nObjects;
    LONG nPlaced = 0;
    for (const CString& strItem : items) {
        if (app->m_nObjects == app->m_nMaxObjects) {
            AfxMessageBox("Unable to insert new object:\nDesktop contains maximum objects allowed.", MB_OK, 0);
            break;
        }
        SHFILEINFO info;
        if (!SHGetFileInfo(strItem, &info))
            continue;
        app->InsertDroppedObject(
            strItem, info.szDisplayName, info.szIconName, { pt.x + nPlaced * kStep, pt.y + nPlaced * kStep });
        ++nPlaced;
    }
    if (app->m_nObjects != nBefore) {
        app->ComposeScene();
        app->m_history.RecordEdit(*app);
    }
}
