#include "core/program_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/open_table.h"
#include "core/workspace.h"
#include "engine/utf8_path.h"

namespace fs = std::filesystem;

namespace orbelan {
namespace {

// An environment variable that names an absolute folder; empty otherwise.
fs::path AbsoluteFolderFrom(const char* variable) {
#ifdef _WIN32
    // The wide environment: a user name with Romanian letters is not in the ANSI code page.
    const std::wstring name(variable, variable + std::char_traits<char>::length(variable));
    const wchar_t* value = _wgetenv(name.c_str());
#else
    const char* value = std::getenv(variable);
#endif
    if (!value || !*value) return {};
    fs::path p(value);
    return p.is_absolute() ? p : fs::path();
}

fs::path UserDataFolder() {
#ifdef _WIN32
    fs::path base = AbsoluteFolderFrom("APPDATA");
#else
    fs::path base = AbsoluteFolderFrom("XDG_DATA_HOME");
    if (base.empty()) {
        const fs::path home = AbsoluteFolderFrom("HOME");
        if (!home.empty()) base = home / ".local" / "share";
    }
#endif
    std::error_code ec;
    if (base.empty()) base = fs::temp_directory_path(ec);
    return base / "dbf-orbelan";
}

}  // namespace

std::string ProgramDataDir() {
    fs::path dir = AbsoluteFolderFrom("ORBELAN_DATA_DIR");
    if (dir.empty()) dir = UserDataFolder();
#ifdef _WIN32
    constexpr char kSeparator = '\\';
#else
    constexpr char kSeparator = '/';
#endif
    std::string text = Utf8FromPath(dir.make_preferred());
    if (text.back() != kSeparator) text += kSeparator;
    return text;
}

std::string TempTableName(Workspace& ws, const std::string& ext) {
    std::error_code made;
    const fs::path dir = PathFromUtf8(ws.ProgramDir);
    fs::create_directories(dir, made);
    if (!fs::is_directory(dir, made)) return {};  // no folder to write in
    for (int n = 0; n <= 200; ++n) {
        const std::string path = ws.ProgramDir + "DBF" + std::to_string(n) + ext;
        std::error_code ec;
        if (SameFile(path, ws.CurrentFile)) continue;  // a table opened from this folder
        if (!fs::exists(PathFromUtf8(path), ec) && !ec) return path;
        if (fs::remove(PathFromUtf8(path), ec) && !ec) return path;
    }
    return {};
}

}  // namespace orbelan
