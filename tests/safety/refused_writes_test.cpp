// A read-only table, a read-only folder and a full disk (injected, and a real one): each command
// says so in plain words and the table stays as it was.
// Users, permission bits and mounts are POSIX: on Windows a refused write is a sharing or access
// error, tested with the file seam.
#ifndef _WIN32
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/cli_app.h"
#include "engine/file_io.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int code;
    std::string err;  // what it wrote, standard output first
};

constexpr int kNoUnprivilegedUser = 99;
constexpr fs::perms kReadOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec;

// Runs orbelan in a child process. Permissions mean nothing to root (which the tests run as in
// CI), so a root child first becomes the unprivileged user "nobody".
// dataDir: the program's data folder, which it must be able to write.
Outcome RunWithoutPrivileges(const std::vector<std::string>& args, const std::string& dataDir) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        setenv("ORBELAN_DATA_DIR", dataDir.c_str(), 1);
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(kNoUnprivilegedUser);
        std::ostringstream out, err;
        const int code = RunOrbelan(args, out, err);
        const std::string text = out.str() + err.str();
        if (write(fds[1], text.data(), text.size()) < 0) _exit(98);
        _exit(code);
    }
    close(fds[1]);
    std::string err;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        err.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, err};
}

std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        files[e.path().filename().string()] = test::ReadFileBytes(e.path().string());
    return files;
}

struct Case {
    const char* name;
    std::vector<std::string> (*args)(const std::string& table, const std::string& source);
    bool inPlace;  // writes into the table's own file, no scratch file in its folder
};

const Case kCases[] = {
    {"sort",
     [](const std::string& t, const std::string&) {
         return std::vector<std::string>{"sort", t, "NUME"};
     },
     false},
    {"alter",
     [](const std::string& t, const std::string&) {
         return std::vector<std::string>{"sql", "ALTER TABLE \"" + t + "\" ADD X CHAR(3)"};
     },
     false},
    {"delete rows",
     [](const std::string& t, const std::string&) {
         return std::vector<std::string>{"delete-rows", t, "--yes"};
     },
     false},
    {"split name",
     [](const std::string& t, const std::string&) {
         return std::vector<std::string>{"split-name", t, "NUME"};
     },
     false},
    {"append",
     [](const std::string& t, const std::string& s) {
         return std::vector<std::string>{"append", t, s};
     },
     true},
};

class RefusedWrites : public ::testing::Test {
  protected:
    void SetUp() override {
        source_ = sourceDir_.CopyData("dbase3_memo_cp1250.dbf");
        table_ = dir_.CopyData("dbase3_memo_cp1250.dbf");
        memo_ = dir_.File("dbase3_memo_cp1250.dbt");
        fs::permissions(dataDir_.Path(), fs::perms::all);
    }
    void TearDown() override { IoFaults().Reset(); }

    test::TempDir dir_, sourceDir_, dataDir_;
    std::string table_, memo_, source_;
};

TEST_F(RefusedWrites, ReadOnlyTableIsRefusedAndKept) {
    fs::permissions(dir_.Path(), fs::perms::all);  // the folder allows new files
    for (const std::string& f : {table_, memo_}) chmod(f.c_str(), 0444);
    const auto before = FolderFiles(dir_.Path());
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const Outcome r = RunWithoutPrivileges(c.args(table_, source_), dataDir_.Path().string());
        if (r.code == kNoUnprivilegedUser) GTEST_SKIP() << "no unprivileged user to run as";
        EXPECT_EQ(r.code, 4) << r.err;
        EXPECT_NE(r.err.find("poate fi doar citit"), std::string::npos) << r.err;
        EXPECT_TRUE(FolderFiles(dir_.Path()) == before);
    }
}

TEST_F(RefusedWrites, ReadOnlyFolderRefusesRewritesAndKeepsTheTable) {
    for (const std::string& f : {table_, memo_}) chmod(f.c_str(), 0666);
    fs::permissions(dir_.Path(), kReadOnlyFolder);
    const auto before = FolderFiles(dir_.Path());
    for (const Case& c : kCases) {
        if (c.inPlace) continue;  // the table's own file can still be written
        SCOPED_TRACE(c.name);
        const Outcome r = RunWithoutPrivileges(c.args(table_, source_), dataDir_.Path().string());
        if (r.code == kNoUnprivilegedUser) GTEST_SKIP() << "no unprivileged user to run as";
        EXPECT_EQ(r.code, 4) << r.err;
        EXPECT_NE(r.err.find("In folderul " + dir_.Path().string() + " nu se poate scrie"),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(FolderFiles(dir_.Path()) == before);
    }
}

TEST_F(RefusedWrites, SortWithoutAFolderForItsScratchTableFails) {
    const test::TempDir lockedData;
    fs::permissions(lockedData.Path(), kReadOnlyFolder);
    for (const std::string& f : {table_, memo_}) chmod(f.c_str(), 0666);
    const auto before = FolderFiles(dir_.Path());
    // A data folder that can't be made.
    const Outcome r =
        RunWithoutPrivileges({"sort", table_, "NUME"}, (lockedData.Path() / "date").string());
    if (r.code == kNoUnprivilegedUser) GTEST_SKIP() << "no unprivileged user to run as";
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.err.find("Nu am voie sa scriu in"), std::string::npos) << r.err;
    EXPECT_TRUE(FolderFiles(dir_.Path()) == before);
}

TEST_F(RefusedWrites, FullDiskIsNamedAndNothingIsLost) {
    const auto before = FolderFiles(dir_.Path());
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        IoFaults().failWriteAfter = 0;
        IoFaults().persistent = true;
        IoFaults().diskFull = true;
        std::ostringstream out, err;
        const int code = RunOrbelan(c.args(table_, source_), out, err);
        IoFaults().Reset();
        EXPECT_EQ(code, 4);
        EXPECT_NE(err.str().find("a esuat: discul este plin."), std::string::npos) << err.str();
        EXPECT_TRUE(FolderFiles(dir_.Path()) == before);
    }
}

// A real full disk: a small tmpfs (mounting needs root; skipped otherwise) holding the table,
// filled to the last byte.
TEST(RefusedWritesOnTmpfs, FullDiskIsNamedAndNothingIsLost) {
    const test::TempDir mountPoint, sourceDir;
    if (mount("tmpfs", mountPoint.Path().c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint.Path().string()};
    const fs::path folder = mountPoint.Path() / "t";
    fs::create_directory(folder);
    const std::string table = (folder / "T.DBF").string();
    fs::copy_file(fs::path(ORBELAN_TEST_DATA) / "dbase3_memo_cp1250.dbf", table);
    fs::copy_file(fs::path(ORBELAN_TEST_DATA) / "dbase3_memo_cp1250.dbt", folder / "T.DBT");
    const std::string source = sourceDir.CopyData("dbase3_memo_cp1250.dbf");
    {
        std::ofstream filler(mountPoint.Path() / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    const auto before = FolderFiles(folder);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out, err;
        EXPECT_EQ(RunOrbelan(c.args(table, source), out, err), 4);
        EXPECT_NE(err.str().find("discul este plin"), std::string::npos) << err.str();
        // Appended rows may still fit in the table's last block: those stay, counted.
        if (!c.inPlace) {
            EXPECT_TRUE(FolderFiles(folder) == before);
        }
    }
}

}  // namespace
}  // namespace orbelan
#endif
