#include "platform/PixelFormat.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>

int DisplayDepthFromEnvironment()
{
    const char* value = std::getenv("ORVANTA_DISPLAY_DEPTH");
    if (value && std::strcmp(value, "16") == 0)
        return 16;
    if (value && std::strcmp(value, "8") == 0)
        return 8;
    return 32;
}

const PALETTEENTRY* DefaultPalette()
{
    static const std::array<PALETTEENTRY, 256> palette = [] {
        std::array<PALETTEENTRY, 256> entries {};
        for (int i = 0; i < 256; ++i) {
            entries[size_t(i)].peRed = BYTE(((i >> 5) & 7) * 255 / 7);
            entries[size_t(i)].peGreen = BYTE(((i >> 2) & 7) * 255 / 7);
            entries[size_t(i)].peBlue = BYTE((i & 3) * 255 / 3);
        }
        return entries;
    }();
    return palette.data();
}

DDPIXELFORMAT PixelFormatFor(int depth)
{
    DDPIXELFORMAT format;
    format.dwRGBBitCount = DWORD(depth);
    format.dwFlags = DDPF_RGB;
    if (depth == 32) {
        format.dwRBitMask = 0xFF0000;
        format.dwGBitMask = 0x00FF00;
        format.dwBBitMask = 0x0000FF;
    } else if (depth == 16) {
        format.dwRBitMask = 0xF800;
        format.dwGBitMask = 0x07E0;
        format.dwBBitMask = 0x001F;
    } else {
        format.dwFlags |= DDPF_PALETTEINDEXED8;
    }
    return format;
}

DDPIXELFORMAT PremultipliedAlphaFormat()
{
    DDPIXELFORMAT format = PixelFormatFor(32);
    format.dwFlags |= DDPF_ALPHAPIXELS | DDPF_ALPHAPREMULT;
    format.dwRGBAlphaBitMask = 0xFF000000;
    return format;
}

bool IsPremultipliedAlphaFormat(const DDPIXELFORMAT& format)
{
    const DDPIXELFORMAT alpha = PremultipliedAlphaFormat();
    return format.dwFlags == alpha.dwFlags && format.dwRGBBitCount == alpha.dwRGBBitCount
        && format.dwRBitMask == alpha.dwRBitMask && format.dwGBitMask == alpha.dwGBitMask
        && format.dwBBitMask == alpha.dwBBitMask && format.dwRGBAlphaBitMask == alpha.dwRGBAlphaBitMask;
}

BYTE NearestPaletteIndex(QRgb rgb, const PALETTEENTRY* palette)
{
    int best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i < 256 && bestDistance > 0; ++i) {
        const int dr = qRed(rgb) - palette[i].peRed;
        const int dg = qGreen(rgb) - palette[i].peGreen;
        const int db = qBlue(rgb) - palette[i].peBlue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return BYTE(best);
}

DWORD PixelFromColor(COLORREF color, int depth, const PALETTEENTRY* palette)
{
    const DWORD r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    switch (depth) {
    case 32:
        return (r << 16) | (g << 8) | b;
    case 16:
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default:
        return NearestPaletteIndex(qRgb(int(r), int(g), int(b)), palette);
    }
}

QImage::Format ImageFormatFor(int depth)
{
    switch (depth) {
    case 32:
        return QImage::Format_RGB32;
    case 16:
        return QImage::Format_RGB16;
    default:
        return QImage::Format_Indexed8;
    }
}

QList<QRgb> ColorTableFrom(const PALETTEENTRY* palette)
{
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = qRgb(palette[i].peRed, palette[i].peGreen, palette[i].peBlue);
    return table;
}
