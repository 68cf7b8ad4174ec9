#pragma once
// Files, folders and links dropped onto a window, handed over as the shell
// hands them with WM_DROPFILES: local files by their paths, anything else
// (a link from a browser) by its URL.

#include "platform/CString.h"
#include "platform/Types.h"

#include <vector>

struct DROPFILES {
    POINT pt {}; // where they were dropped, in desktop coordinates
    std::vector<CString> items;
};
using HDROP = DROPFILES*;

// With iFile 0xFFFFFFFF the number of items; else item iFile copied into
// lpszFile, which holds cch characters with the terminator (nullptr: none
// copied), and its length without the terminator.
UINT DragQueryFile(HDROP hDrop, UINT iFile, LPSTR lpszFile, UINT cch);
// Where the items were dropped; TRUE as it is always inside the window.
BOOL DragQueryPoint(HDROP hDrop, POINT* lppt);
// The drop belongs to the window while its handler runs: nothing to free.
void DragFinish(HDROP hDrop);
