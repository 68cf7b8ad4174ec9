#pragma once
// Edits the background image, tiling and colour, and creates, loads, saves
// and reloads desktop files.

#include "app/DesktopApp.h"
#include "platform/CDialog.h"
#include "platform/CFile.h"

class CDesktopSettingsDlg : public CDialog {
public:
    explicit CDesktopSettingsDlg(CWnd* pParent = nullptr);
    ~CDesktopSettingsDlg() override;

    virtual void ResetBackgroundObject();
    virtual void BrowseForBitmap(BOOL bOpen);
    virtual void BrowseForDesktopFile(BOOL bOpen);
    virtual BOOL CheckFileExists(CString path, CString label);

    CButton m_chkTile;
    CPathEdit m_edBackground;
    CPathEdit m_edDesktop;
    CString m_strBrowseResult;
    CFileStatus m_fileStatus;
    COLORREF m_crColor = 0;
    CBrush* m_pbrColor = nullptr;
    CString m_strSavedDesktopFile;
    // Set by New and Load: the desktop was replaced, not edited (cleared
    // when Cancel brings back the desktop from before New).
    BOOL m_bReplacedDesktop = FALSE;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(UINT nID, UINT nCode) override;
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) override;
    void OnDestroy() override;

    void OnBrowse();
    void OnSave();
    void OnSaveAs();
    void OnNew();
    void OnLoad();
    void OnColor();
    void OnRefresh();

private:
    void ReleaseAll();
    void RebuildAll();
    void RestoreBackgroundInUse();
    BOOL ApplyHeldEdits();
    void EndInteraction();

    // What New changed of the desktop before it, so that Cancel can put it
    // back as it was in memory: the background record and the table's size.
    BOOL m_bHaveDesktopBeforeNew = FALSE;
    int m_nObjectsBeforeNew = 0;
    DesktopObject m_backgroundBeforeNew;
    ObjectRuntime m_backgroundSlotBeforeNew;
};
