#include "platform/CDialogGdi.h"

#include "platform/CDialog.h"
#include "platform/ResourceTables.h"

#include <QPainter>

BOOL CBrush::CreateSolidBrush(COLORREF color)
{
    m_color = color;
    m_bCreated = true;
    return TRUE;
}

BOOL CBitmap::LoadBitmap(UINT id)
{
    const char* path = FindBitmapResource(id);
    m_image = path ? QImage(QString::fromLatin1(path)) : QImage();
    return m_image.isNull() ? FALSE : TRUE;
}

BOOL CBitmap::DeleteObject()
{
    const bool had = !m_image.isNull();
    m_image = QImage();
    return had ? TRUE : FALSE;
}

BOOL CDC::CreateCompatibleDC(CDC*)
{
    m_pPainter = nullptr;
    m_pBitmap = nullptr;
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    m_pBitmap = nullptr;
    return TRUE;
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap)
{
    CBitmap* previous = m_pBitmap;
    m_pBitmap = pBitmap;
    return previous;
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* pSrcDC, int xSrc, int ySrc, DWORD)
{
    if (!pSrcDC || !pSrcDC->m_pBitmap || pSrcDC->m_pBitmap->image().isNull())
        return FALSE;
    const QImage& source = pSrcDC->m_pBitmap->image();
    const QRect from(xSrc, ySrc, width, height);
    if (m_pPainter) {
        m_pPainter->drawImage(QPoint(x, y), source, from);
        return TRUE;
    }
    return FALSE;
}

int CDC::SetBkMode(int mode)
{
    const int previous = m_nBkMode;
    m_nBkMode = mode;
    return previous;
}

COLORREF CDC::SetBkColor(COLORREF color)
{
    const COLORREF previous = m_crBk;
    m_crBk = color;
    return previous;
}

CPaintDC::CPaintDC(CWnd* pWnd)
{
    if (auto* dialog = dynamic_cast<CDialog*>(pWnd))
        m_pPainter = dialog->m_pPainter;
}
