#include "support/scripted_ui.h"

namespace orbelan::test {

int ScriptedUi::Mesaj(const std::string& title, const std::string& text, uint8_t kind,
                      uint16_t buttons) {
    int answer = (buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0 ? mrCancel
                 : (buttons & mbYes)                               ? mrYes
                                                                   : mrOk;
    if (answer != mrCancel && !mesajAnswers.empty()) {
        answer = mesajAnswers.front();
        mesajAnswers.pop_front();
    }
    messages.push_back({title, text, kind, buttons, answer});
    return answer;
}

bool ScriptedUi::Choose(const std::string& caption) {
    chooseCaptions.push_back(caption);
    if (chooseAnswers.empty()) return false;
    ChooseAnswer a = chooseAnswers.front();
    chooseAnswers.pop_front();
    if (a.chosen) {
        chosenColumn_ = a.column;
        if (valuePanelVisible) chosenValue_ = a.value;
    }
    return a.chosen;
}

void ScriptedUi::SetColumnList(const std::vector<std::string>& names) {
    columnList = names;
    chosenColumn_ = names.empty() ? std::string() : names.front();
}

std::optional<std::pair<std::string, std::string>> ScriptedUi::ChooseTwoColumns(
    const std::vector<std::string>& names) {
    twoColumnLists.push_back(names);
    if (twoColumnAnswers.empty()) return std::nullopt;
    auto a = twoColumnAnswers.front();
    twoColumnAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedUi::AskOpenFile(const FileDialogSpec& request) {
    fileDialogs.push_back(request);
    if (openFileAnswers.empty()) return std::nullopt;
    auto a = openFileAnswers.front();
    openFileAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedUi::AskSaveFile(const FileDialogSpec& request) {
    fileDialogs.push_back(request);
    if (saveFileAnswers.empty()) return std::nullopt;
    auto a = saveFileAnswers.front();
    saveFileAnswers.pop_front();
    return a;
}

void ScriptedUi::SetRowCounter(const std::string& text) {
    rowCounter = text;
    rowCounterHistory.push_back(text);
}

std::vector<std::string> ScriptedUi::MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
}

bool ScriptedUi::ChooseExportFormat(ExportChooserRequest& request) {
    exportChoosers.push_back(request);
    if (exportChooserAnswers.empty()) return false;
    const auto answer = exportChooserAnswers.front();
    exportChooserAnswers.pop_front();
    if (!answer) return false;
    request.type = answer->first;
    request.view = answer->second;
    return true;
}

}  // namespace orbelan::test
