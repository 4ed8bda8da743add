#pragma once
// A Ui for tests: answers questions from queues and records everything shown.
#include <deque>
#include <string>
#include <vector>

#include "core/ui.h"

namespace orbelan::test {

struct ShownMessage {
    std::string title, text;
    uint8_t kind = 0;
    uint16_t buttons = 0;
    int answer = 0;
};

struct ChooseAnswer {
    bool chosen = false;
    std::string column;
    std::string value;
};

class ScriptedUi : public Ui {
  public:
    // ---- script
    std::deque<int> mesajAnswers;            // when empty: 1 for OK-only messages, 6 for questions
    std::deque<ChooseAnswer> chooseAnswers;  // when empty: not chosen
    // The two-column chooser; when empty: given up.
    std::deque<std::optional<std::pair<std::string, std::string>>> twoColumnAnswers;
    std::deque<std::optional<std::string>> openFileAnswers;
    std::deque<std::optional<std::string>> saveFileAnswers;
    // Format chooser: the answer given (type, view) or cancelled; when empty: cancelled.
    std::deque<std::optional<std::pair<int, bool>>> exportChooserAnswers;
    int cancelExportAtProgress = -1;  // the progress position at which the user stops

    // ---- record
    std::vector<ShownMessage> messages;
    std::vector<std::string> chooseCaptions;
    std::vector<std::pair<std::string, UiControl>> problems;
    std::vector<std::string> errors;
    std::vector<std::string> columnList;
    std::vector<std::vector<std::string>> twoColumnLists;  // the names each chooser was given
    std::vector<FileDialogSpec> fileDialogs;
    bool valuePanelVisible = false;
    bool tableGroupVisible = false;
    std::string rowCounter = "0";
    std::vector<std::string> rowCounterHistory;
    std::string statusText = "Nici un DBF deschis.";
    std::string applicationTitle = "DBF Orbelan";
    std::string filterText;
    bool filterButtonDown = false;
    bool terminated = false;
    int processMessagesCalls = 0;
    bool progressVisible = false;
    int progressMaximum = 0;
    int progressPosition = 0;
    bool mainWindowEnabled = true;
    bool busyCursor = false;
    std::vector<ExportChooserRequest> exportChoosers;  // as the chooser was filled
    bool exportProgressVisible = false;
    std::vector<int> exportProgressPositions;

    int Mesaj(const std::string& title, const std::string& text, uint8_t kind,
              uint16_t buttons) override;
    bool Choose(const std::string& caption) override;
    std::string ChosenColumn() const override { return chosenColumn_; }
    std::string ChosenValue() const override { return chosenValue_; }
    void SetValuePanelVisible(bool visible) override { valuePanelVisible = visible; }
    void SetColumnList(const std::vector<std::string>& names) override;
    void ShowProblem(const std::string& text, UiControl control) override {
        problems.emplace_back(text, control);
    }
    std::optional<std::pair<std::string, std::string>> ChooseTwoColumns(
        const std::vector<std::string>& names) override;
    std::optional<std::string> AskOpenFile(const FileDialogSpec& request) override;
    std::optional<std::string> AskSaveFile(const FileDialogSpec& request) override;
    void ShowError(const std::string& text) override { errors.push_back(text); }

    void SetTableGroupVisible(bool visible) override { tableGroupVisible = visible; }
    void SetRowCounter(const std::string& text) override;
    void SetStatusText(const std::string& text) override { statusText = text; }
    void SetApplicationTitle(const std::string& text) override { applicationTitle = text; }
    std::string FilterText() const override { return filterText; }
    void SetFilterText(const std::string& text) override { filterText = text; }
    bool FilterButtonDown() const override { return filterButtonDown; }
    void SetFilterButtonDown(bool down) override { filterButtonDown = down; }
    void Terminate() override { terminated = true; }

    void ProcessMessages() override { ++processMessagesCalls; }
    void ProgressShow(int maximum) override {
        progressVisible = true;
        progressMaximum = maximum;
        progressPosition = 0;
    }
    void ProgressSet(int position) override { progressPosition = position; }
    void ProgressHide() override { progressVisible = false; }
    void SetMainWindowEnabled(bool enabled) override { mainWindowEnabled = enabled; }
    void SetBusyCursor(bool busy) override { busyCursor = busy; }
    bool ChooseExportFormat(ExportChooserRequest& request) override;
    void ExportProgressShow(const ExportProgressRequest&) override { exportProgressVisible = true; }
    bool ExportProgressSet(int position) override {
        exportProgressPositions.push_back(position);
        return position != cancelExportAtProgress;
    }
    void ExportProgressHide() override { exportProgressVisible = false; }

    // Texts of all messages, in order, for compact assertions.
    std::vector<std::string> MessageTexts() const;

  private:
    std::string chosenColumn_, chosenValue_;
};

}  // namespace orbelan::test
