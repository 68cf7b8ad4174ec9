#include "platform/CDialogGdi.h"

#include "platform/CDialog.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/ResourceTables.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>

BOOL CBrush::CreateSolidBrush(COLORREF color)
{
    m_color = color;
    m_bCreated = true;
    return TRUE;
}

BOOL CBitmap::LoadBitmap(UINT id)
{
    DeleteObject();
    const char* path = FindBitmapResource(id);
    if (!path)
        return FALSE;
    // On a scaled screen the resource's @2x picture, where there is one,
    // drawn at the same size in logical pixels.
    qreal ratio = 1;
    QImage image(qt_findAtNxFile(QString::fromLatin1(path), qApp->devicePixelRatio(), &ratio));
    if (image.isNull())
        return FALSE;
    image.setDevicePixelRatio(ratio);
    m_hObject = new GdiObject { std::move(image) };
    return TRUE;
}

BOOL CBitmap::DeleteObject()
{
    if (!m_hObject || !::DeleteObject(m_hObject))
        return FALSE;
    m_hObject = nullptr;
    return TRUE;
}

CDC::CDC()
    : m_hDC(DeviceContext::forMemory().release())
{
}

CDC::~CDC()
{
    DeleteDC();
}

BOOL CDC::CreateCompatibleDC(CDC* pDC)
{
    DeleteDC();
    m_hDC = ::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr);
    return m_hDC ? TRUE : FALSE;
}

BOOL CDC::DeleteDC()
{
    m_pBitmap = nullptr;
    const BOOL deleted = ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    return deleted;
}

// Selecting no bitmap keeps the current one until the DC is deleted, as a
// context always has one.
CBitmap* CDC::SelectObject(CBitmap* pBitmap)
{
    CBitmap* previous = m_pBitmap;
    if (pBitmap && ::SelectObject(m_hDC, pBitmap->GetSafeHandle()))
        m_pBitmap = pBitmap;
    return previous;
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* pSrcDC, int xSrc, int ySrc, DWORD rop)
{
    return pSrcDC ? ::BitBlt(m_hDC, x, y, width, height, pSrcDC->m_hDC, xSrc, ySrc, rop) : FALSE;
}

int CDC::SetBkMode(int mode)
{
    return ::SetBkMode(m_hDC, mode);
}

COLORREF CDC::SetBkColor(COLORREF color)
{
    return ::SetBkColor(m_hDC, color);
}

CPaintDC::CPaintDC(CWnd* pWnd)
{
    auto* dialog = dynamic_cast<CDialog*>(pWnd);
    m_pPainter = dialog ? dialog->m_pPainter : nullptr;
    if (!m_pPainter)
        return;
    // In the device's own pixels, so that a picture drawn for a scaled
    // screen stays sharp.
    const QPaintDevice* device = m_pPainter->device();
    const qreal ratio = device->devicePixelRatioF();
    QImage canvas(QSize(device->width(), device->height()) * ratio, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Qt::transparent);
    m_hCanvas = new GdiObject { std::move(canvas) };
    ::SelectObject(m_hDC, m_hCanvas);
}

CPaintDC::~CPaintDC()
{
    if (!m_pPainter)
        return;
    m_pPainter->drawImage(QPoint(0, 0), m_hDC->image());
    DeleteDC();
    ::DeleteObject(m_hCanvas);
}
