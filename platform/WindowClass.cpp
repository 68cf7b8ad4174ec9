#include "platform/WindowClass.h"

#include "platform/ResourceTables.h"

#include <cstdint>
#include <list>
#include <string>

namespace {

struct RegisteredClass {
    std::string name;
    WindowClass wndClass;
};

// A list keeps every name's storage in place for the whole run.
std::list<RegisteredClass>& Registry()
{
    static std::list<RegisteredClass> registry;
    return registry;
}

} // namespace

HICON LoadIcon(UINT nIDResource)
{
    return FindIconResource(nIDResource);
}

HCURSOR LoadCursor(const void* hInstance, LPCSTR lpCursorName)
{
    static constexpr CursorResource arrow { Qt::ArrowCursor };
    if (hInstance == nullptr && lpCursorName == IDC_ARROW)
        return &arrow;
    return nullptr;
}

LPCSTR AfxRegisterWndClass(UINT, HCURSOR hCursor, HICON hIcon)
{
    for (const RegisteredClass& c : Registry())
        if (c.wndClass.cursor == hCursor && c.wndClass.icon == hIcon)
            return c.name.c_str();
    std::string name = "Orv:" + std::to_string(Registry().size());
    Registry().push_back(RegisteredClass { std::move(name), WindowClass { hCursor, hIcon } });
    return Registry().back().name.c_str();
}

const WindowClass* FindWindowClass(LPCSTR lpszClassName)
{
    if (!lpszClassName)
        return nullptr;
    for (const RegisteredClass& c : Registry())
        if (c.name == lpszClassName)
            return &c.wndClass;
    return nullptr;
}
