#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace artwork {

namespace {

    QImage TransparentCanvas(const QSize& size)
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    }

    QFont SansFont(int pixelSize, bool bold)
    {
        QFont font("DejaVu Sans");
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        return font;
    }

    void DrawFolder(QPainter& p, const QRectF& r)
    {
        QPainterPath path;
        const qreal w = r.width(), h = r.height();
        path.moveTo(r.left(), r.top() + h * 0.18);
        path.lineTo(r.left() + w * 0.38, r.top() + h * 0.18);
        path.lineTo(r.left() + w * 0.46, r.top() + h * 0.30);
        path.lineTo(r.right(), r.top() + h * 0.30);
        path.lineTo(r.right(), r.bottom() - h * 0.08);
        path.lineTo(r.left(), r.bottom() - h * 0.08);
        path.closeSubpath();
        p.drawPath(path);
        p.save();
        p.setBrush(QColor(255, 255, 255, 0));
        p.setPen(QPen(QColor(0, 0, 0, 60), 1.5));
        p.drawLine(QPointF(r.left() + 2, r.top() + h * 0.42), QPointF(r.right() - 2, r.top() + h * 0.42));
        p.restore();
    }

    void DrawPicture(QPainter& p, const QRectF& r)
    {
        p.drawRoundedRect(r.adjusted(0, r.height() * 0.1, 0, -r.height() * 0.1), 3, 3);
        p.save();
        const QColor ink(0, 0, 0, 70);
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawEllipse(
            QPointF(r.left() + r.width() * 0.72, r.top() + r.height() * 0.34), r.width() * 0.1, r.width() * 0.1);
        QPainterPath hills;
        hills.moveTo(r.left() + 3, r.bottom() - r.height() * 0.16);
        hills.lineTo(r.left() + r.width() * 0.35, r.top() + r.height() * 0.42);
        hills.lineTo(r.left() + r.width() * 0.55, r.top() + r.height() * 0.62);
        hills.lineTo(r.left() + r.width() * 0.70, r.top() + r.height() * 0.52);
        hills.lineTo(r.right() - 3, r.bottom() - r.height() * 0.16);
        hills.closeSubpath();
        p.drawPath(hills);
        p.restore();
    }

    void DrawMusic(QPainter& p, const QRectF& r)
    {
        const qreal w = r.width(), h = r.height();
        const QPointF a(r.left() + w * 0.28, r.bottom() - h * 0.18), b(r.left() + w * 0.74, r.bottom() - h * 0.28);
        p.drawEllipse(a, w * 0.14, h * 0.10);
        p.drawEllipse(b, w * 0.14, h * 0.10);
        QPainterPath beam;
        beam.moveTo(a.x() + w * 0.10, a.y());
        beam.lineTo(a.x() + w * 0.10, r.top() + h * 0.16);
        beam.lineTo(b.x() + w * 0.10, r.top() + h * 0.06);
        beam.lineTo(b.x() + w * 0.10, b.y());
        beam.lineTo(b.x() + w * 0.04, b.y());
        beam.lineTo(b.x() + w * 0.04, r.top() + h * 0.20);
        beam.lineTo(a.x() + w * 0.16, r.top() + h * 0.30);
        beam.lineTo(a.x() + w * 0.16, a.y());
        beam.closeSubpath();
        p.drawPath(beam);
    }

    void DrawGlobe(QPainter& p, const QRectF& r)
    {
        p.drawEllipse(r);
        p.save();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 0, 0, 80), 2));
        p.drawEllipse(r.adjusted(r.width() * 0.28, 0, -r.width() * 0.28, 0));
        p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
        p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
        const qreal dy = r.height() * 0.25;
        p.drawLine(QPointF(r.left() + r.width() * 0.07, r.center().y() - dy),
            QPointF(r.right() - r.width() * 0.07, r.center().y() - dy));
        p.drawLine(QPointF(r.left() + r.width() * 0.07, r.center().y() + dy),
            QPointF(r.right() - r.width() * 0.07, r.center().y() + dy));
        p.restore();
    }

    void DrawGear(QPainter& p, const QRectF& r)
    {
        const QPointF c = r.center();
        const qreal outer = r.width() * 0.5, inner = r.width() * 0.36;
        const int teeth = 8;
        QPainterPath gear;
        for (int i = 0; i < teeth * 4; ++i) {
            const qreal angle = 2 * std::numbers::pi * i / (teeth * 4);
            const qreal radius = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
            const QPointF pt(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
            if (i == 0)
                gear.moveTo(pt);
            else
                gear.lineTo(pt);
        }
        gear.closeSubpath();
        QPainterPath hole;
        hole.addEllipse(c, r.width() * 0.14, r.width() * 0.14);
        p.drawPath(gear.subtracted(hole));
    }

    void DrawHelp(QPainter& p, const QRectF& r)
    {
        p.drawEllipse(r);
        p.save();
        p.setPen(QColor(0, 0, 0, 110));
        p.setFont(SansFont(int(r.height() * 0.72), true));
        p.drawText(r, Qt::AlignCenter, "?");
        p.restore();
    }

    void DrawTerminal(QPainter& p, const QRectF& r)
    {
        const QRectF screen = r.adjusted(0, r.height() * 0.1, 0, -r.height() * 0.1);
        p.drawRoundedRect(screen, 3, 3);
        p.save();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 0, 0, 120), r.width() * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const qreal x = screen.left() + screen.width() * 0.18, y = screen.center().y();
        const qreal d = screen.height() * 0.18;
        p.drawPolyline(QList<QPointF> { { x, y - d }, { x + d, y }, { x, y + d } });
        p.drawLine(QPointF(x + d * 1.6, y + d), QPointF(screen.right() - screen.width() * 0.18, y + d));
        p.restore();
    }

    void DrawMail(QPainter& p, const QRectF& r)
    {
        const QRectF envelope = r.adjusted(0, r.height() * 0.16, 0, -r.height() * 0.16);
        p.drawRect(envelope);
        p.save();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 0, 0, 90), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QList<QPointF> { envelope.topLeft(),
            { envelope.center().x(), envelope.top() + envelope.height() * 0.58 }, envelope.topRight() });
        p.restore();
    }

    void DrawTrash(QPainter& p, const QRectF& r)
    {
        const qreal w = r.width(), h = r.height();
        p.drawRect(QRectF(r.left() + w * 0.05, r.top() + h * 0.12, w * 0.9, h * 0.1));
        p.drawRect(QRectF(r.left() + w * 0.36, r.top(), w * 0.28, h * 0.14));
        QPainterPath can;
        can.moveTo(r.left() + w * 0.12, r.top() + h * 0.26);
        can.lineTo(r.right() - w * 0.12, r.top() + h * 0.26);
        can.lineTo(r.right() - w * 0.2, r.bottom());
        can.lineTo(r.left() + w * 0.2, r.bottom());
        can.closeSubpath();
        p.drawPath(can);
        p.save();
        p.setPen(QPen(QColor(0, 0, 0, 80), 1.8));
        for (const qreal f : { 0.36, 0.5, 0.64 })
            p.drawLine(QPointF(r.left() + w * f, r.top() + h * 0.36), QPointF(r.left() + w * f, r.bottom() - h * 0.1));
        p.restore();
    }

    void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& r)
    {
        switch (glyph) {
        case Glyph::Folder:
            DrawFolder(p, r);
            break;
        case Glyph::Picture:
            DrawPicture(p, r);
            break;
        case Glyph::Music:
            DrawMusic(p, r);
            break;
        case Glyph::Globe:
            DrawGlobe(p, r);
            break;
        case Glyph::Gear:
            DrawGear(p, r);
            break;
        case Glyph::Help:
            DrawHelp(p, r);
            break;
        case Glyph::Terminal:
            DrawTerminal(p, r);
            break;
        case Glyph::Mail:
            DrawMail(p, r);
            break;
        case Glyph::Trash:
            DrawTrash(p, r);
            break;
        }
    }

} // namespace

