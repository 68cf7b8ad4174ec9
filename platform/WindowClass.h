#pragma once
// Window classes: the icon and cursor that every window of a class shows.

#include "platform/Types.h"

#include <Qt>

// An icon from the program's resources: where the Qt resource system has it.
struct IconResource {
    UINT id;
    const char* path;
};
using HICON = const IconResource*;

struct CursorResource {
    Qt::CursorShape shape;
};
using HCURSOR = const CursorResource*;

inline constexpr UINT CS_VREDRAW = 0x1;
inline constexpr UINT CS_HREDRAW = 0x2;
inline const LPCSTR IDC_ARROW = reinterpret_cast<LPCSTR>(32512);

// Icon resource nIDResource, or nullptr when the program has none.
HICON LoadIcon(UINT nIDResource);
// A standard cursor (hInstance null, IDC_ARROW), or nullptr.
HCURSOR LoadCursor(const void* hInstance, LPCSTR lpCursorName);

struct WindowClass {
    HCURSOR cursor = nullptr;
    HICON icon = nullptr;
};

// Registers a class and returns its name, valid for the whole run. Windows
// here always repaint whole on resize, which is what CS_HREDRAW | CS_VREDRAW
// ask for, so the class styles need no storing. Registering the same cursor
// and icon again returns the same name.
LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HICON hIcon = nullptr);
// The class registered under lpszClassName, or nullptr.
const WindowClass* FindWindowClass(LPCSTR lpszClassName);
