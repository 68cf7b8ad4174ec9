#pragma once
// The program's resources as data. The platform looks them up by id; the
// program's res/ folder defines the tables. Each lookup gives nullptr (or an
// empty span) for an id it does not hold.

#include "platform/Types.h"
#include "platform/WindowClass.h"

#include <span>

// The text of string resource `id`.
LPCSTR FindStringResource(UINT id);

struct MenuItemTemplate {
    const char* text; // '&' before the mnemonic; nullptr for a separator
    UINT id; // command id; 0 for a separator or a popup
    bool checked;
    std::span<const MenuItemTemplate> popup; // the items of a popup, else empty
};

// The top-level items of menu resource `nIDResource`.
std::span<const MenuItemTemplate> FindMenuTemplate(UINT nIDResource);

// Icon resource `id`.
HICON FindIconResource(UINT id);

// The Qt resource path of bitmap resource `id`.
const char* FindBitmapResource(UINT id);
