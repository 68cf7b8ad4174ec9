#pragma once
// The screen the desktop covers: the primary screen's full size and its work
// area (the part not taken by panels and docks). Screen coordinates have their
// origin at the primary screen's top-left corner, wherever the window system
// puts that screen among others.
//
// The desktop is laid out in device pixels. Qt works in logical pixels, which
// are device pixels divided by the screen's scale factor; the screen's size
// and work area are the window system's own device pixels, and otherwise the
// two meet only through the conversions below, which round as Qt rounds its
// own.

#include "platform/Types.h"

#include <QPoint>
#include <QPointF>
#include <QRect>

#include <optional>

// SM_CXSCREEN / SM_CYSCREEN: the primary screen's width / height; 0 for any
// other index or when there is no screen.
int GetSystemMetrics(int nIndex);

// SPI_GETWORKAREA: stores the primary screen's available geometry in the RECT
// that pvParam points to. FALSE for any other action or when there is no
// screen.
BOOL SystemParametersInfo(UINT uiAction, UINT uiParam, void* pvParam, UINT fWinIni);

// The primary screen's top-left corner in the window system's coordinates
// (Qt keeps a screen's corner where the window system puts it, at any scale).
POINT PrimaryScreenOrigin();

// Device pixels per logical pixel on the primary screen; 1 without a screen
// or when Qt reports no usable factor.
qreal PrimaryScreenScale();
int DevicePixels(qreal logical);
// A rectangle in screen coordinates as a window geometry for Qt.
QRect LogicalRect(const RECT& rect);
// A point in the window system's device coordinates as Qt's global point.
QPoint LogicalPoint(POINT point);
// The pointer's position in the window system's device coordinates.
BOOL GetCursorPos(POINT* point);

// Replaces the screen the two calls above report, for tests: a screen size
// and a work area, or no work area to make SPI_GETWORKAREA fail. Reset with
// ClearScreenOverride.
struct ScreenOverride {
    SIZE screen;
    std::optional<RECT> workArea;
};
void SetScreenOverride(const ScreenOverride& screen);
void ClearScreenOverride();