QImage WithShadow(const QImage& shape, int lift, int blur)
{
    const QImage argb = shape.convertToFormat(QImage::Format_ARGB32);
    const int w = argb.width(), h = argb.height();
    // The coverage, moved down, then spread by three box blurs (close to a
    // Gaussian) across and down.
    std::vector<int> alpha(size_t(w) * h, 0), spread(alpha.size());
    for (int y = lift; y < h; ++y)
        for (int x = 0; x < w; ++x)
            alpha[size_t(y) * w + x] = qAlpha(argb.pixel(x, y - lift));
    const auto pass = [&](int count, int stride, int lines, int lineStride) {
        for (int line = 0; line < lines; ++line) {
            int* in = alpha.data() + size_t(line) * lineStride;
            int* out = spread.data() + size_t(line) * lineStride;
            for (int i = 0; i < count; ++i) {
                int sum = 0;
                for (int k = std::max(0, i - blur); k <= std::min(count - 1, i + blur); ++k)
                    sum += in[size_t(k) * stride];
                out[size_t(i) * stride] = sum / (2 * blur + 1);
            }
            for (int i = 0; i < count; ++i)
                in[size_t(i) * stride] = out[size_t(i) * stride];
        }
    };
    for (int round = 0; round < 3 && blur > 0; ++round) {
        pass(w, 1, h, w);
        pass(h, w, w, 1);
    }
    QImage shadowed(argb.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            shadowed.setPixel(x, y, qRgba(0, 0, 0, alpha[size_t(y) * w + x] * 3 / 5));
    QPainter p(&shadowed);
    p.drawImage(0, 0, argb);
    p.end();
    return shadowed.convertToFormat(QImage::Format_ARGB32);
}

QImage BackgroundTile(int size)
{
    QImage tile(size, size, QImage::Format_RGB32);
    tile.fill(kBackgroundBase);
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Soft spots at the corners and the centre: the corner ones are cut by the
    // edges and continue on the next tile, so the pattern has no seams.
    const qreal radius = size * 0.42;
    const QPointF spots[] = { { 0, 0 }, { qreal(size), 0 }, { 0, qreal(size) }, { qreal(size), qreal(size) },
        { size / 2.0, size / 2.0 } };
    for (const QPointF& c : spots) {
        QRadialGradient glow(c, radius);
        glow.setColorAt(0, kBackgroundSpot);
        QColor ground = kBackgroundBase;
        ground.setAlpha(0);
        glow.setColorAt(1, ground);
        p.setBrush(glow);
        p.drawEllipse(c, radius, radius);
    }
    return tile;
}

QImage ButtonImage(Glyph glyph, const QColor& hue, Look look, int size)
{
    QImage canvas = TransparentCanvas(QSize(size, size));
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    // Room below and beside the key for its shadow.
    const qreal margin = size * 0.08, depth = size * 0.05, radius = size * 0.18;
    const QRectF face(margin, margin * 0.6, size - 2 * margin, size - 2 * margin - depth);
    const QRectF base = face.translated(0, depth);
    const bool down = look == Look::Down;
    const QRectF top = down ? base : face;

    p.setPen(Qt::NoPen);
    p.setBrush(hue.darker(220));
    p.drawRoundedRect(base, radius, radius);

    const QColor light = look == Look::Mouse ? hue.lighter(145) : hue.lighter(115);
    const QColor dark = down ? hue.darker(135) : hue.darker(110);
    QLinearGradient fill(top.topLeft(), top.bottomLeft());
    fill.setColorAt(0, down ? dark : light);
    fill.setColorAt(1, down ? light : dark);
    p.setBrush(fill);
    p.setPen(QPen(hue.darker(170), 1.2));
    p.drawRoundedRect(top, radius, radius);
    if (look == Look::Mouse) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 236, 170), 2));
        p.drawRoundedRect(top.adjusted(2, 2, -2, -2), radius - 2, radius - 2);
    }

    const qreal inset = size * 0.24;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    DrawGlyph(p, glyph, top.adjusted(inset, inset * 0.9, -inset, -inset * 0.9));
    p.end();
    // A pressed key lies close to the desktop, one under the pointer lifts.
    const int lift = down ? 1 : look == Look::Mouse ? 3 : 2;
    return WithShadow(canvas, lift, std::max(1, int(margin / 3)));
}

