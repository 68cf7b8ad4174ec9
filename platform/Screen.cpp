#include "platform/Screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <qpa/qplatformscreen.h>

#include <algorithm>
#include <cmath>

namespace {

std::optional<ScreenOverride> g_override;

// The primary screen's geometry and available geometry in device pixels, as
// the window system gives them: Qt's logical sizes, scaled back, can be a
// pixel off (2560 at 1.5 is 1707 logical, which scales back to 2561).
struct NativeScreen {
    QRect geometry;
    QRect available;
};
std::optional<NativeScreen> NativeScreenGeometry()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPlatformScreen* native = screen ? screen->handle() : nullptr;
    if (!native)
        return std::nullopt;
    return NativeScreen { native->geometry(), native->availableGeometry() };
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
    } else if (const auto native = NativeScreenGeometry()) {
        size = SIZE { native->geometry.width(), native->geometry.height() };
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
    else if (const auto native = NativeScreenGeometry()) {
        const QRect area = native->available.translated(-native->geometry.topLeft());
        workArea = RECT { area.left(), area.top(), area.left() + area.width(), area.top() + area.height() };
    }
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
