#pragma once
// The kernel's view of the running program.

#include "platform/Gdi.h"
#include "platform/Types.h"

// The full path of the running executable (module must be null) in buffer,
// as a file-system path. Returns the characters copied without the NUL; a
// path that does not fit is cut, terminated and size is returned; 0 on failure.
DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size);

// Debugger output: written to standard error.
void OutputDebugStringA(LPCSTR text);
