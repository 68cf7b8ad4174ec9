#include "platform/SessionEnd.h"

#include "platform/CFrameWnd.h"
#include "platform/CWinApp.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

CString GetStateFolder(BOOL bCreate)
{
    // XDG base directories: a relative XDG_STATE_HOME is to be ignored.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            return CString();
        base = home + QStringLiteral("/.local/state");
    }
    const QString folder = base + QStringLiteral("/orvanta");
    if (bCreate && !QDir(folder).exists()) {
        if (!QDir().mkpath(folder))
            return CString();
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return CString(folder.toStdString());
}

namespace {

constexpr std::array kEndSignals { SIGTERM, SIGHUP, SIGINT };
// The self-pipe's write end: a signal handler may do no more than write to it.
int g_signalPipe = -1;

extern "C" void OnEndSignal(int)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe, &byte, 1);
}

CFrameWnd* MainFrame()
{
    CWinApp* app = AfxGetApp();
    auto* frame = app ? dynamic_cast<CFrameWnd*>(app->m_pMainWnd) : nullptr;
    return frame && frame->windowHandle() ? frame : nullptr;
}

} // namespace

class CSessionEnd::Watch : public QObject {
public:
    Watch()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            m_readEnd = fds[0];
            g_signalPipe = fds[1];
            m_notifier = std::make_unique<QSocketNotifier>(m_readEnd, QSocketNotifier::Read);
            QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
                char bytes[16];
                while (::read(m_readEnd, bytes, sizeof bytes) > 0) { }
                QCoreApplication::exit(0);
            });
            struct sigaction action { };
            action.sa_handler = OnEndSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            for (size_t i = 0; i < kEndSignals.size(); ++i)
                ::sigaction(kEndSignals[i], &action, &m_previous[i]);
        }
        // A quit asked of the application would close the window, which asks
        // about unsaved edits; the session is ending, so the loop just ends.
        qApp->installEventFilter(this);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { End(); });
#ifndef QT_NO_SESSIONMANAGER
        QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [](QSessionManager& manager) {
            if (CFrameWnd* frame = MainFrame(); frame && !frame->OnQueryEndSession() && manager.allowsInteraction())
                manager.cancel();
        });
#endif
    }

    ~Watch() override
    {
        qApp->removeEventFilter(this);
        if (m_readEnd < 0)
            return;
        for (size_t i = 0; i < kEndSignals.size(); ++i)
            ::sigaction(kEndSignals[i], &m_previous[i], nullptr);
        m_notifier.reset();
        ::close(g_signalPipe);
        ::close(m_readEnd);
        g_signalPipe = -1;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != qApp || event->type() != QEvent::Quit || !MainFrame())
            return false;
        QCoreApplication::exit(0);
        return true;
    }

private:
    // The loop has ended while the window still lives: it was not closed.
    void End()
    {
        if (CFrameWnd* frame = MainFrame(); frame && !m_bEnded) {
            m_bEnded = true;
            frame->OnEndSession(TRUE);
        }
    }

    int m_readEnd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::array<struct sigaction, kEndSignals.size()> m_previous {};
    bool m_bEnded = false;
};

CSessionEnd::CSessionEnd()
    : m_watch(std::make_unique<Watch>())
{
}

CSessionEnd::~CSessionEnd() = default;
