#include "platform/ShellExecute.h"

#include "platform/Path.h"
#include "platform/Pictures.h"
#include "platform/QtConversions.h"
#include "platform/UiScript.h"

#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

// GIO's headers name a struct member "signals", which Qt defines away.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
struct GStrvFree {
    void operator()(gchar** strv) const { g_strfreev(strv); }
};
struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

// How long the busy cursor shows after a start: about as long as a program
// takes to show its window.
constexpr int kStartingMs = 1500;

void ShowStarting()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    QTimer::singleShot(kStartingMs, QCoreApplication::instance(), [] { QGuiApplication::restoreOverrideCursor(); });
}

// A "~/" start naming one of the user's folders by its usual name
// ("~/Documents") where that folder has another name here (the user's
// user-dirs.dirs, a translated system): the folder the user has.
QString UserFolder(const QString& path)
{
    static constexpr std::pair<const char*, QStandardPaths::StandardLocation> kFolders[]
        = { { "Desktop", QStandardPaths::DesktopLocation }, { "Documents", QStandardPaths::DocumentsLocation },
              { "Downloads", QStandardPaths::DownloadLocation }, { "Music", QStandardPaths::MusicLocation },
              { "Pictures", QStandardPaths::PicturesLocation }, { "Videos", QStandardPaths::MoviesLocation } };
    const QString name = path.section(QLatin1Char('/'), 1, 1);
    for (const auto& [usual, location] : kFolders) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (name == QLatin1String(usual) && !folder.isEmpty() && QFileInfo(folder).isDir())
            return folder + path.mid(2 + name.size());
    }
    return QDir::homePath() + path.mid(1);
}

// "~" and a "~/" start are the home folder; other relative paths are taken
// from the folder the action runs in.
QString ExpandPath(const QString& path, const QString& directory)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/"))) {
        const QString inHome = QDir::homePath() + path.mid(1);
        return QFileInfo::exists(inHome) ? inHome : UserFolder(path);
    }
    if (path.contains(QLatin1Char('\\')))
        return QDir(directory).absoluteFilePath(PathToQString(CString(NativePath(PathFromQString(path)))));
    return QDir(directory).absoluteFilePath(path);
}

bool LooksLikePath(const QString& text)
{
    return text.startsWith(QLatin1Char('/')) || text.startsWith(QLatin1Char('~')) || text.contains(QLatin1Char('/'))
        || text.contains(QLatin1Char('\\'));
}

bool IsWindowsPath(const QString& text)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    return text.startsWith(QLatin1String("\\\\")) || drive.match(text).hasMatch();
}

// A scheme of two letters at least (one is a drive letter) and no white space.
bool IsLink(const QString& text)
{
    static const QRegularExpression link(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:\\S*$"));
    return link.match(text).hasMatch() && QUrl(text, QUrl::StrictMode).isValid();
}

// The words of a command line as a shell splits them (quotes, backslashes),
// without any expansion; nothing for a line that is not well formed.
std::optional<QStringList> SplitCommandLine(const QString& text)
{
    gchar** words = nullptr;
    GError* error = nullptr;
    if (!g_shell_parse_argv(PathFromQString(text), nullptr, &words, &error)) {
        std::unique_ptr<GError, GErrorFree> owner(error);
        return std::nullopt;
    }
    std::unique_ptr<gchar*, GStrvFree> owner(words);
    QStringList list;
    for (gchar** w = words; *w; ++w)
        list << PathToQString(CString(*w));
    return list;
}

INT_PTR FromSpawnError(const GError* error)
{
    if (error && error->domain == G_SPAWN_ERROR) {
        switch (error->code) {
        case G_SPAWN_ERROR_NOENT:
            return SE_ERR_FNF;
        case G_SPAWN_ERROR_ACCES:
        case G_SPAWN_ERROR_PERM:
            return SE_ERR_ACCESSDENIED;
        case G_SPAWN_ERROR_NOEXEC:
            return ERROR_BAD_FORMAT;
        case G_SPAWN_ERROR_CHDIR:
            return SE_ERR_PNF;
        default:
            break;
        }
    }
    return SE_ERR_OOM;
}

// A program by its full path. GLib's spawn closes every descriptor but the
// standard three, and forks twice so that nothing is left to reap.
INT_PTR RunProgram(const QStringList& words, const QString& directory)
{
    ShellLaunch launch;
    launch.program = PathFromQString(words.front());
    for (qsizetype i = 1; i < words.size(); ++i)
        launch.arguments.push_back(PathFromQString(words[i]));
    launch.directory = PathFromQString(directory);
    if (UiScript* script = CurrentUiScript())
        return script->startProcess(launch) ? SE_SUCCESS : SE_ERR_OOM;

    std::vector<CString> bytes { launch.program };
    bytes.insert(bytes.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<gchar*> argv;
    for (CString& word : bytes)
        argv.push_back(const_cast<gchar*>(LPCSTR(word)));
    argv.push_back(nullptr);
    GError* error = nullptr;
    if (!g_spawn_async(launch.directory, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &error)) {
        std::unique_ptr<GError, GErrorFree> owner(error);
        return FromSpawnError(error);
    }
    return SE_SUCCESS;
}

// GIO starts an entry without Path in the current folder.
class CurrentFolder {
public:
    explicit CurrentFolder(const QString& folder)
        : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(folder);
    }
    ~CurrentFolder() { QDir::setCurrent(m_previous); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    QString m_previous;
};

// An application with the links it opens: its entry's Exec, field codes and
// Terminal as the Desktop Entry Specification says, done by GIO.
INT_PTR LaunchApplication(GAppInfo* app, const QStringList& uris, const QString& directory)
{
    ShellLaunch launch;
    launch.bApplication = true;
    const char* file = G_IS_DESKTOP_APP_INFO(app) ? g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app)) : nullptr;
    launch.program = file ? file : g_app_info_get_id(app);
    for (const QString& uri : uris)
        launch.arguments.push_back(FromQString(uri));
    launch.directory = PathFromQString(directory);
    if (UiScript* script = CurrentUiScript())
        return script->startProcess(launch) ? SE_SUCCESS : SE_ERR_OOM;

    GList* list = nullptr;
    std::vector<QByteArray> keep;
    for (const QString& uri : uris)
        keep.push_back(uri.toUtf8());
    for (auto it = keep.rbegin(); it != keep.rend(); ++it)
        list = g_list_prepend(list, it->data());
    GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
    GError* error = nullptr;
    gboolean started = FALSE;
    {
        CurrentFolder folder(directory);
        started = g_app_info_launch_uris(app, list, context.get(), &error);
    }
    g_list_free(list);
    if (!started) {
        std::unique_ptr<GError, GErrorFree> owner(error);
        return error && error->domain == G_SPAWN_ERROR ? FromSpawnError(error) : SE_ERR_ASSOCINCOMPLETE;
    }
    return SE_SUCCESS;
}

