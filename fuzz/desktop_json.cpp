// Arbitrary bytes as the inspector's JSON. Whatever is accepted must print
// as JSON that is accepted again and prints the same.
#include "tools/orvanta-desktop/DesktopJson.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    DesktopData desktop;
    if (!DesktopFromJson(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), desktop, nullptr))
        return 0;
    if (desktop.aObjects.size() > size_t(kMaxDesktopRecords))
        std::abort();
    const QByteArray json = DesktopToJson(desktop);
    DesktopData again;
    if (!DesktopFromJson(json, again, nullptr) || DesktopToJson(again) != json)
        std::abort();
    return 0;
}
