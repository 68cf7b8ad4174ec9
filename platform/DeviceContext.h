#pragma once
// What HDC and HGDIOBJ point at: a device context drawing with QPainter, and
// the GDI objects (bitmaps as QImages, fonts as QFonts).

#include "platform/DirectDraw.h"
#include "platform/Types.h"

#include <QFont>
#include <QImage>

#include <variant>

struct GdiObject {
    std::variant<QImage, QFont> value;
    // Device contexts the bitmap is selected into; it cannot be deleted then.
    int selections = 0;
};

struct KnownFill;

struct DeviceContext {
    // A context over surface memory. Where QPainter cannot draw on the
    // surface's format, it draws on a 32-bit copy of the areas it touches,
    // which finish() maps back: to the nearest palette entries on 8 bits, to
    // RGB565 on 16 (Qt's aliased text on RGB16 images drops every other
    // row, and writes past its clip). On
    // 32 bits QPainter sets the top byte that the display keeps clear;
    // finish() clears it again, unless the surface holds premultiplied
    // ARGB (`alpha`), which QPainter draws on directly. Only touched areas
    // are converted and finished, and `known` learns what was drawn.
    static std::unique_ptr<DeviceContext> forSurface(BYTE* bits, int width, int height, int pitch, int depth,
        bool alpha, const PALETTEENTRY* palette, KnownFill* known);
    // A memory context with no bitmap selected yet.
    static std::unique_ptr<DeviceContext> forMemory();
    ~DeviceContext();

    // Memory contexts are the caller's to delete; surface contexts the surface's.
    bool isMemory() const { return m_memory; }

    // The pixels drawing goes to (an empty image for a memory context
    // without a bitmap), ready to be read within `area` and, when `write`,
    // drawn on there. Drawing must stay within `area`.
    QImage& pixels(const QRect& area, bool write = true);
    // The pixels as they stand, for their size.
    const QImage& image() const;
    // Fills `area` with `color`, leaving out what holds that colour already.
    void fill(const QRect& area, COLORREF color);
    // Brings what was drawn into the surface's pixel format.
    void finish();

    GdiObject* bitmap = nullptr;
    GdiObject* font = nullptr;
    QFont qfont;
    COLORREF textColor = 0;
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = 2; // OPAQUE

private:
    DeviceContext() = default;
    // Makes `area` of the drawing image current (converting it on 8 and 16 bits)
    // and due for finishing.
    void touch(const QRect& area);
    void convert(const QRect& area);

    bool m_memory = false;
    QImage m_image;
    // For a surface: its memory and depth, what is known of its pixels, the
    // area touched; on 8 bits the palette.
    BYTE* m_surfaceBits = nullptr;
    int m_pitch = 0;
    int m_depth = 0;
    bool m_alpha = false;
    KnownFill* m_known = nullptr;
    QRect m_touched;
    const PALETTEENTRY* m_palette = nullptr;
    QList<QRgb> m_table;
};
