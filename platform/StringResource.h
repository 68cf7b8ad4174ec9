#pragma once
// String resources and the pieces of a separated string.

#include "platform/CString.h"
#include "platform/Types.h"

// String resource nID into rString; FALSE (rString emptied) when there is none.
BOOL LoadStringResource(UINT nID, CString& rString);

// Piece iSubString (from 0) of lpszFullString split at chSep into rString;
// FALSE (rString emptied) when the string has fewer pieces.
BOOL AfxExtractSubString(CString& rString, LPCSTR lpszFullString, int iSubString, char chSep = '\n');
