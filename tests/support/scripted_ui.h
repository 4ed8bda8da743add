#pragma once
// A Ui for tests: answers questions from queues and records everything shown.
#include <deque>
#include <string>
#include <vector>

#include "core/ui.h"
#include "export/export_windows.h"

namespace orbelan::test {

struct ShownMessage {
    std::string title, text;
    uint8_t kind = 0;
    uint16_t buttons = 0;
    int answer = 0;
};

class ScriptedUi : public Ui, public ExportWindows {
  public:
    // ---- script
    std::deque<int> mesajAnswers;  // when empty: 1 for OK-only messages, 6 for questions
    std::deque<std::optional<std::string>> saveFileAnswers;
    // Format chooser: the answer given (type, view) or cancelled; when empty: cancelled.
    std::deque<std::optional<std::pair<int, bool>>> exportChooserAnswers;
    int cancelExportAtProgress = -1;  // the progress position at which the user stops

    // ---- record
    std::vector<ShownMessage> messages;
    std::vector<std::pair<std::string, UiControl>> problems;
    std::vector<std::string> errors;
    std::vector<std::string> columnList;
    std::vector<FileDialogRequest> fileDialogs;
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
    bool stopButtonVisible = false;
    int stopAtProgress = -1;  // the bar's position at which the user clicks "&Renunt"
    std::vector<ExportChooserRequest> exportChoosers;  // as the chooser was filled
    bool exportProgressVisible = false;
    std::vector<int> exportProgressPositions;

    int Mesaj(const std::string& title, const std::string& text, uint8_t kind,
              uint16_t buttons) override;
    void SetColumnList(const std::vector<std::string>& names) override;
    void ShowProblem(const std::string& text, UiControl control) override {
        problems.emplace_back(text, control);
    }
    std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
    void ShowError(const std::string& text) override { errors.push_back(text); }

    void SetTableGroupVisible(bool visible) override { tableGroupVisible = visible; }
    void SetRowCounter(const std::string& text) override;
    void SetStatusText(const std::string& text) override { statusText = text; }
    void SetApplicationTitle(const std::string& text) override { applicationTitle = text; }
    void SetFilterText(const std::string& text) override { filterText = text; }
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
    void SetStopButtonVisible(bool visible) override { stopButtonVisible = visible; }
    bool StopRequested() override { return progressPosition == stopAtProgress; }
    bool ChooseExportFormat(ExportChooserRequest& request) override;
    void ExportProgressShow(const ExportProgressRequest&) override { exportProgressVisible = true; }
    bool ExportProgressSet(int position) override {
        exportProgressPositions.push_back(position);
        return position != cancelExportAtProgress;
    }
    void ExportProgressHide() override { exportProgressVisible = false; }

    // Texts of all messages, in order, for compact assertions.
    std::vector<std::string> MessageTexts() const;
};

}  // namespace orbelan::test
