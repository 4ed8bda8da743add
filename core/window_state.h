#pragma once
// The main window's state as the commands change it: the command group, the row counter, the
// status bar, the filter box and its button. Every call may do nothing (the command line).
#include <string>
#include <vector>

namespace orbelan {

class WindowState {
  public:
    virtual ~WindowState() = default;
    virtual void SetTableGroupVisible(bool /*visible*/) {}      // Tablou
    virtual void SetRowCounter(const std::string& /*text*/) {}  // Label2
    virtual void SetStatusText(const std::string& /*text*/) {}
    virtual void SetApplicationTitle(const std::string& /*text*/) {}
    // The open table's columns, for the column choosers.
    virtual void SetColumnList(const std::vector<std::string>& /*names*/) {}
    virtual void SetFilterText(const std::string& /*text*/) {}  // FiltruE
    virtual void SetFilterButtonDown(bool /*down*/) {}          // Filtru1
    virtual void Terminate() {}  // end the program after the current handler
};

}  // namespace orbelan
