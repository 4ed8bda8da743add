#pragma once
// The export engine's own windows: the format chooser, the save dialog and the progress window.
// The main window shows them; the command line names the format and the file itself and has
// none (the defaults: nothing chosen, never stopped).
#include <optional>
#include <string>
#include <vector>

#include "core/file_dialog.h"

namespace orbelan {

// What the format chooser shows and what the user chose in it.
struct ExportChooserRequest {
    std::string caption, exportCaption, cancelCaption, selectFormat, viewOnly, exportToFile;
    std::vector<int> types;  // the export types offered, in the chooser's order
    int type = 0;            // in: preselected; out: chosen
    bool view = true;        // in and out: "Numai vizualizare" (else "Export in fisier")
    bool utf8 = false;       // in and out: CSV, tab, text and HTML in UTF-8
};

// The progress window.
struct ExportProgressRequest {
    std::string caption, text;
    int width = 300, height = 80;
    int total = 0;
};

class ExportWindows {
  public:
    virtual ~ExportWindows() = default;
    // Shows the format chooser modally; true when closed with its export button.
    virtual bool ChooseExportFormat(ExportChooserRequest&) { return false; }
    virtual std::optional<std::string> AskSaveFile(const FileDialogRequest&) {
        return std::nullopt;
    }
    virtual void ExportProgressShow(const ExportProgressRequest&) {}
    // Moves the bar; false once the user asked to stop the export.
    virtual bool ExportProgressSet(int) { return true; }
    virtual void ExportProgressHide() {}
};

}  // namespace orbelan
