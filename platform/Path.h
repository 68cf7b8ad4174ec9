#pragma once
// Windows paths on a POSIX file system.

#include "platform/Types.h"

#include <string>

class QFile;

// The file-system path for a path written the Windows way: every backslash
// becomes '/', and when that exact path does not exist each component is
// looked up ignoring case.
std::string NativePath(LPCSTR path);

// Opens `file` for reading on the file at `path`, a native path in the file
// system's own bytes (Qt's file names are UTF-8 text and cannot name every
// file). Without waiting for a writer when the path names a FIFO.
bool OpenNativeFile(QFile& file, const std::string& path);
