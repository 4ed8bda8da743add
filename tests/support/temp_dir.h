#pragma once
// A fresh folder per test, removed afterwards, with helpers to copy test tables into it.
#include <filesystem>
#include <string>

namespace orbelan::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const;  // UTF-8, as the program takes paths
    // Copies tests/data/<name> (and its .dbt/.fpt/.mdx/.cdx companions) here; returns the copy.
    std::string CopyData(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

// Points the program's data folder (ORBELAN_DATA_DIR) and Qt's settings (XDG_CONFIG_HOME) at a
// fresh temporary folder for the whole test run, so no test writes into the real home folder.
class HomeFoldersForTests {
  public:
    HomeFoldersForTests();
    const std::filesystem::path& Path() const { return dir_.Path(); }

  private:
    TempDir dir_;
};

// The process environment on both systems (setenv/unsetenv are POSIX only).
void SetEnv(const char* name, const std::string& value);
void UnsetEnv(const char* name);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace orbelan::test
