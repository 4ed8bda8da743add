// The .xlsx reader: the ZIP container through minizip, its XML parts through expat. The sheet
// is parsed as it is inflated (xlsx_sheet.h), so only the rows not yet handed out are held.
#include <expat.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_util.h"
#include "engine/date_util.h"
#include "engine/errors.h"
#include "engine/trim.h"
#include "engine/utf8.h"
#include "importing/import_source.h"
#include "importing/xlsx_sheet.h"

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
    // Ends the parse from inside a callback (an exception must not cross expat).
    void Stop() { XML_StopParser(parser_, XML_FALSE); }
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

// A whole number attribute; -1 when it is none.
int Number(const char* text) {
    int v = -1;
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, v);
    return r.ec == std::errc() && r.ptr == end && v >= 0 ? v : -1;
}

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
        context_.sheetName = sheetNames[static_cast<size_t>(sheetIndex)];
        Rewind();
    }

    void Rewind() override {
        zip_.Open(sheetPart_);
        reader_ = std::make_unique<SheetXmlReader>(context_);
        done_ = false;
        rowNumber_ = 0;
    }

    int RowNumber() const override { return rowNumber_; }

    bool Next(std::vector<Cell>& row) override {
        while (!reader_->Pop(row, rowNumber_)) {
            if (done_) return false;
            buf_.resize(1 << 16);
            const size_t n = zip_.Read(buf_.data(), buf_.size());
            std::string error;
            if (!reader_->Feed(buf_.data(), n, n == 0, error))
                throw zip_.Damaged(sheetPart_, error);
            if (n == 0) {
                zip_.Close();
                done_ = true;
            }
        }
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
                    context_.date1904 =
                        d && (std::strcmp(d, "1") == 0 || std::strcmp(d, "true") == 0);
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
                if (n == "si") context_.strings.push_back(DecodeXlsxEscapes(current));
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
                    if (id && code) customDate[Number(id)] = DateFormatCode(code);
                } else if (n == "cellXfs") {
                    inXfs = true;
                } else if (n == "xf" && inXfs) {
                    const char* id = Attr(a, "numFmtId");
                    const int f = id ? Number(id) : 0;
                    const auto c = customDate.find(f);
                    context_.dateStyles.push_back(c != customDate.end() ? c->second
                                                                        : BuiltInDateFormat(f));
                }
            },
            [&](std::string_view n) {
                if (n == "cellXfs") inXfs = false;
            },
            nullptr);
        zip_.Parse("xl/styles.xml", styles);
    }

    Zip zip_;
    std::string sheetPart_;
    SheetContext context_;
    std::unique_ptr<SheetXmlReader> reader_;
    std::vector<char> buf_;
    bool done_ = false;
    int rowNumber_ = 0;
};

}  // namespace

std::unique_ptr<ImportSource> OpenXlsxSource(const std::string& path,
                                             const SourceOptions& options) {
    return std::make_unique<XlsxSource>(path, options);
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The column (0-based) and row of a reference such as "AB12"; false when it is none or names a
// place outside the sheet.
bool ParseCellRef(std::string_view ref, int& column, int& row) {
    size_t i = 0;
    column = 0;
    for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z'; ++i) {
        if (i == 3) return false;
        column = column * 26 + (ref[i] - 'A' + 1);
    }
    if (i == 0 || column > kSheetColumns) return false;
    column -= 1;
    const auto r = std::from_chars(ref.data() + i, ref.data() + ref.size(), row);
    return r.ec == std::errc() && r.ptr == ref.data() + ref.size() && row >= 1 && row <= kSheetRows;
}

bool ParseRowNumber(std::string_view text, int& row) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), row);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && row >= 1 &&
           row <= kSheetRows;
}

