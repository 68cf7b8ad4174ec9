#pragma once
// The end of the session reaches the application's main window as it would on
// the program's home platform: the session manager's request to save as
// OnQueryEndSession, and the end itself (the session manager ending the
// program, SIGTERM, SIGHUP, SIGINT, any quit not begun by closing the window)
// as OnEndSession(TRUE), after which the event loop ends with status 0 and
// the window is destroyed without OnClose. Also the folder for what outlives
// a run.

#include "platform/CString.h"

#include <memory>

// The user's state folder for the program ($XDG_STATE_HOME/orvanta, by
// default ~/.local/state/orvanta), made (private to the user) when bCreate;
// empty when there is no such folder.
CString GetStateFolder(BOOL bCreate);

// Watches for the end while it exists; at most one at a time.
class CSessionEnd {
public:
    CSessionEnd();
    ~CSessionEnd();
    CSessionEnd(const CSessionEnd&) = delete;
    CSessionEnd& operator=(const CSessionEnd&) = delete;

private:
    class Watch;
    std::unique_ptr<Watch> m_watch;
};
