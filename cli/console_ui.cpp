#include "cli/console_ui.h"

#include <filesystem>
#include <ostream>

namespace orbelan {

ConsoleUi::ConsoleUi(std::ostream& messages) : out_(messages) {}

int ConsoleUi::Mesaj(const std::string& title, const std::string& text, uint8_t, uint16_t buttons) {
    std::string shown = text;
    for (char& c : shown) {
        if (c == '\r') c = ' ';
    }
    out_ << title << ": " << shown << '\n';
    if ((buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0) return mrCancel;
    if (buttons & mbYes) return mrYes;
    return mrOk;
}

bool ConsoleUi::Choose(const std::string&) {
    return !presetColumn.empty();
}

void ConsoleUi::ShowProblem(const std::string& text, UiControl) {
    out_ << "Problema ! " << text << '\n';
}

void ConsoleUi::ShowError(const std::string& text) {
    out_ << text << '\n';
}

std::string ConsolePlatform::TempFolder() {
    std::string dir = std::filesystem::temp_directory_path().string();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace orbelan
