// Feeds arbitrary bytes as a palette bitmap file to DDLoadPalette.
#include "bitmaps/DDUtil.h"

#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {
IDirectDraw* g_dd = nullptr;
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static QTemporaryDir dir;
    g_path = dir.filePath("palette.bmp").toStdString();
    DirectDrawCreate(nullptr, &g_dd, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (FILE* file = std::fopen(g_path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    if (IDirectDrawPalette* palette = DDLoadPalette(g_dd, g_path.c_str()))
        palette->Release();
    return 0;
}
