#include "platform/Path.h"

#include <QFile>

#include <algorithm>
#include <filesystem>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

char lowerAscii(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch;
}

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// The entry of folder whose name equals name ignoring case; the first in byte
// order when several do, so that the choice does not depend on the listing.
std::optional<std::string> findIgnoringCase(const fs::path& folder, const std::string& name)
{
    std::error_code error;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error);
    std::optional<std::string> found;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string candidate = it->path().filename().string();
        if (equalIgnoringCase(candidate, name) && (!found || candidate < *found))
            found = std::move(candidate);
    }
    return found;
}

bool pathExists(const fs::path& path)
{
    std::error_code error;
    return fs::exists(path, error);
}

}

std::string NativePath(LPCSTR path)
{
    std::string native(path ? path : "");
    std::replace(native.begin(), native.end(), '\\', '/');
    if (native.empty() || pathExists(native))
        return native;

    // Walk the components; once one cannot be found, the rest stays as
    // written (a file about to be created in an existing folder).
    const fs::path written(native);
    fs::path resolved = written.root_path();
    bool lost = false;
    for (const fs::path& component : written.relative_path()) {
        const std::string name = component.string();
        if (lost || name.empty() || name == "." || name == "..") {
            resolved /= component;
            continue;
        }
        if (!pathExists(resolved / component)) {
            if (std::optional<std::string> match = findIgnoringCase(resolved, name)) {
                resolved /= *match;
                continue;
            }
            lost = true;
        }
        resolved /= component;
    }
    return resolved.string();
}

bool OpenNativeFile(QFile& file, const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    // A folder opens as a file does here, where Qt refuses it.
    struct stat status { };
    if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}
