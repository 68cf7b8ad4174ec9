#include "platform/InstanceLock.h"

#include "platform/SessionEnd.h"

#include <QDir>
#include <QLockFile>

#include <csignal>
#include <unistd.h>

namespace {

// How long a holder asked to end may take to keep its edits and go.
constexpr int kEndWaitMs = 5000;
// How long a killed holder takes to let go of the lock.
constexpr int kKillWaitMs = 2000;

QString LockFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime;
    return QString::fromStdString(GetStateFolder(TRUE).str());
}

// ":0" and ":0.0" are one display; a Wayland display may be a path.
QString DisplayKey(QString display)
{
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.lastIndexOf('.');
    if (colon >= 0 && dot > colon)
        display.truncate(dot);
    return display.replace('/', '_');
}

} // namespace

CInstanceLock::CInstanceLock(const QString& display)
{
    const QString folder = LockFolder();
    if (!folder.isEmpty())
        m_fileName = folder + QStringLiteral("/orvanta-%1-%2.lock").arg(::getuid()).arg(DisplayKey(display));
}

CInstanceLock::~CInstanceLock() = default;

CInstanceLock::Result CInstanceLock::Acquire(bool bReplace)
{
    if (m_fileName.isEmpty())
        return Result::Unavailable;
    m_lock = std::make_unique<QLockFile>(m_fileName);
    // Held for the whole run: only a holder that is gone makes it stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Result::Acquired;
    if (m_lock->error() != QLockFile::LockFailedError)
        return Result::Unavailable;
    qint64 pid = 0;
    QString host, app;
    if (!bReplace || !m_lock->getLockInfo(&pid, &host, &app) || pid <= 0)
        return Result::Held;
    ::kill(pid_t(pid), SIGTERM);
    if (m_lock->tryLock(kEndWaitMs))
        return Result::Acquired;
    // It does not answer: it is hung or stopped.
    ::kill(pid_t(pid), SIGKILL);
    return m_lock->tryLock(kKillWaitMs) ? Result::Acquired : Result::Held;
}
