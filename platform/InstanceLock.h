#pragma once
// One running desktop per user and display: a lock file in the user's
// runtime folder (or state folder), held for as long as the program runs. A
// holder that was killed leaves a stale lock, which the next start takes.

#include <QString>

#include <memory>

class QLockFile;

class CInstanceLock {
public:
    enum class Result {
        Acquired, // this run holds it
        Held, // another running instance holds it
        Unavailable, // no folder for it: the run goes on without
    };

    // The lock for this user on `display` (an X or Wayland display name).
    explicit CInstanceLock(const QString& display);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // With bReplace, a holder is asked to end (SIGTERM, which keeps its
    // unsaved edits), given a while, then killed.
    Result Acquire(bool bReplace);
    QString fileName() const { return m_fileName; }

private:
    QString m_fileName;
    std::unique_ptr<QLockFile> m_lock;
};
