#pragma once
// The progress port of long commands: the bar, the window kept responsive, the main window
// disabled while the command runs. Every call may do nothing (the command line).
namespace orbelan {

class Progress {
  public:
    virtual ~Progress() = default;
    virtual void ProcessMessages() {}  // throttled in time by the implementation
    virtual void ProgressShow(int /*maximum*/) {}
    virtual void ProgressSet(int /*position*/) {}
    virtual void ProgressHide() {}
    virtual void SetMainWindowEnabled(bool /*enabled*/) {}
    virtual void SetBusyCursor(bool /*busy*/) {}
    // The "&Renunt" button beside the bar, for a command that can stop halfway; shown again it
    // forgets an earlier click.
    virtual void SetStopButtonVisible(bool /*visible*/) {}
    virtual bool StopRequested() { return false; }
};

}  // namespace orbelan
