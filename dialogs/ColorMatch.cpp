#include "dialogs/ColorMatch.h"

#include "app/DesktopApp.h"
#include "bitmaps/DDUtil.h"

DWORD MatchColor(CDesktopApp& app, COLORREF color)
{
    if (!app.m_pDDSColor)
        app.CreateColorSurface();
    return app.m_pDDSColor ? DDColorMatch(app.m_pDDSColor, color) : CLR_INVALID;
}
