#include "platform/Screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

std::optional<ScreenOverride> g_override;

// `r` relative to the primary screen's corner, in device pixels. Position
// and size are scaled apart, as Qt scales a window's geometry.
RECT ToScreenRect(const QRect& r, const QPoint& origin)
{
    const QRect local = r.translated(-origin);
    const int left = DevicePixels(local.left());
    const int top = DevicePixels(local.top());
    return RECT { left, top, left + DevicePixels(local.width()), top + DevicePixels(local.height()) };
}

int LogicalPixels(int device)
{
    return qRound(device / PrimaryScreenScale());
}

} // namespace

int GetSystemMetrics(int nIndex)
{
    if (nIndex != SM_CXSCREEN && nIndex != SM_CYSCREEN)
        return 0;
    SIZE size;
    if (g_override) {
        size = g_override->screen;
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        size = SIZE { DevicePixels(screen->geometry().width()), DevicePixels(screen->geometry().height()) };
    }
    return nIndex == SM_CXSCREEN ? size.cx : size.cy;
}

BOOL SystemParametersInfo(UINT uiAction, UINT, void* pvParam, UINT)
{
    if (uiAction != SPI_GETWORKAREA || !pvParam)
        return FALSE;
    std::optional<RECT> workArea;
    if (g_override)
        workArea = g_override->workArea;
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        workArea = ToScreenRect(screen->availableGeometry(), screen->geometry().topLeft());
    if (!workArea)
        return FALSE;
    *static_cast<RECT*>(pvParam) = *workArea;
    return TRUE;
}

POINT PrimaryScreenOrigin()
{
    QScreen* screen = g_override ? nullptr : QGuiApplication::primaryScreen();
    return screen ? POINT { screen->geometry().x(), screen->geometry().y() } : POINT {};
}

qreal PrimaryScreenScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal scale = screen ? screen->devicePixelRatio() : 1.0;
    return scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

int DevicePixels(qreal logical)
{
    // Bounded, so an absurd factor cannot overflow; no surface is that large.
    constexpr qreal kLimit = 1 << 30;
    return qRound(std::clamp(logical * PrimaryScreenScale(), -kLimit, kLimit));
}

QRect LogicalRect(const RECT& rect)
{
    const POINT origin = PrimaryScreenOrigin();
    return QRect(origin.x + LogicalPixels(rect.left), origin.y + LogicalPixels(rect.top),
        LogicalPixels(rect.right - rect.left), LogicalPixels(rect.bottom - rect.top));
}

QPoint LogicalPoint(POINT point)
{
    const POINT origin = PrimaryScreenOrigin();
    return QPoint(origin.x + LogicalPixels(point.x - origin.x), origin.y + LogicalPixels(point.y - origin.y));
}

BOOL GetCursorPos(POINT* point)
{
    if (!point)
        return FALSE;
    const QPoint pos = QCursor::pos();
    const POINT origin = PrimaryScreenOrigin();
    *point = { origin.x + DevicePixels(pos.x() - origin.x), origin.y + DevicePixels(pos.y() - origin.y) };
    return TRUE;
}

void SetScreenOverride(const ScreenOverride& screen)
{
    g_override = screen;
}

void ClearScreenOverride()
{
    g_override.reset();
}
