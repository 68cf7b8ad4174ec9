#include "platform/ResourceTables.h"

#include "res/resource.h"

namespace {

constexpr MenuItemTemplate kOrderItems[] = {
    { "Move &up", ID_ORDER_MOVE_UP, false, {} },
    { "Move to &top", ID_ORDER_MOVE_TO_TOP, false, {} },
    { "Move &down", ID_ORDER_MOVE_DOWN, false, {} },
    { "Move to &bottom", ID_ORDER_MOVE_TO_BOTTOM, false, {} },
};

constexpr MenuItemTemplate kObjectItems[] = {
    { "&Insert...", ID_OBJECT_INSERT, false, {} },
    { "&Copy", ID_OBJECT_COPY, false, {} },
    { "&Paste", ID_OBJECT_PASTE, false, {} },
    { "&Delete", ID_OBJECT_DELETE, false, {} },
    { "P&roperties...", ID_OBJECT_PROPERTIES, false, {} },
    { "&Order...", 0, false, kOrderItems },
    { nullptr, 0, false, {} },
    { "&Locked", ID_DESKTOP_LOCKED, true, {} },
    { "Object Li&st...", ID_OBJECT_LIST, false, {} },
};

// The context menu: its one popup's title is never shown.
constexpr MenuItemTemplate kObjectMenu[] = {
    { "Object", 0, false, kObjectItems },
};

}

std::span<const MenuItemTemplate> FindMenuTemplate(UINT nIDResource)
{
    if (nIDResource == IDR_OBJECT_MENU)
        return kObjectMenu;
    return {};
}
