#include "cli/console_ui.h"
#include "engine/utf8_path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <istream>
#include <ostream>

namespace orbelan {

ConsoleUi::ConsoleUi(std::ostream& messages, std::istream* answers)
    : out_(messages), answers_(answers) {}

int ConsoleUi::Mesaj(const std::string& title, const std::string& text, uint8_t, uint16_t buttons) {
    std::string shown = text;
    for (char& c : shown) {
        if (c == '\r') c = ' ';
    }
    out_ << title << ": " << shown << '\n';
    if ((buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0) return mrCancel;
    if (!(buttons & mbYes)) return mrOk;
    if (assumeYes || !guarded) return mrYes;
    if (answers_ != nullptr && AskTerminal()) return mrYes;
    if (answers_ == nullptr) out_ << "NU (fara --yes si fara terminal)\n";
    out_.flush();
    refused_ = true;
    return mrNo;
}

bool ConsoleUi::AskTerminal() {
    out_ << "Raspundeti da sau nu: " << std::flush;
    std::string answer;
    if (!std::getline(*answers_, answer)) return false;
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.back())))
        answer.pop_back();
    return answer == "d" || answer == "da" || answer == "y" || answer == "yes";
}

bool ConsoleUi::Choose(const std::string&) {
    return !presetColumn.empty();
}

std::optional<std::pair<std::string, std::string>> ConsoleUi::ChooseTwoColumns(
    const std::vector<std::string>&) {
    if (presetColumn.empty() || presetSecondColumn.empty()) return std::nullopt;
    return std::make_pair(presetColumn, presetSecondColumn);
}

void ConsoleUi::ShowProblem(const std::string& text, UiControl) {
    out_ << "Problema ! " << text << '\n';
}

void ConsoleUi::ShowError(const std::string& text) {
    out_ << text << '\n';
}

std::string ConsolePlatform::TempFolder() {
    std::string dir = Utf8FromPath(std::filesystem::temp_directory_path());
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir;
}

}  // namespace orbelan
