// Anuleaza / Reface of the open table: posted edits (memo texts included) and commands, in the
// order they were made, and the question when a command's restore point does not fit.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/messages.h"
#include "core/restore_points.h"
#include "core/undo_history.h"
#include "core/workspace.h"
#include "editing/sort_command.h"
#include "engine/file_io.h"
#include "support/fake_platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace orbelan {
namespace {

class UndoHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.CopyData("dbase3_memo_cp1250.dbf");
        ws_.ProgramDir = data_.Path().string() + "/";
        ws_.CurrentFile = path_;
        ws_.OpenTable();
        ASSERT_TRUE(ws_.table.Active());
    }

    // Every visible row's every value, memo texts included.
    std::vector<std::vector<std::string>> Rows() {
        std::vector<std::vector<std::string>> rows;
        Table& t = ws_.table;
        for (int r = 0; r < t.RecordCount(); ++r) {
            rows.emplace_back();
            for (int f = 0; f < t.FieldCount(); ++f) rows.back().push_back(t.TextAt(r, f));
        }
        return rows;
    }

    test::TempDir dir_, data_;
    test::ScriptedUi ui_;
    test::FakePlatform platform_;
    Workspace ws_{ui_, platform_};
    std::string path_;
};

TEST_F(UndoHistoryTest, EditsAndCommandsAreUndoneAndRedoneInTurn) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    Table& t = ws_.table;
    std::vector<std::vector<std::vector<std::string>>> states{Rows()};
    std::vector<int64_t> records;  // the record each step changed (-1: a command)
    const auto step = [&](int64_t record) {
        states.push_back(Rows());
        records.push_back(record);
    };
    // A changed row, its memo text too.
    t.First();
    t.SetText("NUME", "SCHIMBAT");
    t.SetText("OBS", "un memo nou, mai lung decat cel vechi");
    t.Post();
    step(t.PhysicalRecNo());
    // An added row.
    t.Append();
    t.SetText("NUME", "ADAUGAT");
    t.SetText("OBS", "memo adaugat");
    t.Post();
    step(t.PhysicalRecNo());
    // A deleted row.
    t.First();
    t.Next();
    const int64_t deleted = t.PhysicalRecNo();
    t.Delete();
    step(deleted);
    // A command, then one more edit on the sorted table.
    ASSERT_TRUE(SortByColumn(ws_, t.FieldIndex("NUME")));
    step(-1);
    t.First();
    t.SetText("PRENUME", "DUPA");
    t.Post();
    step(t.PhysicalRecNo());

    for (size_t i = records.size(); i-- > 0;) {
        SCOPED_TRACE("undo " + std::to_string(i));
        ASSERT_EQ(NextUndo(ws_).value_or("?"), records[i] < 0 ? "Ordonare" : "");
        ASSERT_TRUE(UndoLast(ws_));
        EXPECT_EQ(Rows(), states[i]);
        // The grid is on the row undone (a deleted row comes back, an added one goes).
        if (records[i] >= 0 && i != 1) {
            EXPECT_EQ(t.PhysicalRecNo(), records[i]);
        }
    }
    EXPECT_FALSE(UndoLast(ws_));
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE("redo " + std::to_string(i));
        ASSERT_TRUE(RedoLast(ws_));
        EXPECT_EQ(Rows(), states[i + 1]);
    }
    EXPECT_FALSE(RedoLast(ws_));

    // Closed and opened again: the edits are gone, the command's restore point is not; undoing
    // it takes the edit made after it too, so it asks first.
    ws_.CloseTable();
    ws_.OpenTable();
    EXPECT_EQ(NextUndo(ws_).value_or("?"), "Ordonare");
    ui_.messages.clear();
    ASSERT_TRUE(UndoLast(ws_));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text,
              "Anularea ordonarii pierde si modificarile facute dupa ea (1 linii). Continuati?");
    EXPECT_EQ(Rows(), states[3]);
}

// Undoing a command after a restart asks when rows edited after it (then, in sessions since
// closed) would go too, counting only those still changed; NU leaves the table as it is.
TEST_F(UndoHistoryTest, UndoAfterRestartAsksBeforeDroppingLaterEdits) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    Table& t = ws_.table;
    const auto edit = [&](int row, const char* value) {
        t.MoveTo(row);
        t.SetText("PRENUME", value);
        t.Post();
    };
    const auto reopen = [&] {
        ws_.CloseTable();
        ws_.OpenTable();
    };
    const auto sort = [&](const char* column) {
        ui_.mesajAnswers = {mrYes};
        ASSERT_TRUE(SortByColumn(ws_, t.FieldIndex(column)));
    };
    const struct Case {
        const char* name;
        std::function<void()> after;  // what follows the sort by NUME
        int answer;
        int64_t lost;  // rows named in the question; 0: no question
    } kCases[] = {
        {"edit, restart",
         [&] {
             edit(0, "DUPA");
             reopen();
         },
         mrYes, 1},
        {"edit, restart, NU",
         [&] {
             edit(0, "DUPA");
             reopen();
         },
         mrNo, 1},
        {"edits in two sessions",
         [&] {
             edit(0, "A");
             reopen();
             edit(1, "B");
             edit(0, "C");
             reopen();
         },
         mrYes, 2},
        {"edit undone, restart",
         [&] {
             edit(0, "DUPA");
             ASSERT_TRUE(UndoLast(ws_));
             reopen();
         },
         mrYes, 0},
        {"edit, another command, both undone",
         [&] {
             edit(0, "DUPA");
             sort("PRENUME");
             ASSERT_TRUE(UndoLast(ws_));  // the second sort
             ASSERT_TRUE(UndoLast(ws_));  // the edit
         },
         mrYes, 0},
    };
    int run = 0;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        // A fresh copy of the table, with restore points of its own.
        ws_.CloseTable();
        ws_.ProgramDir = data_.Path().string() + "/" + std::to_string(++run) + "/";
        std::filesystem::create_directories(ws_.ProgramDir);
        ws_.CurrentFile = dir_.CopyData("dbase3_memo_cp1250.dbf");
        ws_.OpenTable();
        ASSERT_TRUE(t.Active());
        const auto original = Rows();
        sort("NUME");
        c.after();
        const auto edited = Rows();
        ui_.messages.clear();
        ui_.mesajAnswers = {c.answer};
        ASSERT_TRUE(UndoLast(ws_));
        if (c.lost == 0) {
            EXPECT_TRUE(ui_.messages.empty());
        } else {
            ASSERT_EQ(ui_.messages.size(), 1u);
            EXPECT_EQ(ui_.messages[0].text,
                      "Anularea ordonarii pierde si modificarile facute "
                      "dupa ea (" +
                          std::to_string(c.lost) + " linii). Continuati?");
        }
        EXPECT_EQ(Rows(), c.answer == mrYes ? original : edited);
        ws_.CloseTable();
    }
}