// "yyyy-mm-dd", then optionally "Thh:mm", ":ss", ".fff" and "Z": an ISO 8601 date cell.
bool ParseIsoDateTime(std::string_view s, int& day, int64_t& ms) {
    const auto digits = [&](size_t from, size_t count, int& v) {
        if (from + count > s.size()) return false;
        v = 0;
        for (size_t i = from; i < from + count; ++i) {
            if (!IsDigit(s[i])) return false;
            v = v * 10 + (s[i] - '0');
        }
        return true;
    };
    int y = 0, m = 0, d = 0;
    if (!digits(0, 4, y) || s.size() < 10 || s[4] != '-' || !digits(5, 2, m) || s[7] != '-' ||
        !digits(8, 2, d) || !IsValidDate(y, m, d))
        return false;
    day = DayNumber(y, m, d);
    ms = 0;
    size_t i = 10;
    if (i < s.size() && s[i] == 'T') {
        int hh = 0, mm = 0, ss = 0;
        if (!digits(i + 1, 2, hh) || i + 3 >= s.size() || s[i + 3] != ':' || !digits(i + 4, 2, mm))
            return false;
        i += 6;
        if (i < s.size() && s[i] == ':') {
            if (!digits(i + 1, 2, ss)) return false;
            i += 3;
            if (i < s.size() && s[i] == '.') {
                const size_t first = ++i;
                int64_t fraction = 0, scale = 1000;
                for (; i < s.size() && IsDigit(s[i]); ++i)
                    if (scale > 1) fraction += (s[i] - '0') * (scale /= 10);
                if (i == first) return false;
                ms = fraction;
            }
        }
        if (hh > 23 || mm > 59 || ss > 59) return false;
        ms += ((hh * 60 + mm) * 60 + ss) * 1000LL;
    }
    if (i < s.size() && s[i] == 'Z') ++i;
    return i == s.size();
}

// A number as written, when it is a plain decimal with no leading zero ("-12.5").
bool PlainDecimal(std::string_view s) {
    size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
    const size_t first = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    if (i == first || (s[first] == '0' && i - first > 1)) return false;
    if (i == s.size()) return true;
    if (s[i] != '.') return false;
    const size_t point = ++i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    return i > point && i == s.size();
}

// A cell's t attribute; anything unknown reads as a number, as no t does.
enum class Type { Number, Shared, Str, Inline, Error, Bool, Date };

Type TypeOf(const char* t) {
    if (t == nullptr) return Type::Number;
    const std::string_view v(t);
    return v == "s"           ? Type::Shared
           : v == "str"       ? Type::Str
           : v == "inlineStr" ? Type::Inline
           : v == "e"         ? Type::Error
           : v == "b"         ? Type::Bool
           : v == "d"         ? Type::Date
                              : Type::Number;
}

}  // namespace

struct SheetXmlReader::State {
    explicit State(const SheetContext& c)
        : context(c),
          parser([this](std::string_view n, const char** a) { Start(n, a); },
                 [this](std::string_view n) { End(n); },
                 [this](const char* s, int len) {
                     if (inValue) value.append(s, static_cast<size_t>(len));
                 }) {}

    // Element names told apart by their length and letters: this runs for every element.
    static char One(std::string_view n) { return n.size() == 1 ? n[0] : '\0'; }

    void Start(std::string_view n, const char** a) {
        if (failure) return;
        try {
            const char one = One(n);
            if (one == 'c') {
                StartCell(a);
            } else if (inCell &&
                       (one == 'v' || (one == 't' && type == Type::Inline && !phonetic))) {
                inValue = true;
            } else if (n == "row") {
                StartRow(a);
            } else if (n == "rPh") {
                phonetic = true;
            }
        } catch (const DbfError& e) {
            failure = e;
            parser.Stop();
        }
    }

    void End(std::string_view n) {
        if (failure) return;
        try {
            const char one = One(n);
            if (one == 'v' || one == 't') {
                inValue = false;
            } else if (one == 'c') {
                if (inCell) EndCell();
            } else if (n == "row") {
                if (inRow) EndRow();
            } else if (n == "rPh") {
                phonetic = false;
            }
        } catch (const DbfError& e) {
            failure = e;
            parser.Stop();
        }
    }

    void StartRow(const char** a) {
        if (inRow) throw Damaged("un rand incepe in alt rand");
        const char* r = Attr(a, "r");
        if (r != nullptr) {
            if (!ParseRowNumber(r, rowNumber))
                throw Damaged(std::string("un rand are numarul ") + r + ", nu unul intre 1 si " +
                              std::to_string(kSheetRows));
        } else {
            if (rowNumber >= kSheetRows)
                throw Damaged("are mai mult de " + std::to_string(kSheetRows) + " randuri");
            ++rowNumber;
        }
        inRow = true;
        column = -1;
    }

