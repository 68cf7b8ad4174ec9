#include "platform/ResourceTables.h"

#include "res/resource.h"

namespace {

struct StringResource {
    UINT id;
    LPCSTR text;
};

// The frame's string: window title, then the document names it would have.
constexpr StringResource kStrings[] = {
    { IDR_MAINFRAME, "Orvanta\n\nOrvanta" },
};

} // namespace

LPCSTR FindStringResource(UINT id)
{
    for (const StringResource& s : kStrings)
        if (s.id == id)
            return s.text;
    return nullptr;
}
