#pragma once
// Pixel loops behind IDirectDrawSurface::Blt, over plain memory.

#include "platform/Types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// A surface's memory: `height` rows of `pitch` bytes, 1, 2 or 4 bytes a pixel.
struct PixelBuffer {
    BYTE* bits = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    int bytesPerPixel = 4;
};

// Fills `rect`, clipped to `dest`, with `value`.
void FillPixels(const PixelBuffer& dest, const RECT& rect, DWORD value);

// Copies `sourceRect` of `source` onto `destRect` of `dest`, stretching to
// the nearest pixel when the sizes differ. Only pixels that lie inside both
// buffers are read or written, whatever the rectangles say. Source pixels
// equal to `key` are left out. Both rectangles must be non-empty and the
// buffers must not overlap.
void CopyPixels(const PixelBuffer& dest, const RECT& destRect, const PixelBuffer& source, const RECT& sourceRect,
    std::optional<DWORD> key);

struct PALETTEENTRY;

// A run of a picture's row, [begin, end) in its columns: opaque, or a block
// of 8 mixed pixels (some neither opaque nor transparent), and where its
// copy starts.
struct AlphaRun {
    int begin = 0;
    int end = 0;
    bool opaque = false;
    int pixels = 0;
};

// What of a picture shows: the mixed blocks of each row, then its opaque
// runs; row y's are runs[rows[y]] up to runs[rows[y + 1]], the opaque ones
// from runs[copies[y]]; transparent pixels have none. `pixels` holds a copy
// of each run ready to draw: an opaque one with its alpha cleared, a block
// with its pixels of other runs transparent (blocks lie within the picture
// where it is that wide, so one may reach back over its neighbours).
struct AlphaRuns {
    std::vector<AlphaRun> runs;
    std::vector<int> rows;
    std::vector<int> copies;
    std::vector<std::uint32_t> pixels;
};

// The runs of `source`, premultiplied ARGB, to be kept with its pixels
// while they do not change.
AlphaRuns FindAlphaRuns(const PixelBuffer& source);

// Blends `sourceRect` of `source`, premultiplied ARGB, over `destRect` of
// `dest` (source over), stretching and clipping as CopyPixels does. Each
// channel becomes source + dest * (255 - alpha) / 255, rounded to nearest.
// A 16-bit destination is widened from RGB565 and narrowed back after; on 8
// bits `palette` gives each index its colour, and the result takes the
// nearest entry. The top byte of a 32-bit destination stays clear. With the
// source's `runs`, transparent blocks are not read and opaque runs are
// copied.
void BlendPixels(const PixelBuffer& dest, const RECT& destRect, const PixelBuffer& source, const RECT& sourceRect,
    const PALETTEENTRY* palette, const AlphaRuns* runs = nullptr);

// What is known of a surface's pixels: outside `drawn` every pixel holds
// `value`. Fills of the whole surface then rewrite only what was drawn since,
// so work follows what is drawn, not the surface's size.
//
// A fill of the whole surface with a new value is only recorded: the memory
// takes the value where it is next used (`settle`), so a surface of which
// little is drawn never has its other pages written.
struct KnownFill {
    DWORD value = 0; // new surfaces are zeroed
    RECT drawn {};
    // While `pending`, memory outside `settled` may not hold `value` yet;
    // `drawn` lies within `settled`.
    bool pending = false;
    RECT settled {};

    // Pixels of `area` may now hold anything.
    void wrote(const RECT& area);
    // The part of `area` (clipped to `whole`) that a fill with `value` must
    // still write, and records the fill. An inexact fill may leave some drawn
    // pixels at other values, so those stay recorded as drawn.
    RECT fill(const RECT& area, DWORD value, const RECT& whole, bool exact = true);
    // Before memory in `area` is read or written: the rectangles to fill with
    // `value` first. `overwritten` when every pixel of `area` is about to be
    // written, so that it needs no fill of its own.
    std::vector<RECT> settle(const RECT& area, const RECT& whole, bool overwritten);
};

// What is known of a surface whose pixels repeat one small picture, its
// cell, laid from the origin: inside each of `covered`, pixel (x, y) is the
// cell's (x mod width, y mod height), whatever the memory holds there.
// Copies that lay the repetition are only recorded and copies out of it are
// drawn from the cell, so a tiled screen keeps no screen of pages.
//
// A repetition is learned from two copies of one cell: the first is written
// (at a multiple of its size, from its source's origin) and remembered as
// `first`; a later copy of the same pixels elsewhere at a multiple of its size
// makes `first` the cell. On a surface still `untouched` (a new tile), the
// first copy is the cell at once: nothing else is likely to be drawn there.
//
// A copy of another cell over a surface known whole through a repetition
// starts a new one on top; the old one, `below`, still answers for what the
// new one does not cover yet, and is forgotten once it covers it all. So a
// new background laid over the old keeps no screen of pages either.
struct KnownTile {
    int width = 0; // the cell's size
    int height = 0;
    int bytesPerPixel = 4;
    // Each of the cell's rows repeated across `stride` pixels (a multiple of
    // `width`), so that a row of the surface is a few long copies.
    int stride = 0;
    std::vector<BYTE> cell;
    std::vector<RECT> covered;
    RECT first {};
    // No pixel written or read but through recorded copies.
    bool untouched = true;
    std::unique_ptr<KnownTile> below;

    bool known() const { return !covered.empty(); }
    // Whether every pixel of `area` is covered.
    bool covers(const RECT& area) const;
    // Records a copy of `sourceRect` of `source` onto `destRect` of `memory`,
    // of one size, when it lays the repetition; false, recording nothing,
    // otherwise. A copy that could be a first cell is then remembered as one.
    bool record(const PixelBuffer& memory, const RECT& destRect, const PixelBuffer& source, const RECT& sourceRect);
    // Before memory in `area` is read or written: writes the covered pixels
    // into `memory`, those below first (none when `overwritten`, every pixel
    // of `area` about to be written, covers them all) and forgets the
    // repetitions.
    void settle(const PixelBuffer& memory, const RECT& area, bool overwritten);
};

// CopyPixels, one pixel to one pixel, from a surface of `width` x `height`
// whose `sourceRect` is covered by `tile`, without reading its memory.
void CopyTilePixels(const PixelBuffer& dest, const RECT& destRect, const KnownTile& tile, const RECT& sourceRect,
    int width, int height);
