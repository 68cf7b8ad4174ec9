#include "platform/UiScript.h"

#include "platform/MessageBox.h"

int UiScript::answerMessageBox(const CString&, UINT type)
{
    return type == MB_YESNO || type == MB_YESNOCANCEL ? IDYES : IDOK;
}

UINT UiScript::chooseMenuCommand(const std::vector<MenuItemState>&)
{
    return 0;
}

void UiScript::runDialog(CDialog&) { }

std::optional<CString> UiScript::chooseFile(const FileDialogRequest&)
{
    return std::nullopt;
}

std::optional<COLORREF> UiScript::chooseColor(COLORREF)
{
    return std::nullopt;
}

std::optional<LOGFONT> UiScript::chooseFont(const LOGFONT&)
{
    return std::nullopt;
}

bool UiScript::startProcess(const ShellLaunch&)
{
    return true;
}

namespace {
UiScript* g_script = nullptr;
}

void SetUiScript(UiScript* script)
{
    g_script = script;
}

UiScript* CurrentUiScript()
{
    return g_script;
}
