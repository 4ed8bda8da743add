#pragma once
// While a command walks or rewrites the open table: the grid stops following it and, as the
// command asks, the main window is disabled, the bar shown and the hourglass on. However the
// command ends all of it is given back; after a failure a row left unposted is cancelled first
// (unless the command keeps it for the user to correct), so the table can be browsed and closed.
namespace orbelan {

class Workspace;

struct GuardOptions {
    int bar = -1;                  // the progress bar's maximum; -1: no bar
    bool disableWindow = false;    // the main window disabled while the command runs
    bool busyCursor = false;       // the hourglass
    bool keepUnpostedRow = false;  // a row left unposted stays, current, after a failure
    bool freezeGrid = true;        // false for a command that reads the file and not the cursor
    bool stoppable = false;        // the bar comes with "&Renunt"
    const char* name = nullptr;    // the command as the user knows it (its restore point's name)
};

class CommandGuard {
  public:
    explicit CommandGuard(Workspace& ws, GuardOptions options = {});
    ~CommandGuard();
    CommandGuard(const CommandGuard&) = delete;
    CommandGuard& operator=(const CommandGuard&) = delete;

    // Shows the bar once its maximum is known (hidden again at the end).
    void ShowBar(int maximum);
    // Shows "&Renunt" beside the bar once the command turns out long (hidden again at the end).
    void ShowStopButton();

    // The normal end: a failure of the grid to follow the table again is reported.
    void Finish();

  private:
    void Restore(bool report);

    Workspace& ws_;
    GuardOptions options_;
    bool finished_ = false;
};

}  // namespace orbelan
