// The program's data folder: the override, else the user's data folder.
#include "core/program_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "support/temp_dir.h"

namespace orbelan {
namespace {

// Sets an environment variable for one test and puts the old value back.
class EnvVar {
  public:
    EnvVar(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~EnvVar() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ProgramDataDir, OverrideElseXdgElseHome) {
    test::TempDir dir;
    const std::string base = dir.Path().string();
    struct Case {
        std::optional<std::string> override, xdg, home;
        std::string expected;
    };
    const Case cases[] = {
        {base + "/o", base + "/x", base + "/h", base + "/o/"},
        {std::nullopt, base + "/x", base + "/h", base + "/x/dbf-orbelan/"},
        {"", "relativ/x", base + "/h", base + "/h/.local/share/dbf-orbelan/"},
        {std::nullopt, std::nullopt, base + "/h2", base + "/h2/.local/share/dbf-orbelan/"},
    };
    for (const Case& c : cases) {
        EnvVar o("ORBELAN_DATA_DIR", c.override), x("XDG_DATA_HOME", c.xdg), h("HOME", c.home);
        EXPECT_EQ(ProgramDataDir(), c.expected);
        EXPECT_FALSE(std::filesystem::exists(c.expected));  // made only when first needed
    }
}

}  // namespace
}  // namespace orbelan
