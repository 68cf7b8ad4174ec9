#include "platform/UiScript.h"

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
