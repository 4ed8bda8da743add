#pragma once
// The Ui port on a terminal: messages go to standard output; questions are answered DA, except
// those of commands that destroy data (guarded), which need --yes or a "da" typed on a terminal.
#include <iosfwd>

#include "core/platform.h"
#include "core/ui.h"

namespace orbelan {

class ConsoleUi : public Ui {
  public:
    // answers: where a guarded question's answer is read; nullptr when standard input is not a
    // terminal (the question is then answered NU).
    ConsoleUi(std::ostream& messages, std::istream* answers = nullptr);

    // The column Choose answers with; the two-column chooser answers with both.
    std::string presetColumn;
    std::string presetSecondColumn;
    bool assumeYes = false;  // --yes: DA to every question
    bool guarded = false;    // the running command asks before destroying data
    // A guarded question was answered NU: the command changed nothing and exits 2.
    bool Refused() const { return refused_; }

    int Mesaj(const std::string& title, const std::string& text, uint8_t kind,
              uint16_t buttons) override;
    bool Choose(const std::string& caption) override;
    std::string ChosenColumn() const override { return presetColumn; }
    std::string ChosenValue() const override { return {}; }
    void SetValuePanelVisible(bool) override {}
    void SetColumnList(const std::vector<std::string>&) override {}
    void ShowProblem(const std::string& text, UiControl control) override;
    std::optional<std::pair<std::string, std::string>> ChooseTwoColumns(
        const std::vector<std::string>& names) override;
    std::optional<std::string> AskOpenFile(const FileDialogSpec&) override { return std::nullopt; }
    std::optional<std::string> AskSaveFile(const FileDialogSpec&) override { return std::nullopt; }
    void ShowError(const std::string& text) override;
    void SetTableGroupVisible(bool) override {}
    void SetRowCounter(const std::string&) override {}
    void SetStatusText(const std::string&) override {}
    void SetApplicationTitle(const std::string&) override {}
    std::string FilterText() const override { return filterText_; }
    void SetFilterText(const std::string& text) override { filterText_ = text; }
    bool FilterButtonDown() const override { return filterDown_; }
    void SetFilterButtonDown(bool down) override { filterDown_ = down; }
    void Terminate() override {}
    void ProcessMessages() override {}
    void ProgressShow(int) override {}
    void ProgressSet(int) override {}
    void ProgressHide() override {}
    void SetMainWindowEnabled(bool) override {}
    void SetBusyCursor(bool) override {}
    // `export --format` names the format itself; no chooser, no progress window.
    bool ChooseExportFormat(ExportChooserRequest&) override { return false; }
    void ExportProgressShow(const ExportProgressRequest&) override {}
    bool ExportProgressSet(int) override { return true; }
    void ExportProgressHide() override {}

  private:
    bool AskTerminal();

    std::ostream& out_;
    std::istream* answers_;
    bool refused_ = false;
    std::string filterText_;
    bool filterDown_ = false;
};

// The command line has no desktop: nothing to open, no clipboard, no association.
class ConsolePlatform : public Platform {
  public:
    void ShellOpen(const std::string&) override {}
    void SetClipboardText(const std::string&) override {}
    void RegisterExtension(const std::string&, const std::string&) override {}
    std::string TempFolder() override;
    int PixelsPerInch() override { return 96; }
};

}  // namespace orbelan
