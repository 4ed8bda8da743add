// The .xlsx reader: the ZIP container through minizip, its XML parts through expat. The sheet
// is parsed as it is inflated, so only the rows not yet handed out are held.
#include <expat.h>
#include <minizip/unzip.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/date_util.h"
#include "engine/errors.h"
#include "importing/import_source.h"

namespace orbelan {
namespace {

std::string_view LocalName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(name);
}

const char* Attr(const char** atts, std::string_view name) {
    for (int i = 0; atts[i] != nullptr; i += 2)
        if (LocalName(atts[i]) == name) return atts[i + 1];
    return nullptr;
}

// Column index (0-based) and row number of a reference such as "AB12"; -1 when not one.
bool ParseCellRef(const char* ref, int& column, int& row) {
    column = 0;
    int letters = 0;
    const char* p = ref;
    for (; *p >= 'A' && *p <= 'Z'; ++p, ++letters) column = column * 26 + (*p - 'A' + 1);
    if (letters == 0 || letters > 3) return false;
    column -= 1;
    row = 0;
    const auto r = std::from_chars(p, p + std::strlen(p), row);
    return r.ec == std::errc() && *r.ptr == '\0';
}

// One expat parser over callbacks given as functions.
class XmlParser {
  public:
    using Start = std::function<void(std::string_view, const char**)>;
    using End = std::function<void(std::string_view)>;
    using Text = std::function<void(const char*, int)>;
    XmlParser(Start start, End end, Text text)
        : parser_(XML_ParserCreate(nullptr)),
          start_(std::move(start)),
          end_(std::move(end)),
          text_(std::move(text)) {
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(
            parser_,
            [](void* self, const char* name, const char** atts) {
                static_cast<XmlParser*>(self)->start_(LocalName(name), atts);
            },
            [](void* self, const char* name) {
                static_cast<XmlParser*>(self)->end_(LocalName(name));
            });
        XML_SetCharacterDataHandler(parser_, [](void* self, const char* s, int len) {
            auto* p = static_cast<XmlParser*>(self);
            if (p->text_) p->text_(s, len);
        });
    }
    ~XmlParser() { XML_ParserFree(parser_); }
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    // False with a message for XML that is not well formed.
    bool Feed(const char* data, size_t n, bool last, std::string& error) {
        if (XML_Parse(parser_, data, static_cast<int>(n), last ? 1 : 0) == XML_STATUS_OK)
            return true;
        error = std::string(XML_ErrorString(XML_GetErrorCode(parser_))) + ", linia " +
                std::to_string(XML_GetCurrentLineNumber(parser_));
        return false;
    }

  private:
    XML_Parser parser_;
    Start start_;
    End end_;
    Text text_;
};

class Zip {
  public:
    explicit Zip(const std::string& path) : path_(path), zip_(unzOpen64(path.c_str())) {
        if (zip_ == nullptr)
            throw DbfError(
                ErrorKind::Malformed,
                "Fisierul " + path + " nu este un registru .xlsx (arhiva lui nu poate fi citita).");
    }
    ~Zip() {
        if (open_) unzCloseCurrentFile(zip_);
        unzClose(zip_);
    }
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;

    bool Has(const std::string& name) { return unzLocateFile(zip_, name.c_str(), 2) == UNZ_OK; }
    void Open(const std::string& name) {
        Close();
        if (unzLocateFile(zip_, name.c_str(), 2) != UNZ_OK || unzOpenCurrentFile(zip_) != UNZ_OK)
            throw Damaged(name);
        open_ = true;
        part_ = name;
    }
    // Up to n bytes of the open part; 0 at its end.
    size_t Read(char* data, size_t n) {
        const int got = unzReadCurrentFile(zip_, data, static_cast<unsigned>(n));
        if (got < 0) throw Damaged(part_);
        return static_cast<size_t>(got);
    }
    void Close() {
        if (open_) {
            const int rc = unzCloseCurrentFile(zip_);
            open_ = false;
            if (rc == UNZ_CRCERROR) throw Damaged(part_);
        }
    }
    // A whole part parsed.
    void Parse(const std::string& name, XmlParser& parser) {
        Open(name);
        std::vector<char> buf(1 << 16);
        std::string error;
        for (;;) {
            const size_t n = Read(buf.data(), buf.size());
            if (!parser.Feed(buf.data(), n, n == 0, error)) throw Damaged(name, error);
            if (n == 0) break;
        }
        Close();
    }
    DbfError Damaged(const std::string& part, const std::string& why = {}) const {
        return DbfError(ErrorKind::Malformed, "Registrul " + path_ + " este deteriorat: partea " +
                                                  part + " nu poate fi citita" +
                                                  (why.empty() ? "" : " (" + why + ")") + ".");
    }

