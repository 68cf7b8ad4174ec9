#pragma once
// The palette bitmap: an 8-bit picture whose 256-entry colour table is the
// palette an 8-bit display runs with.

#include <QImage>
#include <QList>

// A 16 x 16 picture showing entry i at pixel (i mod 16, i / 16). The table
// holds a 6 x 6 x 6 colour cube, the transparent colour, the given colours (at
// most kMaxOwnColors) so that the bundled pictures keep their tones, and a grey ramp.
inline constexpr int kMaxOwnColors = 20;
QImage PaletteImage(const QList<QRgb>& ownColors);
