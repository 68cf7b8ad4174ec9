#include "platform/ResourceTables.h"

#include "res/resource.h"

namespace {

struct BitmapResource {
    UINT id;
    const char* path;
};

constexpr BitmapResource kBitmaps[] = {
    { IDB_SPLASH, ":/splash.bmp" },
};

} // namespace

const char* FindBitmapResource(UINT id)
{
    for (const BitmapResource& bitmap : kBitmaps)
        if (bitmap.id == id)
            return bitmap.path;
    return nullptr;
}
