#include "platform/DeviceContext.h"

#include "platform/Blit.h"
#include "platform/PixelFormat.h"
#include "platform/QtConversions.h"

#include <QPainter>

namespace {

RECT toRect(const QRect& r)
{
    return { r.left(), r.top(), r.right() + 1, r.bottom() + 1 };
}

QRect toQRect(const RECT& r)
{
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

} // namespace

std::unique_ptr<DeviceContext> DeviceContext::forSurface(
    BYTE* bits, int width, int height, int pitch, int depth, bool alpha, const PALETTEENTRY* palette, KnownFill* known)
{
    std::unique_ptr<DeviceContext> dc(new DeviceContext);
    dc->m_surfaceBits = bits;
    dc->m_pitch = pitch;
    dc->m_depth = depth;
    dc->m_alpha = alpha;
    dc->m_known = known;
    if (depth != 32) {
        if (depth == 8) {
            dc->m_palette = palette;
            dc->m_table = ColorTableFrom(palette);
        }
        // Left uninitialised: only touched areas are converted into it.
        dc->m_image = QImage(width, height, QImage::Format_RGB32);
    } else {
        dc->m_image
            = QImage(bits, width, height, pitch, alpha ? QImage::Format_ARGB32_Premultiplied : ImageFormatFor(depth));
    }
    return dc;
}

std::unique_ptr<DeviceContext> DeviceContext::forMemory()
{
    std::unique_ptr<DeviceContext> dc(new DeviceContext);
    dc->m_memory = true;
    return dc;
}

DeviceContext::~DeviceContext()
{
    if (bitmap)
        --bitmap->selections;
}

const QImage& DeviceContext::image() const
{
    return bitmap ? std::get<QImage>(bitmap->value) : m_image;
}

QImage& DeviceContext::pixels(const QRect& area, bool write)
{
    if (bitmap)
        return std::get<QImage>(bitmap->value);
    const QRect clipped = area & m_image.rect();
    if (m_surfaceBits && !clipped.isEmpty()) {
        touch(clipped);
        if (write && m_known)
            m_known->wrote(toRect(clipped));
    }
    return m_image;
}

void DeviceContext::fill(const QRect& area, COLORREF color)
{
    QRect target = area & image().rect();
    if (target.isEmpty())
        return;
    const QRgb rgb = ToQColor(color).rgb();
    if (m_surfaceBits) {
        // The value the fill leaves in a pixel; on 8 bits a pixel already
        // showing the colour keeps its entry.
        DWORD value = PixelFromColor(color, m_depth, m_palette) | (m_alpha ? 0xFF000000 : 0);
        if (m_depth == 8 && m_known->value < 256 && m_table[int(m_known->value)] == rgb)
            value = m_known->value;
        target = toQRect(m_known->fill(toRect(target), value, toRect(m_image.rect()), m_depth != 8));
        // A whole fill left to be written where the memory is next used:
        // what this context drew before it is gone.
        if (m_known->pending && IsRectEmpty(&m_known->settled))
            m_touched = QRect();
        if (target.isEmpty())
            return;
        touch(target);
    }
    QPainter painter(&(bitmap ? std::get<QImage>(bitmap->value) : m_image));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(target, QColor(rgb));
}

void DeviceContext::touch(const QRect& area)
{
    if (m_known && m_known->pending) {
        const PixelBuffer memory { m_surfaceBits, m_image.width(), m_image.height(), m_pitch, m_depth / 8 };
        for (const RECT& part : m_known->settle(toRect(area), toRect(m_image.rect()), false))
            FillPixels(memory, part, m_known->value);
    }
    if (m_depth != 32) {
        // Convert the parts of the new bounds not converted yet.
        const QRect bounds = m_touched | area;
        if (m_touched.isEmpty()) {
            convert(bounds);
        } else if (bounds != m_touched) {
            convert(QRect(bounds.left(), bounds.top(), bounds.width(), m_touched.top() - bounds.top()));
            convert(QRect(QPoint(bounds.left(), m_touched.bottom() + 1), bounds.bottomRight()));
            convert(QRect(bounds.left(), m_touched.top(), m_touched.left() - bounds.left(), m_touched.height()));
            convert(QRect(QPoint(m_touched.right() + 1, m_touched.top()), QPoint(bounds.right(), m_touched.bottom())));
        }
    }
    m_touched |= area;
}

void DeviceContext::convert(const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const BYTE* row = m_surfaceBits + qsizetype(y) * m_pitch;
        auto* out = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        if (m_depth == 16) {
            // Each field widened by repeating its top bits, so that finish()
            // gives back the same value for a pixel nothing drew on.
            const auto* in = reinterpret_cast<const quint16*>(row);
            for (int x = area.left(); x <= area.right(); ++x) {
                const uint r = in[x] >> 11, g = (in[x] >> 5) & 0x3F, b = in[x] & 0x1F;
                out[x] = qRgb(int(r << 3 | r >> 2), int(g << 2 | g >> 4), int(b << 3 | b >> 2));
            }
            continue;
        }
        for (int x = area.left(); x <= area.right(); ++x)
            out[x] = m_table[row[x]];
    }
}

void DeviceContext::finish()
{
    if (m_touched.isEmpty())
        return;
    if (m_depth == 32 && !m_alpha) {
        for (int y = m_touched.top(); y <= m_touched.bottom(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(m_surfaceBits + qsizetype(y) * m_pitch);
            for (int x = m_touched.left(); x <= m_touched.right(); ++x)
                row[x] &= 0x00FFFFFF;
        }
    }
    if (m_depth == 16) {
        for (int y = m_touched.top(); y <= m_touched.bottom(); ++y) {
            const auto* drawn = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
            auto* row = reinterpret_cast<quint16*>(m_surfaceBits + qsizetype(y) * m_pitch);
            for (int x = m_touched.left(); x <= m_touched.right(); ++x)
                row[x] = quint16(PixelFromColor(RGB(qRed(drawn[x]), qGreen(drawn[x]), qBlue(drawn[x])), 16, nullptr));
        }
        return;
    }
    if (m_depth != 8)
        return;
    // Pixels still showing their entry's colour keep their index, so equal
    // entries are not merged; only drawn pixels are matched.
    QRgb lastColor = 0; // drawn colours are opaque, so this matches none
    BYTE lastIndex = 0;
    for (int y = m_touched.top(); y <= m_touched.bottom(); ++y) {
        const auto* drawn = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        BYTE* row = m_surfaceBits + qsizetype(y) * m_pitch;
        for (int x = m_touched.left(); x <= m_touched.right(); ++x) {
            const QRgb color = drawn[x] | 0xFF000000;
            if (color == m_table[row[x]])
                continue;
            if (color != lastColor) {
                lastColor = color;
                lastIndex = NearestPaletteIndex(color, m_palette);
            }
            row[x] = lastIndex;
        }
    }
}
