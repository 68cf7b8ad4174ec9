#pragma once
// The bundled pictures, drawn with QPainter. Object images come with alpha:
// soft shadows and edges, nothing outside the drawn shape and its shadow.
#include <QColor>
#include <QImage>
#include <QString>

namespace artwork {

// The colour every object surface treats as transparent: the palette keeps it.
inline const QColor kKeyColor(0, 127, 127);
// The background tile's ground and the centre of its lighter spots.
inline const QColor kBackgroundBase(36, 50, 74);
inline const QColor kBackgroundSpot(58, 84, 118);

enum class Glyph { Folder, Picture, Music, Globe, Gear, Help, Terminal, Mail, Trash };
enum class Look { Up, Down, Mouse };

// `shape` with a soft shadow of its coverage below it, `lift` pixels down.
QImage WithShadow(const QImage& shape, int lift, int blur);

// A seamless square for tiling the background.
QImage BackgroundTile(int size);

// A button face: a rounded key in the given hue carrying a white glyph, with
// its shadow.
QImage ButtonImage(Glyph glyph, const QColor& hue, Look look, int size);

// A speech balloon holding a few lines of text, its tail at the lower left.
QImage BalloonImage(const QStringList& lines, const QSize& size);

// The 199 x 97 greeting picture, drawn `scale` times as large for scaled
// screens.
QImage SplashImage(int scale = 1);

// The window and menu icon: four keys on a dark rounded square, with alpha.
QImage IconImage(int size);

} // namespace artwork
