// The memory the undo history holds.
//
// The desktop: 50 objects, each with a caption of 100 lines of 60 characters.
// Each benchmark fills the history with 100 edits of one kind, the worst
// cases for what a step keeps:
//   PropertiesEdits  a confirmed Properties edit rewrites one object's caption
//                    and moves it, on objects in turn;
//   RubberBandDrag   all 50 objects selected and dragged;
//   MoveToTop        object 1 moved to the top: every record shifts;
//   DeleteFirst      object 1 deleted (every record shifts down), then a new
//                    object inserted on top so that the table never runs dry:
//                    100 of each, of which the history keeps the last 100 steps.
// "MiB" is what the history then holds (its steps and the copy of the desktop
// they start from); "x_bound" is that over the 16 MiB it must stay under.

#include "app/DesktopApp.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
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

DesktopObject Object(int i, int edit)
{
    DesktopObject r;
    r.strName = CString("Object " + std::to_string(i) + "." + std::to_string(edit));
    r.strText = Caption(i, edit);
    r.strUpImage = "c:\\orvanta\\bitmaps\\button-up.bmp";
    r.strDownImage = "c:\\orvanta\\bitmaps\\button-down.bmp";
    r.strMouseImage = "c:\\orvanta\\bitmaps\\button-mouse.bmp";
    r.strAction = "c:\\programs\\tool.exe --option";
    r.rcObject = { 20 * i, 10, 20 * i + 64, 74 };
    r.rcText = { 20 * i, 80, 20 * i + 400, 1480 };
    r.bVisible = TRUE;
    return r;
}

void FillDesktop(CDesktopApp& app)
{
    app.m_nMaxObjects = kTableSize - 1;
    app.m_nObjects = kObjects + 1;
    app.m_aObjects[0].strName = "Background";
    app.m_aObjects[0].strUpImage = "c:\\orvanta\\bitmaps\\background.bmp";
    for (int i = 1; i <= kObjects; ++i)
        app.m_aObjects[i] = Object(i, 0);
}

// Runs `edit` kEdits times, each recorded as the program records it.
void Measure(benchmark::State& state, const std::function<void(CDesktopApp&, CEditHistory&, int)>& edit)
{
    CDesktopApp app;
    size_t held = 0;
    for (auto _ : state) {
        FillDesktop(app);
        CEditHistory history;
        history.Clear(app);
        for (int k = 1; k <= kEdits; ++k)
            edit(app, history, k);
        held = history.HeldBytes();
        benchmark::DoNotOptimize(held);
    }
    state.counters["MiB"] = double(held) / (1024.0 * 1024.0);
    state.counters["x_bound"] = double(held) / kBoundBytes;
}

void BM_HistoryOfPropertiesEdits(benchmark::State& state)
{
    Measure(state, [](CDesktopApp& app, CEditHistory& history, int k) {
        DesktopObject& r = app.m_aObjects[1 + k % kObjects];
        r.strText = Caption(1 + k % kObjects, k);
        r.rcText = { 10, 100 + k, 400, 1500 + k };
        history.RecordEdit(app);
    });
}

void BM_HistoryOfRubberBandDrag(benchmark::State& state)
{
    Measure(state, [](CDesktopApp& app, CEditHistory& history, int k) {
        for (int i = 1; i <= kObjects; ++i) {
            for (RECT* rc : { &app.m_aObjects[i].rcObject, &app.m_aObjects[i].rcText }) {
                rc->left += k % 2 ? 3 : -2;
                rc->right += k % 2 ? 3 : -2;
                rc->top += 1;
                rc->bottom += 1;
            }
        }
        history.RecordEdit(app);
    });
}

void BM_HistoryOfMoveToTop(benchmark::State& state)
{
    Measure(state, [](CDesktopApp& app, CEditHistory& history, int) {
        std::rotate(app.m_aObjects + 1, app.m_aObjects + 2, app.m_aObjects + app.m_nObjects);
        history.RecordEdit(app);
    });
}

void BM_HistoryOfDeleteFirst(benchmark::State& state)
{
    Measure(state, [](CDesktopApp& app, CEditHistory& history, int k) {
        std::move(app.m_aObjects + 2, app.m_aObjects + app.m_nObjects, app.m_aObjects + 1);
        --app.m_nObjects;
        history.RecordEdit(app);
        app.m_aObjects[app.m_nObjects++] = Object(kObjects, k);
        history.RecordEdit(app);
    });
}

} // namespace

BENCHMARK(BM_HistoryOfPropertiesEdits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryOfRubberBandDrag)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryOfMoveToTop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryOfDeleteFirst)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
