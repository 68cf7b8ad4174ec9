// orvanta-desktop: shows a desktop file as JSON and writes one from JSON.
#include "tools/orvanta-desktop/DesktopJson.h"

#include <cstring>
#include <iostream>

namespace {
int usage()
{
    std::cerr << "usage: orvanta-desktop dump FILE.orv\n"
                 "       orvanta-desktop build FILE.json OUT.orv\n";
    return 2;
}
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "dump") == 0)
        return DumpDesktopFile(argv[2], std::cout, std::cerr);
    if (argc == 4 && std::strcmp(argv[1], "build") == 0)
        return BuildDesktopFile(argv[2], argv[3], std::cerr);
    return usage();
}
