#pragma once
// What the command line asks of start-up.

#include "platform/CString.h"

#include <optional>

// The desktop file start-up reads instead of the default one; none for the
// default.
void SetStartDesktopFile(std::optional<CString> path);
const std::optional<CString>& StartDesktopFile();
