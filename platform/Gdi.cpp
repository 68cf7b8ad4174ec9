#include "platform/Gdi.h"

#include "platform/DeviceContext.h"
#include "platform/DirectDrawFaults.h"
#include "platform/Font.h"
#include "platform/QtConversions.h"

#include <QFontMetrics>
#include <QPainter>

#include <cstring>

namespace {

QString toQString(LPCSTR text, int count)
{
    return count < 0 ? ToQString(text) : ToQString(text, qsizetype(count));
}

// Surfaces hold no alpha of their own: the region `area` of a picture with
// alpha is keyed as the program's keyed pictures are, pixels less than half
// covered taking the transparent colour RGB(0,127,127) that every object
// surface carries as its key, the others their own colour, opaque.
QImage KeyedForSurface(const QImage& picture, const QRect& area)
{
    constexpr QRgb kKey = qRgb(0, 127, 127);
    QImage keyed = picture.copy(area).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            const QRgb opaque = row[x] | 0xFF000000u;
            // A drawn pixel of the key colour itself would vanish.
            row[x] = qAlpha(row[x]) < 128 ? kKey : opaque == kKey ? qRgb(0, 127, 128) : opaque;
        }
    }
    keyed.reinterpretAsFormat(QImage::Format_RGB32);
    keyed.setDevicePixelRatio(picture.devicePixelRatio());
    return keyed;
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
    // A DIB section read from a file says 32 bits only when its fourth byte
    // is alpha; pixels kept in 32 bits without alpha came from 24 or fewer.
    const bool opaque32 = image->depth() == 32 && !image->hasAlphaChannel();
    bitmap.bmBitsPixel = WORD(opaque32 ? 24 : image->depth());
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
    if (!dc || dc->image().isNull() || (!text && count > 0))
        return FALSE;
    if ((options & ETO_OPAQUE) && rect)
        dc->fill(QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)), dc->bkColor);
    if (count == 0)
        return TRUE;

    const QString line = toQString(text, int(count));
    const QFontMetrics metrics(dc->qfont);
    const QRect box(x, y, metrics.horizontalAdvance(line), metrics.height());
    if (dc->bkMode == OPAQUE)
        dc->fill(box, dc->bkColor);
    // Glyphs may reach past their advance (italics, accents): the area drawn
    // takes in their ink as well.
    const QRect ink = box | metrics.boundingRect(line).translated(x, y + metrics.ascent()).adjusted(-1, -1, 1, 1);
    QPainter painter(&dc->pixels(ink));
    painter.setClipRect(ink);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(dc->qfont);
    painter.setPen(ToQColor(dc->textColor));
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
    if (!dc || !dc->image().valid(x, y))
        return CLR_INVALID;
    return FromQColor(QColor(dc->pixels(QRect(x, y, 1, 1), false).pixel(x, y)));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    if (!dc || !dc->image().valid(x, y))
        return CLR_INVALID;
    dc->pixels(QRect(x, y, 1, 1)).setPixel(x, y, ToQColor(color).rgb());
    return GetPixel(dc, x, y);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh, DWORD rop)
{
    if (!dest || !source || rop != SRCCOPY || width <= 0 || height <= 0 || sw <= 0 || sh <= 0)
        return FALSE;
    if (dest->image().isNull() || source->image().isNull())
        return FALSE;
    const QRect to(x, y, width, height);
    QPainter painter(&dest->pixels(to));
    painter.setClipRect(to);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Rectangles are in logical pixels; a picture for a scaled screen has more.
    const QImage& from = source->pixels(QRect(sx, sy, sw, sh), false);
    const qreal ratio = from.devicePixelRatio();
    const QRectF area(sx * ratio, sy * ratio, sw * ratio, sh * ratio);
    // A surface with alpha of its own blends the picture later; one without
    // takes it keyed.
    if (from.hasAlphaChannel() && !dest->isMemory() && !dest->image().hasAlphaChannel()) {
        const QImage keyed = KeyedForSurface(from, area.toAlignedRect());
        painter.drawImage(QRectF(to), keyed, QRectF(keyed.rect()));
        return TRUE;
    }
    painter.drawImage(QRectF(to), from, area);
    return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop)
{
    return StretchBlt(dest, x, y, width, height, source, sx, sy, width, height, rop);
}
