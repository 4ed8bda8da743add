#include "export/export_types.h"

namespace orbelan {

const char* ExportTypeText(TovExportType type) {
    switch (type) {
        case xtHTML:
            return "HTML";
        case xtExcel:
            return "Microsoft Excel";
        case xtXLSX:
            return "Microsoft Excel (.xlsx)";
        case xtPDF:
            return "PDF";
        case xtWord:
            return "Microsoft Word";
        case xtTXT:
            return "Text";
        case xtCSV:
            return "Comma-Separated Text";
        case xtTAB:
            return "Tab-Separated Text";
        case xtRTF:
            return "Rich Text";
        case xtDIF:
            return "Data Interchange Format";
        case xtSYLK:
            return "SYLK Format";
        case xtClipboard:
            return "Clipboard";
    }
    return "";
}

int ExportTypeIcon(TovExportType type) {
    switch (type) {
        case xtRTF:
        case xtPDF:
            return 0;
        case xtCSV:
            return 1;
        case xtHTML:
            return 2;
        case xtTXT:
            return 3;
        case xtWord:
            return 4;
        case xtExcel:
        case xtXLSX:
            return 5;
        case xtTAB:
        case xtDIF:
        case xtSYLK:
            return 6;
        case xtClipboard:
            return 7;
    }
    return 0;
}

bool ExportTypeFromText(const std::string& text, TovExportType& type) {
    for (TovExportType t : kChooserOrder) {
        if (text == ExportTypeText(t)) {
            type = t;
            return true;
        }
    }
    return false;
}

}  // namespace orbelan
