#pragma once
// The greeting shown once after the desktop's first frame.

#include "platform/CDialog.h"

class CSplashDlg : public CDialog {
public:
    explicit CSplashDlg(CWnd* pParent = nullptr);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnPaint() override;
};
