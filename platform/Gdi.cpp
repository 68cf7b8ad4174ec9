#include "platform/Gdi.h"

#include "platform/DeviceContext.h"
#include "platform/DirectDrawFaults.h"
#include "platform/Font.h"

#include <QFontMetrics>
#include <QPainter>

#include <cstring>

namespace {

QColor toQColor(COLORREF color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

COLORREF toColorRef(QRgb rgb)
{
    return RGB(BYTE(qRed(rgb)), BYTE(qGreen(rgb)), BYTE(qBlue(rgb)));
}

QString toQString(LPCSTR text, int count)
{
    return QString::fromLatin1(text, count < 0 ? qsizetype(std::strlen(text)) : qsizetype(count));
}

} // namespace

// Device contexts.

HDC CreateCompatibleDC(HDC)
{
    if (ShouldFail(FaultPoint::CreateCompatibleDC))
        return nullptr;
    return DeviceContext::forMemory().release();
}

BOOL DeleteDC(HDC dc)
{
    if (!dc || !dc->isMemory())
        return FALSE;
    delete dc;
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    if (!dc || !object)
        return nullptr;
    if (const QFont* font = std::get_if<QFont>(&object->value)) {
        HGDIOBJ previous = dc->font;
        dc->font = object;
        dc->qfont = *font;
        return previous;
    }
    // Bitmaps go into memory contexts only, one context at a time.
    if (!dc->isMemory() || object->selections > 0)
        return nullptr;
    HGDIOBJ previous = dc->bitmap;
    if (previous)
        --previous->selections;
    dc->bitmap = object;
    ++object->selections;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object || object->selections > 0)
        return FALSE;
    delete object;
    return TRUE;
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer)
{
    const QImage* image = object ? std::get_if<QImage>(&object->value) : nullptr;
    if (!image)
        return 0;
    if (!buffer)
        return int(sizeof(BITMAP));
    BITMAP bitmap;
    bitmap.bmWidth = image->width();
    bitmap.bmHeight = image->height();
    bitmap.bmWidthBytes = LONG(image->bytesPerLine());
    bitmap.bmPlanes = 1;
    bitmap.bmBitsPixel = WORD(image->depth());
    const size_t bytes = std::min(size_t(std::max(size, 0)), sizeof(BITMAP));
    std::memcpy(buffer, &bitmap, bytes);
    return int(bytes);
}

// Text.

HFONT CreateFontIndirectA(const LOGFONT* font)
{
    if (!font)
        return nullptr;
    return new GdiObject { FontFromLogFont(*font) };
}

COLORREF SetTextColor(HDC dc, COLORREF color)
{
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->textColor, color);
}

COLORREF SetBkColor(HDC dc, COLORREF color)
{
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->bkColor, color);
}

int SetBkMode(HDC dc, int mode)
{
    if (!dc || (mode != OPAQUE && mode != TRANSPARENT))
        return 0;
    return std::exchange(dc->bkMode, mode);
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const int*)
{
    if (!dc || dc->pixels().isNull() || (!text && count > 0))
        return FALSE;
    QPainter painter(&dc->pixels());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if ((options & ETO_OPAQUE) && rect)
        painter.fillRect(
            QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)), toQColor(dc->bkColor));
    if (count == 0)
        return TRUE;

    const QString line = toQString(text, int(count));
    const QFontMetrics metrics(dc->qfont);
    if (dc->bkMode == OPAQUE)
        painter.fillRect(x, y, metrics.horizontalAdvance(line), metrics.height(), toQColor(dc->bkColor));
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setFont(dc->qfont);
    painter.setPen(toQColor(dc->textColor));
    painter.drawText(x, y + metrics.ascent(), line);
    return TRUE;
}

BOOL GetTextExtentPointA(HDC dc, LPCSTR text, int count, SIZE* size)
{
    if (!dc || !size || (!text && count > 0))
        return FALSE;
    const QFontMetrics metrics(dc->qfont);
    size->cx = count > 0 ? metrics.horizontalAdvance(toQString(text, count)) : 0;
    size->cy = metrics.height();
    return TRUE;
}

// Pixels and blits.

COLORREF GetPixel(HDC dc, int x, int y)
{
    if (!dc || !dc->pixels().valid(x, y))
        return CLR_INVALID;
    return toColorRef(dc->pixels().pixel(x, y));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    if (!dc || !dc->pixels().valid(x, y))
        return CLR_INVALID;
    dc->pixels().setPixel(x, y, toQColor(color).rgb());
    return GetPixel(dc, x, y);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh, DWORD rop)
{
    if (!dest || !source || rop != SRCCOPY || width <= 0 || height <= 0 || sw <= 0 || sh <= 0)
        return FALSE;
    if (dest->pixels().isNull() || source->pixels().isNull())
        return FALSE;
    QPainter painter(&dest->pixels());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRect(x, y, width, height), source->pixels(), QRect(sx, sy, sw, sh));
    return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop)
{
    return StretchBlt(dest, x, y, width, height, source, sx, sy, width, height, rop);
}
