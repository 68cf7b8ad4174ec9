// Feeds arbitrary bytes as a .bmp file to DDLoadBitmap, through the same
// file path an object image takes.
#include "bitmaps/DDUtil.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
IDirectDraw* g_dd = nullptr;
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    // Keep single inputs small enough to fuzz quickly; the loader's own
    // limits are exercised by the tests.
    QImageReader::setAllocationLimit(64);
    static QTemporaryDir dir;
    g_path = dir.filePath("input.bmp").toStdString();
    DirectDrawCreate(nullptr, &g_dd, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (FILE* file = std::fopen(g_path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    if (IDirectDrawSurface* surface = DDLoadBitmap(g_dd, g_path.c_str(), 0, 0)) {
        DDReloadBitmap(surface, g_path.c_str());
        surface->Release();
    }
    return 0;
}
