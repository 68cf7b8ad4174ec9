#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

std::optional<ScreenOverride> g_override;

// `r` relative to the primary screen's corner.
RECT ToScreenRect(const QRect& r, const QPoint& origin)
{
    QRect local = r.translated(-origin);
    return RECT { local.left(), local.top(), local.left() + local.width(), local.top() + local.height() };
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
        size = SIZE { screen->geometry().width(), screen->geometry().height() };
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

void SetScreenOverride(const ScreenOverride& screen)
{
    g_override = screen;
}

void ClearScreenOverride()
{
    g_override.reset();
}
