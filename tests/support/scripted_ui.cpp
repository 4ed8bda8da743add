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

void ScriptedUi::SetColumnList(const std::vector<std::string>& names) {
    columnList = names;
}

std::optional<std::string> ScriptedUi::AskSaveFile(const FileDialogRequest& request) {
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
