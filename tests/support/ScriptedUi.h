#pragma once
// A UiScript for tests: each kind of interaction is answered by a handler the
// test sets; an interaction without a handler fails the test. Installed for
// the lifetime of the object.

#include "platform/UiScript.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

class ScriptedUi : public UiScript {
public:
    ScriptedUi() { SetUiScript(this); }
    ~ScriptedUi() override { SetUiScript(nullptr); }

    std::function<int(const CString&, UINT)> onMessageBox;
    std::function<UINT(const std::vector<MenuItemState>&)> onMenu;
    std::function<void(CDialog&)> onDialog;
    std::function<std::optional<CString>(const FileDialogRequest&)> onFile;
    std::function<std::optional<COLORREF>(COLORREF)> onColor;
    std::function<std::optional<LOGFONT>(const LOGFONT&)> onFont;

    // Every message box text shown, in order.
    std::vector<std::string> messages;

    // Answers every message box with OK and records its text.
    void acceptMessages()
    {
        onMessageBox = [](const CString&, UINT) { return IDOK; };
    }

    int answerMessageBox(const CString& text, UINT type) override
    {
        messages.push_back(text.str());
        if (!onMessageBox) {
            ADD_FAILURE() << "unexpected message box: " << text.str();
            return IDOK;
        }
        return onMessageBox(text, type);
    }
    UINT chooseMenuCommand(const std::vector<MenuItemState>& items) override
    {
        if (!onMenu) {
            ADD_FAILURE() << "unexpected context menu";
            return 0;
        }
        return onMenu(items);
    }
    void runDialog(CDialog& dialog) override
    {
        if (!onDialog) {
            ADD_FAILURE() << "unexpected dialog";
            return;
        }
        onDialog(dialog);
    }
    std::optional<CString> chooseFile(const FileDialogRequest& request) override
    {
        if (!onFile) {
            ADD_FAILURE() << "unexpected file chooser";
            return std::nullopt;
        }
        return onFile(request);
    }
    std::optional<COLORREF> chooseColor(COLORREF initial) override
    {
        if (!onColor) {
            ADD_FAILURE() << "unexpected colour chooser";
            return std::nullopt;
        }
        return onColor(initial);
    }
    std::optional<LOGFONT> chooseFont(const LOGFONT& initial) override
    {
        if (!onFont) {
            ADD_FAILURE() << "unexpected font chooser";
            return std::nullopt;
        }
        return onFont(initial);
    }
};
