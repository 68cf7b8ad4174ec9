#include "dialogs/SplashDlg.h"

#include "platform/Gdi.h"
#include "res/resource.h"

CSplashDlg::CSplashDlg(CWnd* pParent)
    : CDialog(IDD_SPLASH, pParent)
{
}

void CSplashDlg::DoDataExchange(CDataExchange*) { }

void CSplashDlg::OnOK()
{
    CDialog::OnOK();
}

// The picture is loaded and freed on every paint.
void CSplashDlg::OnPaint()
{
    CPaintDC dc(this);
    CBitmap bitmap;
    if (!bitmap.LoadBitmap(IDB_SPLASH))
        return;
    CDC memDC;
    memDC.CreateCompatibleDC(&dc);
    CBitmap* pOldBitmap = memDC.SelectObject(&bitmap);
    dc.BitBlt(3, 3, 199, 97, &memDC, 0, 0, SRCCOPY);
    memDC.SelectObject(pOldBitmap);
    memDC.DeleteDC();
    bitmap.DeleteObject();
}
