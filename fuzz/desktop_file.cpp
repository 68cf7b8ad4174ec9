// Arbitrary bytes as a desktop file. Whatever the loader accepts must save,
// and the saved file must load and save again to the same bytes; whatever it
// rejects must leave the desktop as it was.
#include "files/DesktopFile.h"
#include "platform/UiScript.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

class AnswerOk : public UiScript {
public:
    int messages = 0;
    int answerMessageBox(const CString&, UINT) override
    {
        ++messages;
        return IDOK;
    }
    UINT chooseMenuCommand(const std::vector<MenuItemState>&) override { return 0; }
    void runDialog(CDialog&) override { }
    std::optional<CString> chooseFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<COLORREF> chooseColor(COLORREF) override { return std::nullopt; }
    std::optional<LOGFONT> chooseFont(const LOGFONT&) override { return std::nullopt; }
};

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Harness {
    std::string dir;
    CDesktopApp app;
    AnswerOk ui;

    Harness()
    {
        const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        dir = (base / ("orvanta-fuzz-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(dir);
        static const std::string scratch = dir;
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(scratch, error);
        });
        app.m_strAppDir = "/opt/orvanta";
        SetUiScript(&ui);
    }
    std::string path(const char* name) const { return dir + "/" + name; }
};

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static Harness* harness = new Harness;
    CDesktopApp& app = harness->app;
    std::ofstream(harness->path("in.orv"), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));

    app.m_nObjects = 1;
    app.m_aObjects[0].strName = "before";
    harness->ui.messages = 0;
    app.m_strDesktopFile = CString(harness->path("in.orv").c_str());
    app.LoadDesktop();
    if (harness->ui.messages != 0) {
        if (app.m_nObjects != 1 || app.m_aObjects[0].strName != CString("before"))
            std::abort();
        return 0;
    }
    if (app.m_nObjects < 0 || app.m_nObjects > kMaxDesktopRecords || !app.m_bLocked)
        std::abort();

    app.m_strDesktopFile = CString(harness->path("first.orv").c_str());
    app.SaveDesktop();
    app.LoadDesktop();
    app.m_strDesktopFile = CString(harness->path("second.orv").c_str());
    app.SaveDesktop();
    if (harness->ui.messages != 0 || contents(harness->path("first.orv")) != contents(harness->path("second.orv")))
        std::abort();
    return 0;
}
