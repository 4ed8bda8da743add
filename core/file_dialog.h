#pragma once
// What a file dialog is asked to show.
#include <string>

namespace orbelan {

struct FileDialogRequest {
    std::string title;
    std::string filter;            // "Fisiere DBF|*.DBF"
    std::string defaultExtension;  // "*.dbf"
    std::string initialPath;
    bool mustExist = false;  // only an existing file can be chosen
    std::string otherFilter =
        {};  // a second choice of file types, "Fisiere CSV|*.csv"; empty: none
};

}  // namespace orbelan
