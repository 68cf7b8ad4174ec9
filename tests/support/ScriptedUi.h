#pragma once
// The suite's one UiScript: every interaction gets the default answer (OK for a message box, Cancel for the rest)
// unless the test sets a handler for it. Message box texts are recorded. Installed for the lifetime of the object.

#include "platform/UiScript.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
#include <string>

class ScriptedUi : public UiScript {
public:
    ScriptedUi() { SetUiScript(this); }
    ~ScriptedUi() override { SetUiScript(nullptr); }
    ScriptedUi(const ScriptedUi&) = delete;
    ScriptedUi& operator=(const ScriptedUi&) = delete;
    std::function<int(const CString&, UINT)> onMessageBox;
    std::function<UINT(const std::vector<MenuItemState>&)> onMenu;
    std::function<void(CDialog&)> onDialog;
    std::function<std::optional<CString>(const FileDialogRequest&)> onFile;
    std::function<std::optional<COLORREF>(COLORREF)> onColor;
    std::function<std::optional<LOGFONT>(const LOGFONT&)> onFont;
    // Every message box text shown, in order.
    std::vector<std::string> messages;
    // What would have started, in order, as "program [arg] ... @ directory", with "app " before an application.
    std::vector<std::string> launches;
    int answerMessageBox(const CString& text, UINT type) override
    {
        messages.push_back(text.str());
        return onMessageBox ? onMessageBox(text, type) : UiScript::answerMessageBox(text, type);
    }
    UINT chooseMenuCommand(const std::vector<MenuItemState>& items) override
    {
        return onMenu ? onMenu(items) : UiScript::chooseMenuCommand(items);
    }
    void runDialog(CDialog& dialog) override
    {
        if (onDialog)
            onDialog(dialog);
    }
    std::optional<CString> chooseFile(const FileDialogRequest& request) override
    {
        return onFile ? onFile(request) : UiScript::chooseFile(request);
    }
    std::optional<COLORREF> chooseColor(COLORREF initial) override
    {
        return onColor ? onColor(initial) : UiScript::chooseColor(initial);
    }
    std::optional<LOGFONT> chooseFont(const LOGFONT& initial) override
    {
        return onFont ? onFont(initial) : UiScript::chooseFont(initial);
    }
    bool startProcess(const ShellLaunch& launch) override
    {
        std::string text = (launch.bApplication ? "app " : "") + launch.program.str();
        for (const CString& argument : launch.arguments)
            text += " [" + argument.str() + "]";
        launches.push_back(text + " @ " + launch.directory.str());
        return true;
    }
};

// Runs the event loop until `condition` holds or three seconds pass.
inline bool WaitFor(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}
