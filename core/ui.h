#pragma once
// What the commands ask of the windows. The main window implements it with real windows,
// the tests with a scripted double, the command line on the terminal.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orbelan {

enum MsgKind : uint8_t { mkWarning = 0, mkError = 1, mkInformation = 2, mkConfirmation = 3 };

// Button set of Mesaj and the codes it returns.
enum MsgButton : uint16_t { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
constexpr uint16_t mbYesNo = mbYes | mbNo;
enum ModalResult : int { mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// Controls a balloon can point at.
enum class UiControl { Grid, FilterEdit };

// What the export engine's format chooser shows and what the user chose in it.
struct ExportChooserRequest {
    std::string caption, exportCaption, cancelCaption, selectFormat, viewOnly, exportToFile;
    std::vector<int> types;  // the export types offered, in the chooser's order
    int type = 0;            // in: preselected; out: chosen
    bool view = true;        // in and out: "Numai vizualizare" (else "Export in fisier")
};

// The export engine's progress window.
struct ExportProgressRequest {
    std::string caption, text;
    int width = 300, height = 80;
    int total = 0;
};

struct FileDialogSpec {
    std::string title;
    std::string filter;            // "Fisiere DBF|*.DBF"
    std::string defaultExtension;  // "*.dbf"
    std::string initialPath;
    bool mustExist = false;  // only an existing file can be chosen
};

class Ui {
  public:
    virtual ~Ui() = default;

    // ---- dialogs
    virtual int Mesaj(const std::string& title, const std::string& text, uint8_t kind,
                      uint16_t buttons) = 0;
    virtual bool Choose(const std::string& caption) = 0;
    virtual std::string ChosenColumn() const = 0;
    virtual std::string ChosenValue() const = 0;
    virtual void SetValuePanelVisible(bool visible) = 0;
    virtual void SetColumnList(const std::vector<std::string>& names) = 0;  // selects the first
    virtual void ShowProblem(const std::string& text, UiControl control) = 0;
    // The two-column chooser, both lists filled with names: the two different columns chosen,
    // or nothing when the user gave up.
    virtual std::optional<std::pair<std::string, std::string>> ChooseTwoColumns(
        const std::vector<std::string>& names) = 0;
    virtual std::optional<std::string> AskOpenFile(const FileDialogSpec& request) = 0;
    virtual std::optional<std::string> AskSaveFile(const FileDialogSpec& request) = 0;
    // The application's general error report for failures no command catches.
    virtual void ShowError(const std::string& text) = 0;

    // ---- the main window's state
    virtual void SetTableGroupVisible(bool visible) = 0;      // Tablou
    virtual void SetRowCounter(const std::string& text) = 0;  // Label2
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetApplicationTitle(const std::string& text) = 0;
    virtual std::string FilterText() const = 0;  // FiltruE
    virtual void SetFilterText(const std::string& text) = 0;
    virtual bool FilterButtonDown() const = 0;  // Filtru1
    virtual void SetFilterButtonDown(bool down) = 0;
    virtual void Terminate() = 0;  // end the program after the current handler

    // ---- long commands
    virtual void ProcessMessages() = 0;  // throttled in time by the implementation
    virtual void ProgressShow(int maximum) = 0;
    virtual void ProgressSet(int position) = 0;
    virtual void ProgressHide() = 0;
    virtual void SetMainWindowEnabled(bool enabled) = 0;
    virtual void SetBusyCursor(bool busy) = 0;

    // ---- the export engine's windows
    // Shows the format chooser modally; true when closed with its export button.
    virtual bool ChooseExportFormat(ExportChooserRequest& request) = 0;
    virtual void ExportProgressShow(const ExportProgressRequest& request) = 0;
    // Moves the bar; false once the user asked to stop the export.
    virtual bool ExportProgressSet(int position) = 0;
    virtual void ExportProgressHide() = 0;
};

}  // namespace orbelan
