// The program's data folder: the override, else the user's data folder.
#include "core/program_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/utf8_path.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

#ifdef _WIN32
TEST(ProgramDataDir, OverrideElseAppData) {
    test::TempDir dir;
    const std::string base = Utf8FromPath(std::filesystem::path(dir.Path()).make_preferred());
    const char* names[] = {"ORBELAN_DATA_DIR", "APPDATA"};
    std::string saved[2];
    for (int i = 0; i < 2; ++i) saved[i] = std::getenv(names[i]) ? std::getenv(names[i]) : "";
    // A user name with Romanian letters comes through the wide environment intact.
    test::UnsetEnv("ORBELAN_DATA_DIR");
    test::SetEnv("APPDATA", base + "\\Ştefan\\AppData\\Roaming");
    EXPECT_EQ(ProgramDataDir(), base + "\\Ştefan\\AppData\\Roaming\\dbf-orbelan\\");
    test::SetEnv("ORBELAN_DATA_DIR", base + "/o");
    EXPECT_EQ(ProgramDataDir(), base + "\\o\\");
    test::SetEnv("ORBELAN_DATA_DIR", "relativ");
    test::UnsetEnv("APPDATA");
    const std::string fallback = ProgramDataDir();  // the temporary folder
    EXPECT_EQ(fallback.substr(fallback.size() - 13), "\\dbf-orbelan\\");
    for (int i = 0; i < 2; ++i) test::SetEnv(names[i], saved[i]);
}
#else
TEST(ProgramDataDir, OverrideElseXdgElseHome) {
    test::TempDir dir;
    const std::string base = dir.Path().string();
    const char* names[] = {"ORBELAN_DATA_DIR", "XDG_DATA_HOME", "HOME"};
    std::string saved[3];
    for (int i = 0; i < 3; ++i) saved[i] = std::getenv(names[i]) ? std::getenv(names[i]) : "";
    struct Case {
        const char* values[3];  // nullptr: unset
        std::string expected;
    };
    const Case cases[] = {
        {{"/o", "/x", "/h"}, base + "/o/"},
        {{nullptr, "/x", "/h"}, base + "/x/dbf-orbelan/"},
        {{"", "relativ", "/h"}, base + "/h/.local/share/dbf-orbelan/"},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i) {
            if (!c.values[i])
                ::unsetenv(names[i]);
            else
                ::setenv(names[i], (*c.values[i] == '/' ? base + c.values[i] : c.values[i]).c_str(),
                         1);
        }
        EXPECT_EQ(ProgramDataDir(), c.expected);
        EXPECT_FALSE(std::filesystem::exists(c.expected));  // made only when first needed
    }
    for (int i = 0; i < 3; ++i) ::setenv(names[i], saved[i].c_str(), 1);
}
#endif

}  // namespace
}  // namespace orbelan
