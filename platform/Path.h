#pragma once
// Windows paths on a POSIX file system.

#include "platform/Types.h"

#include <string>

// The file-system path for a path written the Windows way: every backslash
// becomes '/', and when that exact path does not exist each component is
// looked up ignoring case.
std::string NativePath(LPCSTR path);
