// The .xls (BIFF) reader through freexl, which reads the whole sheet when it is selected.
#include <freexl.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/date_util.h"
#include "engine/errors.h"
#include "importing/import_source.h"

namespace orbelan {
namespace {

class XlsSource : public ImportSource {
  public:
    XlsSource(const std::string& path, const SourceOptions& options) : path_(path) {
        kind = SourceKind::Xls;
        if (freexl_open(path.c_str(), &handle_) != FREEXL_OK) {
            handle_ = nullptr;
            throw DbfError(ErrorKind::Malformed,
                           "Fisierul " + path + " nu este un registru .xls citibil.");
        }
        unsigned int count = 0;
        if (freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0)
            throw DbfError(ErrorKind::Malformed, "Registrul " + path + " nu are nicio foaie.");
        for (unsigned short i = 0; i < count; ++i) {
            const char* name = nullptr;
            freexl_get_worksheet_name(handle_, i, &name);
            sheetNames.push_back(name ? name : std::to_string(i + 1));
        }
        sheetIndex = ChooseSheet(sheetNames, options.sheet, path);
        unsigned int date = 0;
        freexl_get_info(handle_, FREEXL_BIFF_DATEMODE, &date);
        if (freexl_select_active_worksheet(handle_, static_cast<unsigned short>(sheetIndex)) !=
                FREEXL_OK ||
            freexl_worksheet_dimensions(handle_, &rows_, &columns_) != FREEXL_OK)
            throw DbfError(ErrorKind::Malformed, "Registrul " + path + " este deteriorat: foaia " +
                                                     sheetNames[static_cast<size_t>(sheetIndex)] +
                                                     " nu poate fi citita.");
    }
    ~XlsSource() override {
        if (handle_) freexl_close(handle_);
    }
    XlsSource(const XlsSource&) = delete;
    XlsSource& operator=(const XlsSource&) = delete;

    void Rewind() override { next_ = 0; }
    int RowNumber() const override { return static_cast<int>(next_); }

    bool Next(std::vector<Cell>& row) override {
        if (next_ >= rows_) return false;
        row.assign(columns_, Cell{});
        for (unsigned short c = 0; c < columns_; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(handle_, next_, c, &v) != FREEXL_OK)
                throw DbfError(ErrorKind::Malformed,
                               "Registrul " + path_ + " este deteriorat: celula " +
                                   SheetColumnName(c) + std::to_string(next_ + 1) +
                                   " nu poate fi citita.");
            Cell& cell = row[c];
            switch (v.type) {
                case FREEXL_CELL_INT:
                    cell = {CellKind::Number, std::to_string(v.value.int_value)};
                    break;
                case FREEXL_CELL_DOUBLE:
                    cell = {CellKind::Number, PlainNumberText(v.value.double_value)};
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_TIME:
                    if (v.value.text_value && *v.value.text_value)
                        cell = {CellKind::Text, v.value.text_value};
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME: {
                    int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
                    const int n = std::sscanf(v.value.text_value, "%d-%d-%d %d:%d:%d", &y, &m, &d,
                                              &hh, &mm, &ss);
                    if (n < 3) {
                        cell = {CellKind::Text, v.value.text_value};
                        break;
                    }
                    cell.kind = CellKind::Date;
                    cell.day = DayNumber(y, m, d);
                    cell.ms = ((hh * 60 + mm) * 60 + ss) * 1000LL;
                    break;
                }
                default:
                    break;
            }
        }
        ++next_;
        return true;
    }

  private:
    std::string path_;
    const void* handle_ = nullptr;
    unsigned int rows_ = 0;
    unsigned short columns_ = 0;
    unsigned int next_ = 0;
};

}  // namespace

std::unique_ptr<ImportSource> OpenXlsSource(const std::string& path, const SourceOptions& options) {
    return std::make_unique<XlsSource>(path, options);
}

}  // namespace orbelan
