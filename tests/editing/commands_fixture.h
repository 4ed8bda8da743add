#pragma once
// A workspace with a small table of persons open, for the main window's commands.
#include <gtest/gtest.h>

#include "core/workspace.h"
#include "support/dbf_builder.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace orbelan::test {

class CommandsTest : public ::testing::Test {
  protected:
    TempDir dir;
    ScriptedUi ui;
    FakePlatform platform;
    Workspace ws{ui, platform};

    void SetUp() override {
        ws.SetFormatSettings({',', "dd.MM.yyyy"});
        ws.ProgramDir = dir.Path().string() + "/";
    }

    // NUME C(20), NR N(5,0), SUMA N(8,2), OBS C(10)
    std::string OpenPersons(const std::vector<std::vector<std::string>>& rows,
                            const std::string& name = "t.dbf") {
        const std::string path = dir.File(name);
        WriteDbf(path, {{"NUME", 'C', 20}, {"NR", 'N', 5}, {"SUMA", 'N', 8, 2}, {"OBS", 'C', 10}},
                 rows);
        ws.CurrentFile = path;
        ws.OpenTable();
        EXPECT_TRUE(ws.table.Active());
        return path;
    }

    std::vector<std::string> Column(const std::string& field) {
        std::vector<std::string> out;
        Table& t = ws.table;
        const int f = t.FieldIndexOrThrow(field);
        for (int row = 0; row < t.RecordCount(); ++row) out.push_back(t.TextAt(row, f));
        return out;
    }

    void MoveToRow(int row) {
        ws.table.First();
        for (int i = 0; i < row; ++i) ws.table.Next();
    }
};

}  // namespace orbelan::test
