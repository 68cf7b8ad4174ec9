#pragma once
// The seam through which tests answer every modal interaction. With no script
// installed the real Qt user interface shows.

#include "platform/CString.h"
#include "platform/Types.h"

#include <optional>
#include <vector>

class CDialog;

struct MenuItemState {
    CString text; // with '&' before the mnemonic; empty for a separator
    UINT id = 0; // command id; 0 for a separator or a submenu
    bool enabled = true;
    bool checked = false;
    std::vector<MenuItemState> submenu;
};

struct FileDialogRequest {
    bool open = true; // open or save
    CString defaultExtension;
    CString fileName; // initial file name
    CString initialDir; // empty: the chooser's default folder
    CString filter; // "Description (*.ext)|*.ext||"
};

// What ShellExecute would start: a program by its full path with its
// arguments, or an application (its entry file, or its id) with the links
// it opens.
struct ShellLaunch {
    bool bApplication = false;
    CString program;
    std::vector<CString> arguments;
    CString directory; // where it runs
};

// Each answer defaults to what a user in a hurry gives: a message box's
// default button (OK, or Yes, which is Save in the question about unsaved
// edits), Cancel for everything else; a script overrides what it cares about.
class UiScript {
public:
    virtual ~UiScript() = default;
    // A message box titled "Orvanta" (AfxMessageBox): the id of a button it has.
    virtual int answerMessageBox(const CString& text, UINT type);
    // The context menu as the user would see it: the chosen command, or 0 for none.
    virtual UINT chooseMenuCommand(const std::vector<MenuItemState>& items);
    // A modal dialog after its initialisation: work its controls and press a
    // button that ends it. A dialog still open afterwards is cancelled.
    virtual void runDialog(CDialog& dialog);
    // The choosers: a result, or nothing for Cancel.
    virtual std::optional<CString> chooseFile(const FileDialogRequest& request);
    virtual std::optional<COLORREF> chooseColor(COLORREF initial);
    virtual std::optional<LOGFONT> chooseFont(const LOGFONT& initial);
    // ShellExecute's start: whether it started. Nothing runs while a script
    // is installed.
    virtual bool startProcess(const ShellLaunch& launch);
};

// Installs a script (nullptr removes it); the caller keeps ownership.
void SetUiScript(UiScript* script);
UiScript* CurrentUiScript();
