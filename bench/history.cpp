// The memory the undo history holds.
//
// The desktop: 50 objects, each with a caption of 100 lines of 60 characters.
// One step is a confirmed Properties edit that rewrites one object's caption
// and moves it; 100 of them, on objects in turn, fill the history. "MiB" is
// what the history then holds (its steps and the copy of the desktop they
// start from); "x_bound" is that over the 16 MiB it must stay under.

#include "app/DesktopApp.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kObjects = 50;
constexpr int kLines = 100;
constexpr int kEdits = 100;
constexpr double kBoundBytes = 16.0 * 1024 * 1024;

CString Caption(int object, int edit)
{
    std::string text;
    for (int line = 0; line < kLines; ++line) {
        std::string row = "Object " + std::to_string(object) + ", edit " + std::to_string(edit) + ", line "
            + std::to_string(line) + " ";
        row.resize(60, '.');
        text += row + (line + 1 < kLines ? "\r\n" : "");
    }
    return CString(text);
}

void FillDesktop(CDesktopApp& app)
{
    app.m_nMaxObjects = kTableSize - 1;
    app.m_nObjects = kObjects + 1;
    app.m_aObjects[0].strName = "Background";
    app.m_aObjects[0].strUpImage = "c:\\orvanta\\bitmaps\\background.bmp";
    for (int i = 1; i <= kObjects; ++i) {
        DesktopObject& r = app.m_aObjects[i];
        r.strName = CString(("Object " + std::to_string(i)).c_str());
        r.strText = Caption(i, 0);
        r.strUpImage = "c:\\orvanta\\bitmaps\\button-up.bmp";
        r.strDownImage = "c:\\orvanta\\bitmaps\\button-down.bmp";
        r.strMouseImage = "c:\\orvanta\\bitmaps\\button-mouse.bmp";
        r.strAction = "c:\\programs\\tool.exe --option";
        r.rcObject = { 20 * i, 10, 20 * i + 64, 74 };
        r.bVisible = TRUE;
    }
}

void BM_HistoryOfPropertiesEdits(benchmark::State& state)
{
    CDesktopApp app;
    size_t held = 0;
    for (auto _ : state) {
        FillDesktop(app);
        CEditHistory history;
        history.Clear(app);
        for (int edit = 1; edit <= kEdits; ++edit) {
            DesktopObject& r = app.m_aObjects[1 + edit % kObjects];
            r.strText = Caption(1 + edit % kObjects, edit);
            r.rcText = { 10, 100 + edit, 400, 1500 + edit };
            history.RecordEdit(app);
        }
        held = history.HeldBytes();
        benchmark::DoNotOptimize(held);
    }
    state.counters["MiB"] = double(held) / (1024.0 * 1024.0);
    state.counters["x_bound"] = double(held) / kBoundBytes;
}

} // namespace

BENCHMARK(BM_HistoryOfPropertiesEdits)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
