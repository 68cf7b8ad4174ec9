#include "platform/DropFiles.h"

#include <algorithm>
#include <cstring>

UINT DragQueryFile(HDROP hDrop, UINT iFile, LPSTR lpszFile, UINT cch)
{
    if (!hDrop)
        return 0;
    if (iFile == 0xFFFFFFFF)
        return UINT(hDrop->items.size());
    if (iFile >= hDrop->items.size())
        return 0;
    const CString& item = hDrop->items[iFile];
    if (!lpszFile || cch == 0)
        return UINT(item.GetLength());
    const UINT n = std::min(UINT(item.GetLength()), cch - 1);
    std::memcpy(lpszFile, LPCSTR(item), n);
    lpszFile[n] = '\0';
    return n;
}

BOOL DragQueryPoint(HDROP hDrop, POINT* lppt)
{
    if (!hDrop || !lppt)
        return FALSE;
    *lppt = hDrop->pt;
    return TRUE;
}

void DragFinish(HDROP) { }
