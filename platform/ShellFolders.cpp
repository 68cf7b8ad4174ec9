#include "platform/ShellFolders.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

// An XDG base directory: the variable when it holds an absolute path, else
// the default under the home folder; empty without a home folder.
std::string BaseDirectory(const char* variable, const char* underHome)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/')
        return {};
    return std::string(home) + '/' + underHome;
}

} // namespace

HRESULT SHGetFolderPath(HWND, int nFolder, void*, DWORD, LPSTR pszPath)
{
    if (!pszPath)
        return E_INVALIDARG;
    pszPath[0] = '\0';
    std::string folder;
    switch (nFolder & ~CSIDL_FLAG_CREATE) {
    case CSIDL_STARTUP:
        folder = BaseDirectory("XDG_CONFIG_HOME", ".config");
        if (!folder.empty())
            folder += "/autostart";
        break;
    case CSIDL_APPDATA:
        folder = BaseDirectory("XDG_CONFIG_HOME", ".config");
        break;
    case CSIDL_LOCAL_APPDATA:
        folder = BaseDirectory("XDG_DATA_HOME", ".local/share");
        break;
    default:
        return E_INVALIDARG;
    }
    if (folder.empty() || folder.size() >= size_t(MAX_PATH))
        return E_FAIL;
    if (nFolder & CSIDL_FLAG_CREATE) {
        // The conventions ask for base directories private to the user.
        for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
            ::mkdir(folder.substr(0, end).c_str(), 0700);
            if (end == std::string::npos)
                break;
        }
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error))
            return E_FAIL;
    }
    std::memcpy(pszPath, folder.c_str(), folder.size() + 1);
    return S_OK;
}
