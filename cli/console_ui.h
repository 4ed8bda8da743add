#pragma once
// The Ui port on a terminal: messages go to stderr, questions take the preset answer.
#include <iosfwd>

#include "core/platform.h"
#include "core/ui.h"

namespace orbelan {

class ConsoleUi : public Ui {
  public:
    explicit ConsoleUi(std::ostream& messages);

    // The column Choose answers with; questions are answered "DA".
    std::string presetColumn;

    int Mesaj(const std::string& title, const std::string& text, uint8_t kind,
              uint16_t buttons) override;
    bool Choose(const std::string& caption) override;
    std::string ChosenColumn() const override { return presetColumn; }
    std::string ChosenValue() const override { return {}; }
    void SetValuePanelVisible(bool) override {}
    void SetColumnList(const std::vector<std::string>&) override {}
    void ShowProblem(const std::string& text, UiControl control) override;
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
    std::ostream& out_;
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
