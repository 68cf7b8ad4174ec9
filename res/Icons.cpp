#include "platform/ResourceTables.h"

#include "res/resource.h"

#include <iterator>

namespace {

constexpr IconResource kIcons[] = {
    { IDR_MAINFRAME, ":/orvanta.png" },
};

} // namespace

HICON FindIconResource(UINT id)
{
    for (const IconResource& icon : kIcons)
        if (icon.id == id)
            return &icon;
    return nullptr;
}
