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

struct DeviceContext {
    // A context over surface memory. Where QPainter cannot draw on the
    // surface's format (8-bit), it draws on a 32-bit copy that finish()
    // maps back to the nearest palette entries. On 32 bits QPainter sets
    // the top byte that the display keeps clear; finish() clears it again.
    static std::unique_ptr<DeviceContext> forSurface(
        BYTE* bits, int width, int height, int pitch, int depth, const PALETTEENTRY* palette);
    // A memory context with no bitmap selected yet.
    static std::unique_ptr<DeviceContext> forMemory();
    ~DeviceContext();

    // Memory contexts are the caller's to delete; surface contexts the surface's.
    bool isMemory() const { return m_memory; }

    // The pixels drawing goes to (an empty image for a memory context
    // without a bitmap).
    QImage& pixels();
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
    bool m_memory = false;
    QImage m_image;
    // For a surface: its memory and depth; on 8 bits the indexed view and its palette.
    BYTE* m_surfaceBits = nullptr;
    int m_depth = 0;
    QImage m_indexed;
    const PALETTEENTRY* m_palette = nullptr;
};