TEST_F(UndoHistoryTest, RowBeingEditedIsCancelledFirst) {
    const auto before = Rows();
    ws_.table.First();
    ws_.table.SetText("NUME", "NEPOSTAT");
    ASSERT_TRUE(UndoLast(ws_));
    EXPECT_EQ(ws_.table.GetState(), Table::State::Browse);
    EXPECT_EQ(Rows(), before);
    EXPECT_FALSE(UndoLast(ws_));
}

TEST_F(UndoHistoryTest, RowChangedByAnotherProgramIsNotUndone) {
    ws_.table.First();
    ws_.table.SetText("NUME", "EU");
    ws_.table.Post();
    const std::string mine = ws_.table.RawRecord(0);
    // Another handle writes the same record meanwhile.
    std::string theirs = mine;
    theirs[1] = 'X';
    ws_.table.PutRecord(0, theirs);
    EXPECT_THROW(UndoLast(ws_), UndoRefused);
    EXPECT_EQ(ws_.table.RawRecord(0), theirs);
}

TEST_F(UndoHistoryTest, CommandWhoseRestorePointDoesNotFitAsksFirst) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    const struct {
        int answer;
        bool runs;
    } kAnswers[] = {{mrNo, false}, {mrYes, true}};
    ws_.UndoBudget = 1;
    for (const auto& a : kAnswers) {
        SCOPED_TRACE(a.answer);
        const std::string bytes = test::ReadFileBytes(path_);
        ui_.mesajAnswers = {mrYes, a.answer};  // the sort's own question, then the budget's
        ui_.messages.clear();
        if (a.runs)
            ASSERT_TRUE(SortByColumn(ws_, ws_.table.FieldIndex("PRENUME")));
        else
            EXPECT_THROW(SortByColumn(ws_, ws_.table.FieldIndex("PRENUME")), CommandDeclined);
        ASSERT_EQ(ui_.messages.size(), 2u);
        EXPECT_NE(ui_.messages[1].text.find("Nu este loc pentru copia de siguranta"),
                  std::string::npos);
        EXPECT_EQ(test::ReadFileBytes(path_) != bytes, a.runs);
        EXPECT_TRUE(ws_.table.Active());
        EXPECT_FALSE(NextUndo(ws_).has_value());
    }
}

// Each failure of keeping the old files or writing the list says which file and why.
TEST_F(UndoHistoryTest, FailuresNameTheFileAndTheCause) {
    if (!kRestorePointsAvailable) GTEST_SKIP() << kRestorePointsMissing;
    const struct {
        const char* name;
        bool atUndo;  // the failure comes at the undo, not at the command
        bool diskFull;
        const char* said;
    } kCases[] = {
        {"copy on a full disk", false, true, "fisierului {table} nu a putut fi facuta: nu este loc"},
        {"copy on a failing disk", false, false,
         "fisierului {table} nu a putut fi facuta: eroare de citire/scriere"},
        {"list on a full disk at undo", true, true, "nu a putut fi scrisa: nu este loc pe disc."},
    };
    const int column = ws_.table.FieldIndex("PRENUME");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string said = c.said;
        if (said.find("{table}") != std::string::npos)
            said.replace(said.find("{table}"), 7, ws_.table.TableName());
        ui_.messages.clear();
        ui_.mesajAnswers = {mrYes, mrNo};  // the sort's own question, then going on without undo
        if (c.atUndo) {
            ASSERT_TRUE(SortByColumn(ws_, column));
        }
        const std::string bytes = test::ReadFileBytes(path_);
        IoFaults().noHardLinks = !c.atUndo;
        IoFaults().diskFull = c.diskFull;
        IoFaults().failKeepAfter = 0;
        if (c.atUndo) {
            try {
                UndoLast(ws_);
                ADD_FAILURE() << "undone";
            } catch (const UndoStoreError& e) {
                EXPECT_NE(std::string(e.what()).find(said), std::string::npos) << e.what();
                EXPECT_EQ(e.cause, UndoStoreError::Cause::NoRoom);
            }
        } else {
            EXPECT_THROW(SortByColumn(ws_, column), CommandDeclined);
            ASSERT_EQ(ui_.messages.size(), 2u);
            EXPECT_NE(ui_.messages[1].text.find(said), std::string::npos) << ui_.messages[1].text;
        }
        IoFaults().Reset();
        EXPECT_EQ(test::ReadFileBytes(path_), bytes);
        EXPECT_TRUE(ws_.table.Active());
        if (c.atUndo) {
            EXPECT_TRUE(UndoLast(ws_));  // the point is whole and still undoes
        }
    }
}

}  // namespace
}  // namespace orbelan
