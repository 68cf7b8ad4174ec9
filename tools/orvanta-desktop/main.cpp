// orvanta-desktop: shows a desktop file as JSON and writes one from JSON.
#include "tools/orvanta-desktop/DesktopJson.h"

#include <cstring>
#include <iostream>

namespace {

constexpr char kUsage[] = "usage: orvanta-desktop dump FILE.orv\n"
                          "       orvanta-desktop build FILE.json OUT.orv\n"
                          "       orvanta-desktop --help | --version\n";

int Help()
{
    std::cout << kUsage
              << "\n"
                 "  dump FILE.orv             prints the desktop file as JSON on standard output\n"
                 "  build FILE.json OUT.orv   writes the desktop file OUT.orv from the JSON in FILE.json\n"
                 "  -h, --help                prints this help\n"
                 "  -v, --version             prints the version\n";
    return 0;
}

int Usage()
{
    std::cerr << kUsage;
    return 2;
}

bool Is(const char* argument, const char* shortName, const char* longName)
{
    return std::strcmp(argument, shortName) == 0 || std::strcmp(argument, longName) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && Is(argv[1], "-h", "--help"))
        return Help();
    if (argc == 2 && Is(argv[1], "-v", "--version")) {
        std::cout << "orvanta-desktop " ORVANTA_VERSION "\n";
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "dump") == 0)
        return DumpDesktopFile(argv[2], std::cout, std::cerr);
    if (argc == 4 && std::strcmp(argv[1], "build") == 0)
        return BuildDesktopFile(argv[2], argv[3], std::cerr);
    return Usage();
}
