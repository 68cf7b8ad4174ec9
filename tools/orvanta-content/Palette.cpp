#include "Palette.h"

#include "Artwork.h"

QImage PaletteImage(const QList<QRgb>& ownColors)
{
    QList<QRgb> table;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                table.append(qRgb(r * 51, g * 51, b * 51));
    // Greys between the cube's own six.
    for (int i = 1; i < 30 && table.size() < 240; ++i) {
        const int level = i * 255 / 30;
        if (level % 51 != 0)
            table.append(qRgb(level, level, level));
    }
    table.append(artwork::kKeyColor.rgb());
    for (QRgb c : ownColors) {
        if (table.size() == 256)
            break;
        table.append(c | 0xFF000000u);
    }
    while (table.size() < 256)
        table.append(qRgb(0, 0, 0));

    QImage image(16, 16, QImage::Format_Indexed8);
    image.setColorTable(table);
    for (int i = 0; i < 256; ++i)
        image.setPixel(i % 16, i / 16, uint(i));
    return image;
}