QImage BalloonImage(const QStringList& lines, const QSize& size)
{
    QImage canvas = TransparentCanvas(size);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal tail = 12, shadow = 5;
    const QRectF body(tail, 1, size.width() - tail - shadow, size.height() - shadow - 1);
    QPainterPath shape;
    shape.addRoundedRect(body, 10, 10);
    QPainterPath pointer;
    pointer.moveTo(tail + 1, body.bottom() - 26);
    pointer.lineTo(0, body.bottom() - 8);
    pointer.lineTo(tail + 1, body.bottom() - 14);
    pointer.closeSubpath();
    shape = shape.united(pointer);
    p.setPen(QPen(QColor(150, 120, 40), 1.5));
    p.setBrush(QColor(255, 246, 204));
    p.drawPath(shape);
    p.setPen(QColor(60, 48, 20));
    p.setFont(SansFont(12, false));
    p.drawText(body.adjusted(10, 6, -8, -6), Qt::AlignLeft | Qt::AlignVCenter, lines.join('\n'));
    p.end();
    return WithShadow(canvas, 2, 1);
}

QImage SplashImage(int scale)
{
    // Drawn in the picture's own 199 x 97 units, each `scale` pixels.
    QImage image(199 * scale, 97 * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 97);
    sky.setColorAt(0, kBackgroundSpot);
    sky.setColorAt(1, QColor(24, 34, 52));
    p.fillRect(image.rect(), sky);

    // A row of little keys in the desktop's button hues.
    const QColor hues[] = { QColor(214, 150, 40), QColor(70, 160, 90), QColor(140, 90, 190), QColor(50, 120, 200),
        QColor(110, 120, 135), QColor(220, 100, 60) };
    const Glyph glyphs[] = { Glyph::Folder, Glyph::Picture, Glyph::Music, Glyph::Globe, Glyph::Gear, Glyph::Help };
    for (int i = 0; i < 6; ++i) {
        QImage key = ButtonImage(glyphs[i], hues[i], i == 3 ? Look::Mouse : Look::Up, 28 * scale);
        key.setDevicePixelRatio(scale);
        p.drawImage(QPointF(12 + i * 30, 58), key);
    }

    p.setPen(QColor(255, 255, 255));
    p.setFont(SansFont(30, true));
    p.drawText(QRectF(0, 6, 199, 44), Qt::AlignCenter, "Orvanta");
    p.setPen(QColor(255, 210, 80));
    p.drawLine(QPointF(50, 47), QPointF(149, 47));
    p.end();
    image.setDevicePixelRatio(1);
    return image;
}

QImage IconImage(int size)
{
    QImage icon = TransparentCanvas(QSize(size, size));
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient ground(0, 0, 0, s);
    ground.setColorAt(0, kBackgroundSpot);
    ground.setColorAt(1, kBackgroundBase);
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(0, 0, s, s).adjusted(s * 0.03, s * 0.03, -s * 0.03, -s * 0.03), s * 0.2, s * 0.2);

    // Four keys in the desktop's button hues, the last one lit as under the pointer.
    const QColor hues[] = { QColor(220, 100, 60), QColor(214, 150, 40), QColor(70, 160, 90), QColor(235, 235, 240) };
    const qreal cell = s * 0.31, gap = s * 0.08, origin = (s - 2 * cell - gap) / 2;
    for (int i = 0; i < 4; ++i) {
        const QRectF key(origin + (i % 2) * (cell + gap), origin + (i / 2) * (cell + gap), cell, cell);
        QLinearGradient face(key.topLeft(), key.bottomLeft());
        face.setColorAt(0, hues[i].lighter(115));
        face.setColorAt(1, hues[i].darker(115));
        p.setBrush(face);
        p.drawRoundedRect(key, cell * 0.24, cell * 0.24);
    }
    p.end();
    return icon;
}

} // namespace artwork
