// "Creaza formulare &Word": the three modes, the how-to template and the failures.
#include "letters/form_letters.h"

#include <filesystem>

#include "engine/file_io.h"
#include "tests/editing/commands_fixture.h"
#include "tests/letters/rtf_check.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

class FormLetters : public test::CommandsTest {
  protected:
    const std::vector<std::vector<std::string>> rows = {
        {"Pop", "1", "1.00", "a"},     {"Ion", "2", "2.00", "b"}, {"Dan", "3", "3.00", "a"},
        {"Ana", "4", "4.00", "C:\\x"}, {"Eva", "5", "5.00", "a"},
    };

    std::string Template() {
        const std::string path = dir.File("model.rtf");
        test::WriteFileBytes(path, "{\\rtf1\\ansi\r\n\\pard [Nume] [NR] [Obs]\r\n\\par }\r\n");
        return path;
    }

    // Runs the command with the template; the document written.
    std::string Letters(LetterMode mode) {
        WriteFormLetters(ws, Template(), mode);
        if (platform.opened.empty()) return {};
        return ReadFileBytes(platform.opened.back());
    }

    void Filter(const std::string& expression) {
        ws.table.SetFilterText(expression);
        ws.table.SetFiltered(true);
    }

    size_t FilesIn(const fs::path& folder) {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
    }
};

TEST_F(FormLetters, ThreeModesThroughTheFilterKeepTheCurrentRow) {
    OpenPersons(rows);
    Filter("OBS='a'");  // Pop, Dan, Eva
    MoveToRow(1);
    std::string doc = Letters(LetterMode::ToateLiniile);
    EXPECT_EQ(doc,
              "{\\rtf1\\ansi\r\n"
              "\\pard Pop 1 a\r\n\\par \r\n\\par \\page\r\n"
              "\\pard Dan 3 a\r\n\\par \r\n\\par \\page\r\n"
              "\\pard Eva 5 a\r\n\\par \r\n}\r\n");
    test::ExpectWholeDocument(doc);
    EXPECT_EQ(ws.table.AsText("NUME"), "Dan");
    EXPECT_FALSE(ws.table.ControlsDisabled());
    EXPECT_EQ(platform.opened, std::vector<std::string>{ws.ProgramDir + "Rap0.rtf"});

    EXPECT_TRUE(ui.messages.empty());

    // From the last displayed row down: one page, like the current row alone.
    MoveToRow(2);
    doc = Letters(LetterMode::TotInJos);
    EXPECT_EQ(doc, "{\\rtf1\\ansi\r\n\\pard Eva 5 a\r\n\\par \r\n}\r\n");
    EXPECT_EQ(Letters(LetterMode::OLinie), doc);
    EXPECT_EQ(ws.table.AsText("NUME"), "Eva");

    MoveToRow(1);
    doc = Letters(LetterMode::TotInJos);
    EXPECT_EQ(Count(doc, "\\par \\page"), 1u);
    EXPECT_EQ(Count(doc, "\\pard "), 2u);
    EXPECT_EQ(ws.table.AsText("NUME"), "Dan");
}

TEST_F(FormLetters, HowToTemplateListsTheColumns) {
    test::WriteDbf(dir.File("p.dbf"),
                   {{"NUME", 'C', 20}, {"PRENUME", 'C', 20}, {"ADRESA", 'C', 30}},
                   {{"POP", "ION", "DEVA"}});
    ws.CurrentFile = dir.File("p.dbf");
    ws.OpenTable();
    for (const char* model : {"Model0.rtf", "Model1.rtf"}) {
        WriteHowToTemplateFile(ws);
        const std::string path = ws.ProgramDir + "Modele/" + model;
        ASSERT_EQ(platform.opened.back(), path);
        const std::string doc = ReadFileBytes(path);
        EXPECT_NE(doc.find("\r\n\\par {\\b Coloanele disponibile in acest moment sunt:}\r\n"
                           "\\par [NUME]\r\n\\par [PRENUME]\r\n\\par [ADRESA]\r\n\\par\\pard"),
                  std::string::npos);
        EXPECT_NE(doc.find("Subsemnatul(a) [NUME] [PRENUME], domiciliat(a) in [Adresa]"),
                  std::string::npos);
        test::ExpectWholeDocument(doc);
    }
    EXPECT_TRUE(ui.fileDialogs.empty());
    // The temporary copy in the program folder is gone.
    EXPECT_FALSE(fs::exists(ws.ProgramDir + "Model0.rtf"));
    EXPECT_EQ(FilesIn(dir.Path()), 2u);  // p.dbf, Modele

    // The resource itself: ANSI, code page 1252, Times New Roman, the column line on its own.
    const std::string_view modele = ModeleResource();
    EXPECT_EQ(modele.substr(0, 24), "{\\rtf1\\ansi\\ansicpg1252\\");
    EXPECT_NE(modele.find("Times New Roman"), std::string_view::npos);
    EXPECT_NE(modele.find("\n\\par [[Camp]]\n"), std::string_view::npos);
    EXPECT_NE(modele.find("\n\\pard"), std::string_view::npos);
}

