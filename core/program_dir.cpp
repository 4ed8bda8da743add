#include "core/program_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace orbelan {
namespace {

// An environment variable that names an absolute folder; empty otherwise.
fs::path AbsoluteFolderFrom(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value) return {};
    fs::path p(value);
    return p.is_absolute() ? p : fs::path();
}

fs::path UserDataFolder() {
#ifdef _WIN32
    fs::path base = AbsoluteFolderFrom("LOCALAPPDATA");
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
    std::string text = dir.make_preferred().string();
    if (text.back() != kSeparator) text += kSeparator;
    return text;
}

}  // namespace orbelan
