#include "platform/Module.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size)
{
    if (module || !buffer || size == 0)
        return 0;
    std::error_code error;
    const std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error || path.empty())
        return 0;
    if (path.size() >= size) {
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
}

void OutputDebugStringA(LPCSTR text)
{
    if (text)
        std::fputs(text, stderr);
}
