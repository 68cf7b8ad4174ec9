#pragma once
// Carrying bitmaps and colours between GDI and DirectDraw surfaces.

#include "platform/DirectDraw.h"
#include "platform/Gdi.h"
#include "platform/Types.h"

// A new off-screen surface holding the bitmap resource or file `name`, at
// `width` x `height` (0 = the bitmap's own size); NULL when none loads.
IDirectDrawSurface* DDLoadBitmap(IDirectDraw* dd, LPCSTR name, int width, int height);

// Fills `surface` again from the bitmap resource or file `name`, scaled to it.
HRESULT DDReloadBitmap(IDirectDrawSurface* surface, LPCSTR name);

// Stretches the region (x, y, width, height) of `bitmap` (0 = its full width
// or height) over the whole of `surface`.
HRESULT DDCopyBitmap(IDirectDrawSurface* surface, HBITMAP bitmap, int x, int y, int width, int height);

// A 256-entry palette from the colour table of the bitmap resource or file
// `name`, over the default 3-3-2 palette.
IDirectDrawPalette* DDLoadPalette(IDirectDraw* dd, LPCSTR name);

// The value `surface` stores for `color`; CLR_INVALID reads its first pixel.
DWORD DDColorMatch(IDirectDrawSurface* surface, COLORREF color);

// Sets `color` as the source colour key of `surface`.
HRESULT DDSetColorKey(IDirectDrawSurface* surface, COLORREF color);

// Whether `surface` holds per-pixel alpha (a picture with its own
// transparency), drawn with DDBLT_ALPHASRC instead of its colour key.
BOOL DDHasAlpha(IDirectDrawSurface* surface);
