#pragma once
// The user's own folders, asked for as the shell is asked for them, found
// by the XDG base directory conventions.

#include "platform/PresentTarget.h"
#include "platform/Types.h"

// Room for any path the system allows.
inline constexpr int MAX_PATH = 4096;

// $XDG_CONFIG_HOME/autostart: programs started with the session.
inline constexpr int CSIDL_STARTUP = 0x0007;
// $XDG_CONFIG_HOME, by default ~/.config.
inline constexpr int CSIDL_APPDATA = 0x001a;
// $XDG_DATA_HOME, by default ~/.local/share.
inline constexpr int CSIDL_LOCAL_APPDATA = 0x001c;
// Made (with its parents) when it does not exist.
inline constexpr int CSIDL_FLAG_CREATE = 0x8000;

// The folder nFolder (a CSIDL_ value, optionally with CSIDL_FLAG_CREATE) in
// pszPath, which holds MAX_PATH characters. A relative or empty XDG variable
// is ignored, as the conventions ask. E_FAIL when there is no home folder,
// the path does not fit, or a folder to be made cannot be; E_INVALIDARG for
// an unknown folder. hwndOwner and hToken are unused.
HRESULT SHGetFolderPath(HWND hwndOwner, int nFolder, void* hToken, DWORD dwFlags, LPSTR pszPath);
