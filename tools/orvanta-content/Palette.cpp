#include "Palette.h"

#include "Artwork.h"

#include <algorithm>

QImage PaletteImage(const QList<QRgb>& ownColors)
{
    QList<QRgb> table;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                table.append(qRgb(r * 51, g * 51, b * 51));
    table.append(artwork::kKeyColor.rgb());
    for (QRgb c : ownColors.first(std::min<qsizetype>(ownColors.size(), kMaxOwnColors)))
        table.append(c | 0xFF000000u);
    // Greys between the cube's own six fill what is left.
    const int free = 256 - int(table.size());
    for (int i = 1; table.size() < 256; ++i) {
        const int level = i * 255 / (free + free / 5 + 2);
        if (level % 51 != 0)
            table.append(qRgb(level, level, level));
    }

    QImage image(16, 16, QImage::Format_Indexed8);
    image.setColorTable(table);
    for (int i = 0; i < 256; ++i)
        image.setPixel(i % 16, i / 16, uint(i));
    return image;
}
