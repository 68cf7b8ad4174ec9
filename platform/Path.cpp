#include "platform/Path.h"

#include <algorithm>

std::string NativePath(LPCSTR path)
{
    std::string native(path ? path : "");
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}
