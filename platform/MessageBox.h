#pragma once

#include "platform/Types.h"

// A modal message box titled "Orvanta" with OK (MB_OK) or OK and Cancel
// (MB_OKCANCEL); returns IDOK or IDCANCEL.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