bool IsProgram(const QFileInfo& file)
{
    if (!file.isFile() || !file.isExecutable())
        return false;
    // Files on a foreign file system are often all executable: only what is
    // made to run runs, the rest is opened.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
    for (const char* name : { "application/x-executable", "application/x-sharedlib", "application/x-shellscript",
             "text/x-python", "text/x-python3", "application/x-perl" })
        if (type.inherits(QLatin1String(name)))
            return true;
    return false;
}

INT_PTR OpenFile(const QString& path, const QStringList& extra, const QString& directory)
{
    const QFileInfo file(path);
    if (!file.exists())
        return SE_ERR_FNF;
    if (!file.isReadable() || (file.isDir() && !file.isExecutable()))
        return SE_ERR_ACCESSDENIED;
    if (IsProgram(file))
        return RunProgram(QStringList { file.absoluteFilePath() } + extra, directory);
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    GObjectPtr<GAppInfo> handler(g_app_info_get_default_for_type(type.toUtf8().constData(), FALSE));
    if (!handler)
        return SE_ERR_NOASSOC;
    return LaunchApplication(
        handler.get(), { QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) }, directory);
}

INT_PTR LaunchEntry(const QString& text, const QStringList& files, const QString& directory)
{
    GObjectPtr<GDesktopAppInfo> info;
    if (LooksLikePath(text)) {
        const QString path = ExpandPath(text, directory);
        if (!QFileInfo::exists(path))
            return SE_ERR_FNF;
        info.reset(g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
    } else {
        info.reset(g_desktop_app_info_new(text.toUtf8().constData()));
    }
    // Damaged, no application, TryExec not found, or deleted (Hidden).
    if (!info || g_desktop_app_info_get_is_hidden(info.get()))
        return SE_ERR_ASSOCINCOMPLETE;
    QStringList uris;
    for (const QString& file : files)
        uris << QUrl::fromLocalFile(ExpandPath(file, directory)).toString(QUrl::FullyEncoded);
    return LaunchApplication(G_APP_INFO(info.get()), uris, directory);
}

INT_PTR Execute(const QString& text, const QStringList& extra, const QString& directory)
{
    if (text.isEmpty())
        return SE_ERR_FNF;
    if (IsWindowsPath(text))
        return SE_ERR_PNF;

    // 1. A link.
    if (IsLink(text)) {
        const QUrl url(text, QUrl::StrictMode);
        if (url.isLocalFile())
            return OpenFile(url.toLocalFile(), extra, directory);
        GObjectPtr<GAppInfo> handler(g_app_info_get_default_for_uri_scheme(url.scheme().toUtf8().constData()));
        if (!handler)
            return SE_ERR_NOASSOC;
        return LaunchApplication(handler.get(), { url.toString(QUrl::FullyEncoded) }, directory);
    }

    // 2. An application entry: an id is one word, a file must exist (a command
    // line may end in an entry's name too).
    if (text.endsWith(QLatin1String(".desktop"))
        && (LooksLikePath(text) ? QFileInfo::exists(ExpandPath(text, directory))
                                : !text.contains(QRegularExpression(QStringLiteral("\\s")))))
        return LaunchEntry(text, extra, directory);

    // 3. An existing file or folder.
    if (LooksLikePath(text)) {
        if (const QString path = ExpandPath(text, directory); QFileInfo::exists(path))
            return OpenFile(path, extra, directory);
    }

    // 4. A command line, its program found on PATH.
    const std::optional<QStringList> words = SplitCommandLine(text);
    if (!words || words->isEmpty())
        return ERROR_BAD_FORMAT;
    const QString& first = words->front();
    const QString program = LooksLikePath(first) ? ExpandPath(first, directory) : QStandardPaths::findExecutable(first);
    const QFileInfo file(program);
    if (program.isEmpty() || !file.exists())
        return SE_ERR_FNF;
    if (!file.isFile() || !file.isExecutable())
        return SE_ERR_ACCESSDENIED;
    return RunProgram(QStringList { file.absoluteFilePath() } + words->mid(1) + extra, directory);
}

} // namespace

