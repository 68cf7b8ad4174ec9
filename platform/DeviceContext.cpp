#include "platform/DeviceContext.h"

#include "platform/PixelFormat.h"

std::unique_ptr<DeviceContext> DeviceContext::forSurface(
    BYTE* bits, int width, int height, int pitch, int depth, const PALETTEENTRY* palette)
{
    std::unique_ptr<DeviceContext> dc(new DeviceContext);
    dc->m_surfaceBits = bits;
    dc->m_depth = depth;
    if (depth == 8) {
        dc->m_palette = palette;
        dc->m_indexed = QImage(bits, width, height, pitch, QImage::Format_Indexed8);
        dc->m_indexed.setColorTable(ColorTableFrom(palette));
        dc->m_image = dc->m_indexed.convertToFormat(QImage::Format_RGB32);
    } else {
        dc->m_image = QImage(bits, width, height, pitch, ImageFormatFor(depth));
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

QImage& DeviceContext::pixels()
{
    return bitmap ? std::get<QImage>(bitmap->value) : m_image;
}

void DeviceContext::finish()
{
    if (m_depth == 32) {
        for (int y = 0; y < m_image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(m_surfaceBits + qsizetype(y) * m_image.bytesPerLine());
            for (int x = 0; x < m_image.width(); ++x)
                row[x] &= 0x00FFFFFF;
        }
    }
    if (m_depth != 8)
        return;
    // Pixels still showing their entry's colour keep their index, so equal
    // entries are not merged; only drawn pixels are matched.
    const QList<QRgb> table = ColorTableFrom(m_palette);
    QRgb lastColor = 0; // drawn colours are opaque, so this matches none
    BYTE lastIndex = 0;
    for (int y = 0; y < m_image.height(); ++y) {
        const auto* drawn = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        BYTE* row = m_surfaceBits + qsizetype(y) * m_indexed.bytesPerLine();
        for (int x = 0; x < m_image.width(); ++x) {
            const QRgb color = drawn[x] | 0xFF000000;
            if (color == table[row[x]])
                continue;
            if (color != lastColor) {
                lastColor = color;
                lastIndex = NearestPaletteIndex(color, m_palette);
            }
            row[x] = lastIndex;
        }
    }
}
