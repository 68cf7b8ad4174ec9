#pragma once
// The display's pixel formats: 32-bit XRGB, 16-bit RGB565 and 8-bit palettized.

#include "platform/DirectDraw.h"
#include "platform/Types.h"

#include <QImage>

// The depth chosen by ORVANTA_DISPLAY_DEPTH (16 or 8), else 32.
int DisplayDepthFromEnvironment();

// The 3-3-2 palette an 8-bit display starts with.
const PALETTEENTRY* DefaultPalette();

// The pixel format record a surface of `depth` bits describes itself with.
DDPIXELFORMAT PixelFormatFor(int depth);

// 32-bit premultiplied ARGB: what pictures with their own transparency are
// kept in, whatever the display's format.
DDPIXELFORMAT PremultipliedAlphaFormat();
bool IsPremultipliedAlphaFormat(const DDPIXELFORMAT& format);

// The stored value of `color` at `depth`; on 8 bits the nearest entry of `palette`.
DWORD PixelFromColor(COLORREF color, int depth, const PALETTEENTRY* palette);

// The index of the palette entry nearest to `rgb` (first of equals).
BYTE NearestPaletteIndex(QRgb rgb, const PALETTEENTRY* palette);

// The QImage format whose memory layout matches `depth` bits per pixel.
QImage::Format ImageFormatFor(int depth);

// A colour table for an Indexed8 image from 256 palette entries.
QList<QRgb> ColorTableFrom(const PALETTEENTRY* palette);
