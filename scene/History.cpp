#include "scene/History.h"

#include "app/DesktopApp.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// The desktop-wide fields an edit can change, all of them saved with the file.
struct DesktopSettings {
    BYTE bTile = 0;
    DWORD dwBackPixel = 0;
    COLORREF crBackground = 0;
    LOGFONT lfDefault;
};

bool SameSettings(const DesktopSettings& a, const DesktopSettings& b)
{
    return a.bTile == b.bTile && a.dwBackPixel == b.dwBackPixel && a.crBackground == b.crBackground
        && std::memcmp(&a.lfDefault, &b.lfDefault, sizeof a.lfDefault) == 0;
}

// One field of a record, compared, kept and put back on its own: a step keeps
// the rectangles a drag moved, not the captions beside them. A kept value is
// the field's characters, or its bytes.
struct Field {
    bool (*same)(const DesktopObject&, const DesktopObject&);
    std::string (*get)(const DesktopObject&);
    void (*set)(DesktopObject&, const std::string&);
};

template<auto M> constexpr Field MakeField()
{
    using T = std::remove_cvref_t<decltype(DesktopObject().*M)>;
    if constexpr (std::is_same_v<T, CString>) {
        return { [](const DesktopObject& a, const DesktopObject& b) { return a.*M == b.*M; },
            [](const DesktopObject& r) { return (r.*M).str(); },
            [](DesktopObject& r, const std::string& v) { r.*M = CString(v); } };
    } else {
        static_assert(std::is_trivially_copyable_v<T>);
        return { [](const DesktopObject& a, const DesktopObject& b) {
                    return std::memcmp(&(a.*M), &(b.*M), sizeof(T)) == 0;
                },
            [](const DesktopObject& r) { return std::string(reinterpret_cast<const char*>(&(r.*M)), sizeof(T)); },
            [](DesktopObject& r, const std::string& v) { std::memcpy(&(r.*M), v.data(), sizeof(T)); } };
    }
}

// Every field of a record, all of them saved with the file.
constexpr Field kFields[] = { MakeField<&DesktopObject::strName>(), MakeField<&DesktopObject::dwReserved>(),
    MakeField<&DesktopObject::strText>(), MakeField<&DesktopObject::rcText>(), MakeField<&DesktopObject::lfFont>(),
    MakeField<&DesktopObject::dwTextPixel>(), MakeField<&DesktopObject::crText>(),
    MakeField<&DesktopObject::dwHotTextPixel>(), MakeField<&DesktopObject::crHotText>(),
    MakeField<&DesktopObject::nJustify>(), MakeField<&DesktopObject::strUpImage>(),
    MakeField<&DesktopObject::strDownImage>(), MakeField<&DesktopObject::strMouseImage>(),
    MakeField<&DesktopObject::rcObject>(), MakeField<&DesktopObject::strActivate>(),
    MakeField<&DesktopObject::bVisible>(), MakeField<&DesktopObject::bTextOnMouseOver>(),
    MakeField<&DesktopObject::strAction>() };

bool SameRecord(const DesktopObject& a, const DesktopObject& b)
{
    return std::all_of(std::begin(kFields), std::end(kFields), [&](const Field& f) { return f.same(a, b); });
}

// The whole desktop, as the last step (or the last clear) left it.
struct Desktop {
    std::vector<DesktopObject> records;
    DesktopSettings settings;
};

Desktop TakeDesktop(const CDesktopApp& app)
{
    Desktop d;
    d.records.assign(app.m_aObjects, app.m_aObjects + app.m_nObjects);
    d.settings = { app.m_bTile, app.m_dwBackPixel, app.m_crBackground, app.m_lfDefault };
    return d;
}

// One field of the record at `index` after the step, before and after it.
struct Change {
    int index = 0;
    int field = 0;
    std::string before;
    std::string after;
};

// What one edit changed. Each record after the step came from a place before
// it (a deletion or a change of order shifts many) or is new; records gone or
// new are kept whole, the others only by the fields that changed.
struct Step {
    std::vector<int> from; // per record after the step: its index before, or -1
    int nBefore = 0;
    DesktopSettings before;
    DesktopSettings after;
    std::vector<Change> changes;
    std::vector<std::pair<int, DesktopObject>> removed; // at their index before
    std::vector<std::pair<int, DesktopObject>> added; // at their index after
    size_t bytes = 0;
};

// Pairs each record after an edit with the one it was before it: the same
// place and name, else the first unpaired of that name (the records shifted),
// else the unpaired one at the same place (it was renamed).
std::vector<int> PairRecords(const std::vector<DesktopObject>& before, const std::vector<DesktopObject>& after)
{
    std::vector<int> from(after.size(), -1);
    std::vector<bool> paired(before.size(), false);
    const auto pair = [&](size_t i, size_t j) {
        if (from[i] < 0 && j < before.size() && !paired[j])
            from[i] = int(j), paired[j] = true;
    };
    for (size_t i = 0; i < after.size(); ++i)
        if (i < before.size() && before[i].strName == after[i].strName)
            pair(i, i);
    for (size_t i = 0; i < after.size(); ++i)
        for (size_t j = 0; j < before.size() && from[i] < 0; ++j)
            if (before[j].strName == after[i].strName)
                pair(i, j);
    for (size_t i = 0; i < after.size(); ++i)
        pair(i, i);
    return from;
}