    void StartCell(const char** a) {
        if (!inRow || inCell) throw Damaged("o celula nu sta intr-un rand");
        const char* ref = Attr(a, "r");
        if (ref != nullptr) {
            int row = 0;
            if (!ParseCellRef(ref, column, row))
                throw Damaged(std::string("randul ") + std::to_string(rowNumber) +
                              " are o celula cu referinta \"" + ref +
                              "\", care nu poate fi citita");
        } else if (++column >= kSheetColumns) {
            throw Damaged("randul " + std::to_string(rowNumber) + " are mai mult de " +
                          std::to_string(kSheetColumns) + " de celule");
        }
        const char* t = Attr(a, "t");
        type = TypeOf(t);
        const char* s = Attr(a, "s");
        style = s ? Number(s) : 0;
        value.clear();
        inCell = true;
    }

    void EndCell() {
        inCell = inValue = false;
        // Cells come in column order: each is appended. One out of order (or repeated) makes
        // the row look its cells up by column from then on.
        if (!lookup && (cells.empty() || column > cells.back().first)) {
            cells.emplace_back(column, Cell{});
            MakeCell(cells.back().second);
            return;
        }
        if (!lookup) {
            if (slot.empty()) slot.assign(kSheetColumns, -1);
            for (size_t i = 0; i < cells.size(); ++i)
                slot[static_cast<size_t>(cells[i].first)] = static_cast<int>(i);
            lookup = true;
        }
        int& at = slot[static_cast<size_t>(column)];
        if (at < 0) {
            at = static_cast<int>(cells.size());
            cells.emplace_back(column, Cell{});
        }
        MakeCell(cells[static_cast<size_t>(at)].second);
    }

    void EndRow() {
        inRow = false;
        if (lookup) {
            for (const auto& c : cells) slot[static_cast<size_t>(c.first)] = -1;
            std::sort(cells.begin(), cells.end(),
                      [](const auto& x, const auto& y) { return x.first < y.first; });
            lookup = false;
        }
        std::erase_if(cells, [this](const std::pair<int, Cell>& c) {
            return c.second.kind == CellKind::Empty || (width >= 0 && c.first >= width);
        });
        if (cells.empty()) return;
        if (width < 0) {
            const int last = cells.back().first;
            if (last >= kMaxSourceColumns) {
                column = last;
                throw BadCell("face capul de tabel lat de " + std::to_string(last + 1) +
                              " coloane; un tabel tine cel mult " +
                              std::to_string(kMaxSourceColumns) + " de campuri");
            }
            width = last + 1;
        }
        ready.emplace_back(rowNumber, std::move(cells));
        cells.clear();
        if (!spare.empty()) {
            cells.swap(spare.back());
            spare.pop_back();
        }
    }

    DbfError Damaged(const std::string& why) const {
        return DbfError(ErrorKind::Malformed,
                        "Foaia " + context.sheetName + " este deteriorata: " + why + ".");
    }

    DbfError BadCell(const std::string& why) const {
        return DbfError(ErrorKind::Malformed, "Celula " + SheetColumnName(column) +
                                                  std::to_string(rowNumber) + " din foaia " +
                                                  context.sheetName + " " + why + ".");
    }

    void MakeCell(Cell& cell) {
        cell = Cell{};
        // Values other than text lose the blanks some writers put around them.
        if (type != Type::Str && type != Type::Inline && type != Type::Error) {
            value = std::string(Trim(value));
        }
        if (type == Type::Shared) {
            size_t i = 0;
            const auto r = std::from_chars(value.data(), value.data() + value.size(), i);
            if (r.ec != std::errc() || r.ptr != value.data() + value.size() ||
                i >= context.strings.size())
                throw BadCell("trimite la un text care lipseste (" + value + ")");
            if (!context.strings[i].empty()) cell = {CellKind::Text, context.strings[i]};
        } else if (type == Type::Str || type == Type::Inline) {
            if (!value.empty()) cell = {CellKind::Text, DecodeXlsxEscapes(value)};
        } else if (type == Type::Error) {
            if (!value.empty()) cell = {CellKind::Text, value};
        } else if (type == Type::Bool) {
            if (value == "1" || value == "true")
                cell = {CellKind::Logical, "T"};
            else if (value == "0" || value == "false")
                cell = {CellKind::Logical, "F"};
            else if (!value.empty())
                throw BadCell("are valoarea logica " + value + ", care nu este nici 0, nici 1");
        } else if (type == Type::Date) {
            if (value.empty()) return;
            if (!ParseIsoDateTime(value, cell.day, cell.ms))
                throw BadCell("are data " + value + ", care nu exista sau nu poate fi citita");
            cell.kind = CellKind::Date;
        } else if (!value.empty()) {
            double v = 0;
            const auto r = std::from_chars(value.data(), value.data() + value.size(), v);
            if (r.ec != std::errc() || r.ptr != value.data() + value.size() || !std::isfinite(v))
                throw BadCell("are valoarea " + value + ", care nu este un numar");
            if (style >= 0 && style < static_cast<int>(context.dateStyles.size()) &&
                context.dateStyles[static_cast<size_t>(style)]) {
                if (!DayFromSerial(v, context.date1904, cell.day, &cell.ms))
                    throw BadCell("are data cu numarul " + value + ", in afara anilor 1-9999");
                cell.kind = CellKind::Date;
            } else {
                cell.kind = CellKind::Number;
                cell.text = PlainDecimal(value) ? value : PlainNumberText(v);
            }
        }
    }

