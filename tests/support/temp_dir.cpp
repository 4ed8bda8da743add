#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "engine/utf8_path.h"

namespace fs = std::filesystem;

namespace orbelan::test {

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("orbelan-test-" + std::to_string(rd()));
        if (fs::create_directory(p)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; give write access back before removing.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

// Joined with '/' on both systems, as the tests join the folders they hand the commands.
std::string TempDir::File(const std::string& name) const {
    return Utf8FromPath(path_) + "/" + name;
}

std::string TempDir::CopyData(const std::string& name) const {
    const fs::path src = fs::path(ORBELAN_TEST_DATA) / name;
    // Removed first: MinGW's copy_file can't overwrite an existing file.
    fs::remove(path_ / name);
    fs::copy_file(src, path_ / name);
    // Tests change their copies even when the originals are read-only.
    fs::permissions(path_ / name, fs::perms::owner_write, fs::perm_options::add);
    const fs::path stem = src.parent_path() / src.stem();
    for (const char* ext : {".dbt", ".fpt", ".DBT", ".FPT", ".mdx", ".cdx"}) {
        fs::path companion = stem;
        companion += ext;
        if (fs::exists(companion)) {
            fs::copy_file(companion, path_ / companion.filename(),
                          fs::copy_options::overwrite_existing);
            fs::permissions(path_ / companion.filename(), fs::perms::owner_write,
                            fs::perm_options::add);
        }
    }
    return (path_ / name).string();
}

HomeFoldersForTests::HomeFoldersForTests() {
    SetEnv("ORBELAN_DATA_DIR", (dir_.Path() / "data").string());
    SetEnv("XDG_CONFIG_HOME", (dir_.Path() / "config").string());
}

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    // Wide, so a value with Romanian letters arrives as it was written.
    _wputenv_s(Utf16FromUtf8(name).c_str(), Utf16FromUtf8(value).c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

void UnsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes it
#else
    ::unsetenv(name);
#endif
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace orbelan::test
