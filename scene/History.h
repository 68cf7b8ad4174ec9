#pragma once
// Undo and redo of desktop edits: each step keeps the fields an edit changed,
// as they were before and after it, where each record moved, the records it
// removed or added whole, and the desktop-wide settings.

#include <cstddef>
#include <memory>

class CDesktopApp;

class CEditHistory {
public:
    // At most this many steps are kept each way, and no more than this many
    // bytes held in all; the oldest steps are dropped first.
    static constexpr int kMaxSteps = 100;
    static constexpr size_t kMaxBytes = size_t(16) << 20;

    CEditHistory();
    ~CEditHistory();
    CEditHistory(const CEditHistory&) = delete;
    CEditHistory& operator=(const CEditHistory&) = delete;

    // Forgets every step; the desktop as it is now is where the next edit
    // starts from.
    void Clear(const CDesktopApp& app);
    // Called when an edit has completed: keeps what changed since the last
    // step as a new one and drops what could have been redone. FALSE when
    // nothing changed.
    bool RecordEdit(const CDesktopApp& app);
    // Puts back the desktop as it was before the last step (after it, for
    // Redo) and rebuilds the objects that change; the caller composes the
    // scene. FALSE, changing nothing, when there is no step.
    bool Undo(CDesktopApp& app);
    bool Redo(CDesktopApp& app);

    bool CanUndo() const;
    bool CanRedo() const;
    // Bytes held by the steps and the copy of the desktop they start from.
    // That copy is kept whatever its size; a step that does not fit beside
    // it is not kept.
    size_t HeldBytes() const;

private:
    struct Steps;
    std::unique_ptr<Steps> m_steps;
};
