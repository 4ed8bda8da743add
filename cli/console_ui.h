#pragma once
// The messages port on a terminal: messages go to standard output; questions are answered DA,
// except those of commands that destroy data (guarded), which need --yes or a "da" typed on a
// terminal. The command line has no progress bar and no window to keep up to date.
#include <iosfwd>

#include "core/messages.h"
#include "core/platform.h"

namespace orbelan {

class ConsoleMessages : public Messages {
  public:
    // answers: where a guarded question's answer is read; nullptr when standard input is not a
    // terminal (the question is then answered NU).
    ConsoleMessages(std::ostream& messages, std::istream* answers = nullptr);

    bool assumeYes = false;  // --yes: DA to every question
    bool guarded = false;    // the running command asks before destroying data
    // A guarded question was answered NU: the command changed nothing and exits 2.
    bool Refused() const { return refused_; }

    int Mesaj(const std::string& title, const std::string& text, uint8_t kind,
              uint16_t buttons) override;
    void ShowProblem(const std::string& text, UiControl control) override;
    void ShowError(const std::string& text) override;

  private:
    bool AskTerminal();

    std::ostream& out_;
    std::istream* answers_;
    bool refused_ = false;
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