Step MakeStep(const Desktop& before, const Desktop& after)
{
    Step step;
    step.from = PairRecords(before.records, after.records);
    step.nBefore = int(before.records.size());
    step.before = before.settings;
    step.after = after.settings;
    std::vector<bool> kept(before.records.size(), false);
    for (size_t i = 0; i < after.records.size(); ++i) {
        const int j = step.from[i];
        if (j < 0) {
            step.added.emplace_back(int(i), after.records[i]);
            continue;
        }
        kept[size_t(j)] = true;
        for (int f = 0; f < int(std::size(kFields)); ++f)
            if (!kFields[f].same(before.records[size_t(j)], after.records[i]))
                step.changes.push_back(
                    { int(i), f, kFields[f].get(before.records[size_t(j)]), kFields[f].get(after.records[i]) });
    }
    for (size_t j = 0; j < before.records.size(); ++j)
        if (!kept[j])
            step.removed.emplace_back(int(j), before.records[j]);
    return step;
}

bool Moved(const Step& step)
{
    for (size_t i = 0; i < step.from.size(); ++i)
        if (step.from[i] != int(i))
            return true;
    return false;
}

bool Empty(const Step& step)
{
    return step.changes.empty() && step.removed.empty() && step.added.empty() && !Moved(step)
        && SameSettings(step.before, step.after);
}

// The desktop on the other side of `step`: before it when undoing, after it
// when redoing.
Desktop Cross(Desktop d, const Step& step, bool bUndo)
{
    Desktop to;
    to.settings = bUndo ? step.before : step.after;
    to.records.resize(bUndo ? size_t(step.nBefore) : step.from.size());
    for (size_t i = 0; i < step.from.size(); ++i) {
        const int j = step.from[i];
        if (j >= 0 && bUndo)
            to.records[size_t(j)] = std::move(d.records[i]);
        else if (j >= 0)
            to.records[i] = std::move(d.records[size_t(j)]);
    }
    for (const Change& c : step.changes) {
        DesktopObject& r = to.records[bUndo ? size_t(step.from[size_t(c.index)]) : size_t(c.index)];
        kFields[c.field].set(r, bUndo ? c.before : c.after);
    }
    for (const auto& [i, r] : bUndo ? step.removed : step.added)
        to.records[size_t(i)] = r;
    return to;
}

size_t HeapBytes(const std::string& text)
{
    const char* inside = reinterpret_cast<const char*>(&text);
    const bool bShort = text.data() >= inside && text.data() < inside + sizeof text;
    return bShort ? 0 : text.capacity() + 1;
}

size_t RecordBytes(const DesktopObject& r)
{
    return sizeof r + HeapBytes(r.strName.str()) + HeapBytes(r.strText.str()) + HeapBytes(r.strUpImage.str())
        + HeapBytes(r.strDownImage.str()) + HeapBytes(r.strMouseImage.str()) + HeapBytes(r.strActivate.str())
        + HeapBytes(r.strAction.str());
}

size_t DesktopBytes(const Desktop& d)
{
    size_t n = sizeof d + (d.records.capacity() - d.records.size()) * sizeof(DesktopObject);
    for (const DesktopObject& r : d.records)
        n += RecordBytes(r);
    return n;
}

size_t StepBytes(const Step& step)
{
    size_t n = sizeof step + step.from.capacity() * sizeof(int) + step.changes.capacity() * sizeof(Change);
    for (const Change& c : step.changes)
        n += HeapBytes(c.before) + HeapBytes(c.after);
    for (const auto* records : { &step.removed, &step.added }) {
        n += (records->capacity() - records->size()) * sizeof(records->front());
        for (const auto& [i, r] : *records)
            n += sizeof i + RecordBytes(r);
    }
    return n;
}