    const SheetContext& context;
    XmlParser parser;
    std::optional<DbfError> failure;
    bool inRow = false, inCell = false, inValue = false, phonetic = false;
    int rowNumber = 0;  // of the row being read, or the last one
    int column = -1;    // of the cell being read
    Type type = Type::Number;
    int style = 0;
    std::string value;
    std::vector<std::pair<int, Cell>> cells;  // the row's cells, each column once
    std::vector<int> slot;                    // per column: its place in cells, or -1
    bool lookup = false;                      // slot in use for this row
    int width = -1;                           // the header's, once read
    std::deque<std::pair<int, std::vector<std::pair<int, Cell>>>> ready;
    std::vector<std::vector<std::pair<int, Cell>>> spare;  // emptied rows, for their capacity
};

SheetXmlReader::SheetXmlReader(const SheetContext& context)
    : state_(std::make_unique<State>(context)) {}

SheetXmlReader::~SheetXmlReader() = default;

bool SheetXmlReader::Feed(const char* data, size_t size, bool last, std::string& xmlError) {
    const bool ok = state_->parser.Feed(data, size, last, xmlError);
    if (state_->failure) throw *state_->failure;
    return ok;
}

bool SheetXmlReader::Pop(std::vector<Cell>& row, int& number) {
    auto& ready = state_->ready;
    if (ready.empty()) return false;
    auto& [n, cells] = ready.front();
    // The caller's cells are emptied in place and swapped with the row's: their text buffers
    // are used again.
    const size_t width = static_cast<size_t>(cells.back().first) + 1;
    if (row.size() > width) row.resize(width);
    for (Cell& c : row) {
        c.kind = CellKind::Empty;
        c.text.clear();
    }
    row.resize(width);
    for (auto& [column, cell] : cells) {
        Cell& to = row[static_cast<size_t>(column)];
        to.kind = cell.kind;
        to.text.swap(cell.text);
        to.day = cell.day;
        to.ms = cell.ms;
    }
    number = n;
    cells.clear();
    if (state_->spare.size() < 16) state_->spare.push_back(std::move(cells));
    ready.pop_front();
    return true;
}

std::string DecodeXlsxEscapes(std::string_view s) {
    if (s.find("_x") == std::string_view::npos) return std::string(s);
    // The code unit of an escape starting at i, or -1.
    const auto unit = [s](size_t i) -> long {
        if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return -1;
        long v = 0;
        for (size_t k = i + 2; k < i + 6; ++k) {
            const char c = s[k];
            const int d = IsDigit(c)             ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
            if (d < 0) return -1;
            v = v * 16 + d;
        }
        return v;
    };
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const long v = unit(i);
        if (v >= 0xD800 && v <= 0xDBFF) {
            const long low = unit(i + 7);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                utf8::AppendCodePoint(
                    out, static_cast<char32_t>(0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00)));
                i += 14;
                continue;
            }
        } else if (v > 0 && (v < 0xDC00 || v > 0xDFFF)) {
            // A lone surrogate or a NUL stays as written: no text can hold it.
            utf8::AppendCodePoint(out, static_cast<char32_t>(v));
            i += 7;
            continue;
        }
        out += s[i++];
    }
    return out;
}

}  // namespace orbelan