  private:
    std::string path_;
    unzFile zip_;
    bool open_ = false;
    std::string part_;
};

// Built-in number formats that show dates.
bool BuiltInDateFormat(int id) {
    return (id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
}

// A custom format code shows a date when it has d, m or y outside quotes and brackets, and is not
// a time alone ("h:mm" has an m too).
bool DateFormatCode(const std::string& code) {
    bool quoted = false, bracket = false, date = false, hour = false;
    for (char ch : code) {
        if (ch == '"') quoted = !quoted;
        if (quoted) continue;
        if (ch == '[') bracket = true;
        if (ch == ']') bracket = false;
        if (bracket) continue;
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (c == 'd' || c == 'y') date = true;
        if (c == 'h' || c == 's') hour = true;
        if (c == 'm' && !hour) date = true;
    }
    return date;
}

class XlsxSource : public ImportSource {
  public:
    XlsxSource(const std::string& path, const SourceOptions& options) : zip_(path) {
        kind = SourceKind::Xlsx;
        if (!zip_.Has("xl/workbook.xml"))
            throw DbfError(
                ErrorKind::Malformed,
                "Fisierul " + path + " nu este un registru .xlsx (nu are xl/workbook.xml).");
        ReadWorkbook(path, options);
        if (zip_.Has("xl/sharedStrings.xml")) ReadSharedStrings();
        if (zip_.Has("xl/styles.xml")) ReadStyles();
        Rewind();
    }

    void Rewind() override {
        rows_.clear();
        parser_.reset();
        zip_.Open(sheetPart_);
        done_ = false;
        nextRow_ = 0;
        rowNumber_ = 0;
        parser_ = std::make_unique<XmlParser>(
            [this](std::string_view n, const char** a) { OnStart(n, a); },
            [this](std::string_view n) { OnEnd(n); },
            [this](const char* s, int len) {
                if (inValue_) value_.append(s, static_cast<size_t>(len));
            });
    }

    int RowNumber() const override { return rowNumber_; }

    bool Next(std::vector<Cell>& row) override {
        std::vector<char> buf;
        while (rows_.empty() && !done_) {
            buf.resize(1 << 16);
            const size_t n = zip_.Read(buf.data(), buf.size());
            std::string error;
            if (!parser_->Feed(buf.data(), n, n == 0, error)) throw zip_.Damaged(sheetPart_, error);
            if (n == 0) {
                zip_.Close();
                done_ = true;
            }
            if (failure_) throw *failure_;
        }
        if (rows_.empty()) return false;
        rowNumber_ = rows_.front().first;
        row = std::move(rows_.front().second);
        rows_.pop_front();
        return true;
    }

  private:
    void ReadWorkbook(const std::string& path, const SourceOptions& options) {
        std::vector<std::string> ids;
        XmlParser wb(
            [&](std::string_view n, const char** a) {
                if (n == "sheet") {
                    const char* name = Attr(a, "name");
                    const char* id = Attr(a, "id");
                    sheetNames.push_back(name ? name : "");
                    ids.push_back(id ? id : "");
                } else if (n == "workbookPr") {
                    const char* d = Attr(a, "date1904");
                    date1904_ = d && (std::strcmp(d, "1") == 0 || std::strcmp(d, "true") == 0);
                }
            },
            [](std::string_view) {}, nullptr);
        zip_.Parse("xl/workbook.xml", wb);
        if (sheetNames.empty())
            throw DbfError(ErrorKind::Malformed, "Registrul " + path + " nu are nicio foaie.");
        sheetIndex = ChooseSheet(sheetNames, options.sheet, path);
        std::map<std::string, std::string> targets;
        XmlParser rels(
            [&](std::string_view n, const char** a) {
                if (n != "Relationship") return;
                const char* id = Attr(a, "Id");
                const char* target = Attr(a, "Target");
                if (id && target) targets[id] = target;
            },
            [](std::string_view) {}, nullptr);
        zip_.Parse("xl/_rels/workbook.xml.rels", rels);
        const auto it = targets.find(ids[static_cast<size_t>(sheetIndex)]);
        if (it == targets.end())
            throw zip_.Damaged(
                "xl/_rels/workbook.xml.rels",
                "foaia " + sheetNames[static_cast<size_t>(sheetIndex)] + " nu are parte");
        sheetPart_ = it->second.rfind('/', 0) == 0 ? it->second.substr(1) : "xl/" + it->second;
    }

    void ReadSharedStrings() {
        bool inT = false, inPhonetic = false;
        std::string current;
        XmlParser sst(
            [&](std::string_view n, const char**) {
                if (n == "si") current.clear();
                if (n == "t" && !inPhonetic) inT = true;
                if (n == "rPh") inPhonetic = true;
            },
            [&](std::string_view n) {
                if (n == "t") inT = false;
                if (n == "rPh") inPhonetic = false;
                if (n == "si") strings_.push_back(current);
            },
            [&](const char* s, int len) {
                if (inT) current.append(s, static_cast<size_t>(len));
            });
        zip_.Parse("xl/sharedStrings.xml", sst);
    }

    void ReadStyles() {
        std::map<int, bool> customDate;
        bool inXfs = false;
        XmlParser styles(
            [&](std::string_view n, const char** a) {
                if (n == "numFmt") {
                    const char* id = Attr(a, "numFmtId");
                    const char* code = Attr(a, "formatCode");
                    if (id && code) customDate[std::atoi(id)] = DateFormatCode(code);
                } else if (n == "cellXfs") {
                    inXfs = true;
                } else if (n == "xf" && inXfs) {
                    const char* id = Attr(a, "numFmtId");
                    const int f = id ? std::atoi(id) : 0;
                    const auto c = customDate.find(f);
                    dateStyles_.push_back(c != customDate.end() ? c->second : BuiltInDateFormat(f));
                }
            },
            [&](std::string_view n) {
                if (n == "cellXfs") inXfs = false;
            },
            nullptr);
        zip_.Parse("xl/styles.xml", styles);
    }

    void OnStart(std::string_view n, const char** a) {
        if (n == "row") {
            const char* r = Attr(a, "r");
            current_ = {r ? std::atoi(r) : nextRow_ + 1, {}};
            nextRow_ = current_.first;
            column_ = 0;
        } else if (n == "c") {
            const char* ref = Attr(a, "r");
            int row = 0;
            if (ref && !ParseCellRef(ref, column_, row)) column_ = -1;
            const char* t = Attr(a, "t");
            type_ = t ? t : "n";
            const char* s = Attr(a, "s");
            style_ = s ? std::atoi(s) : 0;
            value_.clear();
        } else if (n == "v" || (n == "t" && type_ == "inlineStr")) {
            inValue_ = true;
        }
    }

    void OnEnd(std::string_view n) {
        if (n == "v" || n == "t") {
            inValue_ = false;
        } else if (n == "c") {
            if (column_ >= 0 && column_ < 16384 && !failure_) {
                auto& cells = current_.second;
                if (static_cast<int>(cells.size()) <= column_)
                    cells.resize(static_cast<size_t>(column_) + 1);
                try {
                    MakeCell(cells[static_cast<size_t>(column_)]);
                } catch (const DbfError& e) {
                    failure_ = e;
                }
            }
            ++column_;
        } else if (n == "row") {
            rows_.push_back(std::move(current_));
        }
    }

    DbfError BadCell(const std::string& why) const {
        return DbfError(ErrorKind::Malformed, "Celula " + SheetColumnName(column_) +
                                                  std::to_string(current_.first) + " din foaia " +
                                                  sheetNames[static_cast<size_t>(sheetIndex)] +
                                                  " " + why + ".");
    }

    void MakeCell(Cell& cell) {
        cell = Cell{};
        if (type_ == "s") {
            size_t i = 0;
            const auto r = std::from_chars(value_.data(), value_.data() + value_.size(), i);
            if (r.ec != std::errc() || i >= strings_.size())
                throw BadCell("trimite la un text care lipseste (" + value_ + ")");
            if (!strings_[i].empty()) cell = {CellKind::Text, strings_[i]};
        } else if (type_ == "str" || type_ == "inlineStr" || type_ == "e") {
            if (!value_.empty()) cell = {CellKind::Text, value_};
        } else if (type_ == "b") {
            if (!value_.empty()) cell = {CellKind::Logical, value_ == "1" ? "T" : "F"};
        } else if (type_ == "d") {
            int y = 0, m = 0, d = 0;
            if (std::sscanf(value_.c_str(), "%d-%d-%d", &y, &m, &d) != 3)
                throw BadCell("are o data gresita (" + value_ + ")");
            cell.kind = CellKind::Date;
            cell.day = DayNumber(y, m, d);
        } else if (!value_.empty()) {
            double v = 0;
            const auto r = std::from_chars(value_.data(), value_.data() + value_.size(), v);
            if (r.ec != std::errc() || r.ptr != value_.data() + value_.size())
                throw BadCell("are valoarea " + value_ + ", care nu este un numar");
            if (style_ >= 0 && style_ < static_cast<int>(dateStyles_.size()) &&
                dateStyles_[static_cast<size_t>(style_)]) {
                cell.kind = CellKind::Date;
                cell.day = DayFromSerial(v, date1904_, &cell.ms);
            } else {
                cell.kind = CellKind::Number;
                cell.text =
                    value_.find_first_of("eE") == std::string::npos ? value_ : PlainNumberText(v);
            }
        }
    }

    Zip zip_;
    std::string sheetPart_;
    bool date1904_ = false;
    std::vector<std::string> strings_;
    std::vector<bool> dateStyles_;
    std::unique_ptr<XmlParser> parser_;
    std::deque<std::pair<int, std::vector<Cell>>> rows_;
    std::pair<int, std::vector<Cell>> current_;
    std::optional<DbfError> failure_;
    bool done_ = false;
    int nextRow_ = 0;
    int rowNumber_ = 0;
    int column_ = 0;
    std::string type_;
    int style_ = 0;
    bool inValue_ = false;
    std::string value_;
};

}  // namespace

std::unique_ptr<ImportSource> OpenXlsxSource(const std::string& path,
                                             const SourceOptions& options) {
    return std::make_unique<XlsxSource>(path, options);
}

}  // namespace orbelan
