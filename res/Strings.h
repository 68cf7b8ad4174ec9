#pragma once
// The string table as data.

#include "platform/Types.h"

// The text of string resource `id`, or nullptr when there is none.
LPCSTR FindStringResource(UINT id);
