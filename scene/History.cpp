#include "scene/History.h"

#include "app/DesktopApp.h"

#include <algorithm>
#include <cstring>
#include <deque>
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

bool SameFont(const LOGFONT& a, const LOGFONT& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameSettings(const DesktopSettings& a, const DesktopSettings& b)
{
    return a.bTile == b.bTile && a.dwBackPixel == b.dwBackPixel && a.crBackground == b.crBackground
        && SameFont(a.lfDefault, b.lfDefault);
}

bool SameRecord(const DesktopObject& a, const DesktopObject& b)
{
    return a.strName == b.strName && a.dwReserved == b.dwReserved && a.strText == b.strText && a.rcText == b.rcText
        && SameFont(a.lfFont, b.lfFont) && a.dwTextPixel == b.dwTextPixel && a.crText == b.crText
        && a.dwHotTextPixel == b.dwHotTextPixel && a.crHotText == b.crHotText && a.nJustify == b.nJustify
        && a.strUpImage == b.strUpImage && a.strDownImage == b.strDownImage && a.strMouseImage == b.strMouseImage
        && a.rcObject == b.rcObject && a.strActivate == b.strActivate && a.bVisible == b.bVisible
        && a.bTextOnMouseOver == b.bTextOnMouseOver && a.strAction == b.strAction;
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

// One side of a step: the table's size and settings, and the records the
// edit touched that exist on this side.
struct Side {
    int nObjects = 0;
    DesktopSettings settings;
    std::vector<std::pair<int, DesktopObject>> records;
};

struct Step {
    Side before;
    Side after;
};

size_t HeapBytes(const CString& s)
{
    const std::string& text = s.str();
    const char* inside = reinterpret_cast<const char*>(&text);
    const bool bShort = text.data() >= inside && text.data() < inside + sizeof text;
    return bShort ? 0 : text.capacity() + 1;
}

size_t RecordBytes(const DesktopObject& r)
{
    return sizeof r + HeapBytes(r.strName) + HeapBytes(r.strText) + HeapBytes(r.strUpImage) + HeapBytes(r.strDownImage)
        + HeapBytes(r.strMouseImage) + HeapBytes(r.strActivate) + HeapBytes(r.strAction);
}

size_t SideBytes(const Side& side)
{
    size_t n = 0;
    for (const auto& [i, r] : side.records)
        n += RecordBytes(r) + sizeof i;
    return n;
}

// Puts `to` in place of `from`, then rebuilds what differs between them.
void ApplySide(CDesktopApp& app, const Side& to, const Side& from)
{
    // The records as they were.
    app.m_nObjects = to.nObjects;
    app.m_bTile = to.settings.bTile;
    app.m_dwBackPixel = to.settings.dwBackPixel;
    app.m_crBackground = to.settings.crBackground;
    app.m_lfDefault = to.settings.lfDefault;
    for (const auto& [i, r] : to.records)
        app.m_aObjects[i] = r;

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

    app.ResolveActivationLinks();
    app.ApplyVisibility();

    // Only the objects that changed are rebuilt; those beyond the table's end
    // just give up their surfaces.
    std::vector<int> changed;
    for (const auto& [i, r] : to.records)
        changed.push_back(i);
    for (const auto& [i, r] : from.records)
        changed.push_back(i);
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());

    app.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app.m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    for (int i : changed) {
        app.ReleaseObjectImages(i);
        app.ReleaseCaptionSurfaces(i);
        if (i < app.m_nObjects) {
            app.LoadObjectImages(i);
            app.CreateCaptionSurfaces(i);
            app.SetObjectColorKeys(i);
        }
    }
    if ((!changed.empty() && changed.front() == 0) || to.settings.bTile != from.settings.bTile) {
        app.ReleaseTileSurface();
        app.UpdateTileSurface();
    }
}

} // namespace

struct CEditHistory::Steps {
    Desktop base;
    bool bHaveBase = false;
    std::deque<Step> undo;
    std::deque<Step> redo;
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
    m_steps->base = TakeDesktop(app);
    m_steps->bHaveBase = true;
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
    Step step;
    step.before.nObjects = int(h.base.records.size());
    step.before.settings = h.base.settings;
    step.after.nObjects = int(now.records.size());
    step.after.settings = now.settings;
    for (int i = 0; i < std::max(step.before.nObjects, step.after.nObjects); ++i) {
        const bool bBefore = i < step.before.nObjects;
        const bool bAfter = i < step.after.nObjects;
        if (bBefore && bAfter && SameRecord(h.base.records[size_t(i)], now.records[size_t(i)]))
            continue;
        if (bBefore)
            step.before.records.emplace_back(i, h.base.records[size_t(i)]);
        if (bAfter)
            step.after.records.emplace_back(i, now.records[size_t(i)]);
    }
    if (step.before.records.empty() && step.after.records.empty()
        && SameSettings(step.before.settings, step.after.settings))
        return false;

    h.undo.push_back(std::move(step));
    if (h.undo.size() > size_t(kMaxSteps))
        h.undo.pop_front();
    h.redo.clear();
    h.base = std::move(now);
    return true;
}

bool CEditHistory::Undo(CDesktopApp& app)
{
    Steps& h = *m_steps;
    if (h.undo.empty())
        return false;
    Step step = std::move(h.undo.back());
    h.undo.pop_back();
    ApplySide(app, step.before, step.after);
    h.redo.push_back(std::move(step));
    h.base = TakeDesktop(app);
    return true;
}

bool CEditHistory::Redo(CDesktopApp& app)
{
    Steps& h = *m_steps;
    if (h.redo.empty())
        return false;
    Step step = std::move(h.redo.back());
    h.redo.pop_back();
    ApplySide(app, step.after, step.before);
    h.undo.push_back(std::move(step));
    h.base = TakeDesktop(app);
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
    size_t n = sizeof(Steps);
    for (const DesktopObject& r : m_steps->base.records)
        n += RecordBytes(r);
    for (const auto* steps : { &m_steps->undo, &m_steps->redo })
        for (const Step& step : *steps)
            n += sizeof step + SideBytes(step.before) + SideBytes(step.after);
    return n;
}