INT_PTR ShellExecute(HWND, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory, int)
{
    if (lpOperation && *lpOperation && qstrcmp(lpOperation, "open") != 0)
        return SE_ERR_NOASSOC;
    const QString directory = lpDirectory && *lpDirectory ? PathToQString(CString(lpDirectory)) : QDir::homePath();
    QStringList extra;
    if (lpParameters && *lpParameters) {
        const std::optional<QStringList> words = SplitCommandLine(PathToQString(CString(lpParameters)));
        if (!words)
            return ERROR_BAD_FORMAT;
        extra = *words;
    }
    const INT_PTR nResult = Execute(PathToQString(CString(lpFile)).trimmed(), extra, directory);
    if (nResult > 32)
        ShowStarting();
    return nResult;
}

LPCSTR ShellExecuteErrorText(INT_PTR nResult)
{
    switch (nResult) {
    case SE_ERR_FNF:
        return "No program, file or folder of that name was found.";
    case SE_ERR_PNF:
        return "It is a Windows path, which this system does not have.";
    case SE_ERR_ACCESSDENIED:
        return "Permission to run or open it was denied.";
    case ERROR_BAD_FORMAT:
        return "It is not a well-formed command line: a quote is not closed, or it holds a character that cannot be "
               "passed on.";
    case SE_ERR_ASSOCINCOMPLETE:
        return "The application entry was not found, is damaged or hidden, or its program is not installed.";
    case SE_ERR_NOASSOC:
        return "No application is set to open it.";
    default:
        return "The system could not start it.";
    }
}

BOOL IsFileOwnedByUser(LPCSTR path)
{
    struct stat status { };
    if (::stat(NativePath(path).c_str(), &status) != 0)
        return FALSE;
    return (status.st_uid == ::getuid() || status.st_uid == 0) && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0 ? TRUE
                                                                                                              : FALSE;
}

namespace {

// The first of the icons that the theme has, or a picture file named by its
// path; empty when none shows, so that the object shows its caption alone.
CString FirstIcon(std::initializer_list<QString> names)
{
    for (const QString& name : names) {
        if (name.isEmpty())
            continue;
        const QByteArray bytes = name.toUtf8();
        if (name.startsWith(QLatin1Char('/'))
                ? QFileInfo(name).isFile()
                : !ReadThemeIcon(std::string_view(bytes.constData(), size_t(bytes.size())), 1.0).isNull())
            return PathFromQString(name);
    }
    return CString();
}

} // namespace

BOOL SHGetFileInfo(LPCSTR pszPath, SHFILEINFO* psfi)
{
    const QString text = PathToQString(CString(pszPath)).trimmed();
    const QString home = QDir::homePath();
    if (!psfi || text.isEmpty())
        return FALSE;
    if (IsLink(text) && !QUrl(text).isLocalFile()) {
        const QUrl url(text, QUrl::StrictMode);
        psfi->szDisplayName = FromQString(url.host().isEmpty() ? text : url.host());
        psfi->szIconName = FirstIcon({ QStringLiteral("web-browser"), QStringLiteral("text-html") });
        return TRUE;
    }
    const QString path = IsLink(text) ? QUrl(text).toLocalFile() : ExpandPath(text, home);
    const QFileInfo file(path);
    if (!file.exists())
        return FALSE;
    if (path.endsWith(QLatin1String(".desktop"))) {
        GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
        if (!info || g_desktop_app_info_get_is_hidden(info.get()))
            return FALSE;
        psfi->szDisplayName = FromQString(QString::fromUtf8(g_app_info_get_name(G_APP_INFO(info.get()))));
        std::unique_ptr<gchar, decltype(&g_free)> icon(g_desktop_app_info_get_string(info.get(), "Icon"), &g_free);
        psfi->szIconName = FirstIcon(
            { icon ? QString::fromUtf8(icon.get()) : QString(), QStringLiteral("application-x-executable") });
        return TRUE;
    }
    psfi->szDisplayName = PathFromQString(file.fileName().isEmpty() ? file.absoluteFilePath() : file.fileName());
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
    psfi->szIconName = FirstIcon({ type.iconName(), type.genericIconName() });
    return TRUE;
}
