#pragma once
// The messages and questions port: what a command tells the user, and asks mid-way (an
// overwrite, values that would be lost). The window shows its message window; the command line
// prints and reads a terminal; tests answer from a queue.
#include <cstdint>
#include <string>

namespace orbelan {

enum MsgKind : uint8_t { mkWarning = 0, mkError = 1, mkInformation = 2, mkConfirmation = 3 };

// Button set of Mesaj and the codes it returns.
enum MsgButton : uint16_t { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
// With mbYesNo: NU is the answer given by Enter, and the command line needs --yes (or a "da"
// typed on a terminal) for DA, as for a command that destroys data.
constexpr uint16_t mbDefaultNo = 16;
constexpr uint16_t mbYesNo = mbYes | mbNo;
enum ModalResult : int { mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// Controls a balloon can point at.
enum class UiControl { Grid, FilterEdit };

class Messages {
  public:
    virtual ~Messages() = default;
    virtual int Mesaj(const std::string& title, const std::string& text, uint8_t kind,
                      uint16_t buttons) = 0;
    // A short hint pointing at a control (the balloon).
    virtual void ShowProblem(const std::string& text, UiControl control) = 0;
    // The application's general error report for failures no command catches.
    virtual void ShowError(const std::string& text) = 0;
};

}  // namespace orbelan