// Puts `to` in place of the desktop the app holds, then rebuilds the objects
// whose records differ.
void Show(CDesktopApp& app, const Desktop& to)
{
    const int n = int(to.records.size());
    std::vector<int> changed;
    for (int i = 0; i < std::max(n, app.m_nObjects); ++i)
        if (i >= n || i >= app.m_nObjects || !SameRecord(app.m_aObjects[i], to.records[size_t(i)]))
            changed.push_back(i);
    const bool bTileChanged = app.m_bTile != to.settings.bTile;

    // The records as they were.
    app.m_nObjects = n;
    std::copy(to.records.begin(), to.records.end(), app.m_aObjects);
    app.m_bTile = to.settings.bTile;
    app.m_dwBackPixel = to.settings.dwBackPixel;
    app.m_crBackground = to.settings.crBackground;
    app.m_lfDefault = to.settings.lfDefault;

    // No selection, hover or press survives: their indices may now name other objects.
    for (int i = 0; i < kTableSize - 1; ++i) {
        app.m_aRuntime[i].bSelected = FALSE;
        if (i > 0)
            app.m_aRuntime[i].nState = 1;
    }
    app.m_bShowSelection = FALSE;
    app.m_nHoverObject = 0;
    app.m_nPressedImage = 0;
    app.m_nPressedText = 0;

    // The links are found again, but a target keeps the Visible flag its
    // record had: resolving hides targets, and the record may have been shown.
    app.ResolveActivationLinks();
    for (int i = 0; i < n; ++i)
        app.m_aObjects[i].bVisible = to.records[size_t(i)].bVisible;
    app.ApplyVisibility();

    // Only the objects that changed are rebuilt; those beyond the table's end
    // just give up their surfaces.
    app.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app.m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    for (int i : changed) {
        app.ReleaseObjectImages(i);
        app.ReleaseCaptionSurfaces(i);
        if (i < n) {
            app.LoadObjectImages(i);
            app.CreateCaptionSurfaces(i);
            app.SetObjectColorKeys(i);
        }
    }
    if ((!changed.empty() && changed.front() == 0) || bTileChanged) {
        app.ReleaseTileSurface();
        app.UpdateTileSurface();
    }
}

} // namespace

struct CEditHistory::Steps {
    Desktop base;
    size_t nBaseBytes = 0;
    bool bHaveBase = false;
    // Each side's oldest step first: undo's last is undone next, redo's last redone next.
    std::deque<Step> undo;
    std::deque<Step> redo;
    size_t nStepBytes = 0;

    void SetBase(Desktop d)
    {
        base = std::move(d);
        nBaseBytes = DesktopBytes(base);
        bHaveBase = true;
    }
    void Push(std::deque<Step>& side, Step step)
    {
        nStepBytes += step.bytes;
        side.push_back(std::move(step));
    }
    Step Pop(std::deque<Step>& side, bool bNewest)
    {
        Step step = std::move(bNewest ? side.back() : side.front());
        bNewest ? side.pop_back() : side.pop_front();
        nStepBytes -= step.bytes;
        return step;
    }
    // Drops the oldest steps past either bound: undo's first, then redo's.
    void Trim()
    {
        while (undo.size() > size_t(kMaxSteps))
            Pop(undo, false);
        while (!(undo.empty() && redo.empty()) && sizeof(Steps) + nBaseBytes + nStepBytes > kMaxBytes)
            Pop(undo.empty() ? redo : undo, false);
    }
};

CEditHistory::CEditHistory()
    : m_steps(std::make_unique<Steps>())
{
}

CEditHistory::~CEditHistory() = default;

void CEditHistory::Clear(const CDesktopApp& app)
{
    m_steps->undo.clear();
    m_steps->redo.clear();
    m_steps->nStepBytes = 0;
    m_steps->SetBase(TakeDesktop(app));
}

bool CEditHistory::RecordEdit(const CDesktopApp& app)
{
    Steps& h = *m_steps;
    if (!h.bHaveBase) {
        // Nothing to compare with yet: this desktop is where history begins.
        Clear(app);
        return false;
    }

    Desktop now = TakeDesktop(app);
    Step step = MakeStep(h.base, now);
    if (Empty(step))
        return false;
    step.bytes = StepBytes(step);
    while (!h.redo.empty())
        h.Pop(h.redo, true);
    h.Push(h.undo, std::move(step));
    h.SetBase(std::move(now));
    h.Trim();
    return true;
}

bool CEditHistory::Undo(CDesktopApp& app)
{
    Steps& h = *m_steps;
    if (h.undo.empty())
        return false;
    Step step = h.Pop(h.undo, true);
    Show(app, Cross(std::move(h.base), step, true));
    h.Push(h.redo, std::move(step));
    h.SetBase(TakeDesktop(app));
    h.Trim();
    return true;
}

bool CEditHistory::Redo(CDesktopApp& app)
{
    Steps& h = *m_steps;
    if (h.redo.empty())
        return false;
    Step step = h.Pop(h.redo, true);
    Show(app, Cross(std::move(h.base), step, false));
    h.Push(h.undo, std::move(step));
    h.SetBase(TakeDesktop(app));
    h.Trim();
    return true;
}

bool CEditHistory::CanUndo() const
{
    return !m_steps->undo.empty();
}

bool CEditHistory::CanRedo() const
{
    return !m_steps->redo.empty();
}

size_t CEditHistory::HeldBytes() const
{
    return sizeof(Steps) + m_steps->nBaseBytes + m_steps->nStepBytes;
}
