#include "platform/StringResource.h"

#include "platform/ResourceTables.h"

#include <cstring>

BOOL LoadStringResource(UINT nID, CString& rString)
{
    LPCSTR text = FindStringResource(nID);
    rString = CString(text);
    return text != nullptr;
}

BOOL AfxExtractSubString(CString& rString, LPCSTR lpszFullString, int iSubString, char chSep)
{
    rString.Empty();
    if (!lpszFullString || iSubString < 0)
        return FALSE;
    const char* start = lpszFullString;
    for (; iSubString > 0; --iSubString) {
        start = std::strchr(start, chSep);
        if (!start)
            return FALSE;
        ++start;
    }
    const char* end = std::strchr(start, chSep);
    rString = end ? CString(start, int(end - start)) : CString(start);
    return TRUE;
}
