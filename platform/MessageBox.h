#pragma once

#include "platform/Types.h"

inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// A modal message box titled "Orvanta": OK (MB_OK); OK and Cancel
// (MB_OKCANCEL); Yes and No (MB_YESNO); or the question about unsaved edits
// (MB_YESNOCANCEL), whose buttons read Save, Discard and Cancel. Returns the
// button's id: IDOK, IDCANCEL, IDYES or IDNO.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
