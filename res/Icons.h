#pragma once
// Icon resources as data.

#include "platform/WindowClass.h"

// Icon resource `id`, or nullptr when there is none.
HICON FindIconResource(UINT id);
