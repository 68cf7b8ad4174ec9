#pragma once
// Menu resources as data.

#include "platform/Types.h"

#include <span>

struct MenuItemTemplate {
    const char* text; // '&' before the mnemonic; nullptr for a separator
    UINT id; // command id; 0 for a separator or a popup
    bool checked;
    std::span<const MenuItemTemplate> popup; // the items of a popup, else empty
};

// The top-level items of menu resource `nIDResource`; empty when there is none.
std::span<const MenuItemTemplate> FindMenuTemplate(UINT nIDResource);