TEST_F(FormLetters, NothingToDoWritesNothing) {
    WriteFormLetters(ws, Template(), LetterMode::ToateLiniile);  // no table
    OpenPersons(rows);
    Filter("OBS='z'");
    WriteFormLetters(ws, Template(), LetterMode::OLinie);  // no displayed row
    ASSERT_EQ(ui.messages.size(), 2u);
    for (const auto& m : ui.messages) {
        EXPECT_EQ(m.text, "Nu aveti ce exporta in Word!");
        EXPECT_EQ(m.kind, mkError);
        EXPECT_EQ(m.buttons, mbOK);
    }
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_FALSE(fs::exists(ws.ProgramDir + "Rap0.rtf"));
}

TEST_F(FormLetters, ManyLettersAreAskedForAndAStopLeavesNoDocument) {
    OpenPersons(std::vector<std::vector<std::string>>(1001, {"Pop", "1", "1.00", "a"}));
    ui.mesajAnswers = {mrNo};
    EXPECT_EQ(Letters(LetterMode::ToateLiniile), "");
    EXPECT_EQ(ui.MessageTexts(),
              std::vector<std::string>{"Se vor genera 1.001 scrisori. Continuati?"});

    ui.stopAtProgress = 10;  // "&Renunt" while the tenth letter is written
    EXPECT_EQ(Letters(LetterMode::ToateLiniile), "");
    EXPECT_EQ(ui.progressMaximum, 1001);
    EXPECT_FALSE(ui.stopButtonVisible);
    EXPECT_FALSE(ui.progressVisible);
    EXPECT_EQ(FilesIn(dir.Path()), 2u);  // t.dbf, model.rtf: no document, no scratch
    EXPECT_FALSE(ws.table.ControlsDisabled());

    ui.stopAtProgress = -1;
    EXPECT_NE(Letters(LetterMode::ToateLiniile), "");
}

TEST_F(FormLetters, WriteFailureOrNoFreeNameIsSaidAndLeavesNothing) {
    OpenPersons(rows);
    MoveToRow(2);
    // The disk fills up halfway through the rows: a clear message, no document, the window's
    // table as it was.
    IoFaults().failWriteAfter = 6;
    EXPECT_EQ(Letters(LetterMode::ToateLiniile), "");
    IoFaults().Reset();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Generare formulare");
    EXPECT_EQ(ui.messages[0].kind, mkError);
    const std::string failed = "Documentul " + ws.ProgramDir + "Rap0.rtf nu a putut fi scris.\r";
    EXPECT_EQ(ui.messages[0].text.substr(0, failed.size()), failed);
    EXPECT_EQ(FilesIn(dir.Path()), 2u);  // t.dbf, model.rtf: no document, no scratch
    EXPECT_EQ(ws.table.AsText("NUME"), "Dan");
    EXPECT_FALSE(ws.table.ControlsDisabled());
    EXPECT_TRUE(ui.errors.empty());

    // Every name held: said so, nothing opened.
    for (int n = 0; n <= 99; ++n)
        fs::create_directories(ws.ProgramDir + "Rap" + std::to_string(n) + ".rtf/x");
    ui.messages.clear();
    Letters(LetterMode::OLinie);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Nu exista un nume liber pentru document: Rap0.rtf ... "
              "Rap99.rtf din " +
                  ws.ProgramDir +
                  " sunt deschise in alte programe.\rInchideti cateva "
                  "dintre ele si incercati din nou.");
    EXPECT_TRUE(platform.opened.empty());
}

}  // namespace
}  // namespace orbelan
