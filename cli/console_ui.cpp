#include "cli/console_ui.h"
#include "engine/latin_letters.h"
#include "engine/trim.h"
#include "engine/utf8_path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <istream>
#include <ostream>

namespace orbelan {

ConsoleMessages::ConsoleMessages(std::ostream& messages, std::istream* answers)
    : out_(messages), answers_(answers) {}

int ConsoleMessages::Mesaj(const std::string& title, const std::string& text, uint8_t,
                           uint16_t buttons) {
    std::string shown = text;
    for (char& c : shown) {
        if (c == '\r') c = ' ';
    }
    out_ << title << ": " << shown << '\n';
    if ((buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0) return mrCancel;
    if (!(buttons & mbYes)) return mrOk;
    if (assumeYes || (!guarded && !(buttons & mbDefaultNo))) return mrYes;
    if (answers_ != nullptr && AskTerminal()) return mrYes;
    if (answers_ == nullptr) out_ << "NU (fara --yes si fara terminal)\n";
    out_.flush();
    refused_ = true;
    return mrNo;
}

bool ConsoleMessages::AskTerminal() {
    out_ << "Raspundeti da sau nu: " << std::flush;
    std::string answer;
    if (!std::getline(*answers_, answer)) return false;
    answer = latin::AsciiLower(Trim(answer));
    return answer == "d" || answer == "da" || answer == "y" || answer == "yes";
}

void ConsoleMessages::ShowProblem(const std::string& text, UiControl) {
    out_ << "Problema ! " << text << '\n';
}

void ConsoleMessages::ShowError(const std::string& text) {
    out_ << text << '\n';
}

std::string ConsolePlatform::TempFolder() {
    std::string dir = Utf8FromPath(std::filesystem::temp_directory_path());
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir;
}

}  // namespace orbelan
