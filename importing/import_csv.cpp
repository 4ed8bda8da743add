// The CSV reader: RFC 4180 quoting (a quote inside a quoted value doubled, line breaks kept),
// read in chunks so a file of any size takes the same memory.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "engine/codepage.h"
#include "engine/codepage_detect.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/latin_letters.h"
#include "engine/utf8.h"
#include "importing/import_source.h"

namespace orbelan {
namespace {

constexpr size_t kChunk = 1 << 20;
constexpr size_t kSniffBytes = 64 * 1024;

// The well-formed UTF-8 sequences and the bytes that fit none, and the bytes above 127 for the
// tables' code-page guess, fed chunk by chunk.
class EncodingGuess {
  public:
    void Feed(std::string_view bytes) {
        pages_.Feed(bytes);
        const char* p = bytes.data();
        const char* end = p + bytes.size();
        while (p != end) {
            // Runs of ASCII eight bytes at a time.
            if (pending_ == 0) {
                uint64_t word;
                while (end - p >= 8 &&
                       (std::memcpy(&word, p, 8), (word & 0x8080808080808080ull) == 0))
                    p += 8;
                if (p == end) break;
            }
            const unsigned char b = static_cast<unsigned char>(*p++);
            if (pending_ > 0) {
                const bool fits =
                    seen_ == 1 ? utf8::SecondByteFits(lead_, b) : utf8::IsContinuation(b);
                if (fits) {
                    ++seen_;
                    if (--pending_ == 0) ++sequences_;
                    continue;
                }
                ++invalid_;  // the broken sequence; b starts anew
                pending_ = 0;
            }
            const int more = utf8::StrictContinuations(b);
            if (more < 0) {
                ++invalid_;
            } else if (more > 0) {
                pending_ = more;
                lead_ = b;
                seen_ = 1;
            }
        }
    }
    // UTF-8 when no byte breaks it, or when its well-formed sequences outnumber the bytes that
    // do: a text in an 8-bit page makes a sequence only by chance, while one stray byte in a
    // UTF-8 file must not turn every other letter into two wrong ones.
    bool Utf8() const {
        const long invalid = invalid_ + (pending_ > 0);
        return invalid == 0 || sequences_ > invalid;
    }
    // The UTF-8 check decides first; an 8-bit text goes to the code-page guess of the tables.
    std::string Result() const {
        if (Utf8()) return "utf-8";
        const std::string page = BestSingleBytePage(pages_, {"cp1250", "iso8859_2", "cp852"});
        return page == "iso8859_2" ? "iso-8859-2" : page;
    }
    static std::string CsvCodePage(const std::string& encoding) {
        return encoding == "iso-8859-2" ? "iso8859_2" : encoding;
    }

  private:
    HighByteCounts pages_;
    int pending_ = 0;  // continuation bytes still expected
    int seen_ = 0;     // bytes of the current sequence so far
    unsigned char lead_ = 0;
    long sequences_ = 0, invalid_ = 0;
};

// The sample from its first line that holds a value: lines of nothing but delimiters and blanks
// before the header are no rows.
std::string_view FromFirstValue(std::string_view sample) {
    size_t line = 0;
    for (size_t i = 0; i < sample.size(); ++i) {
        const char c = sample[i];
        if (c == '\n') {
            line = i + 1;
        } else if (c != ';' && c != ',' && c != '\t' && c != ' ' && c != '\r') {
            return sample.substr(line);
        }
    }
    return sample;
}

char DetectDelimiter(std::string_view sample) {
    // Counted outside quotes, line by line: the delimiter is the candidate found the same
    // number of times on most lines, the most often.
    sample = FromFirstValue(sample);
    static const char kCandidates[] = {';', ',', '\t'};
    char best = ',';
    double bestScore = 0;
    for (char d : kCandidates) {
        std::vector<int> perLine;
        int count = 0;
        bool quoted = false;
        for (char ch : sample) {
            if (ch == '"') quoted = !quoted;
            if (quoted) continue;
            if (ch == d) ++count;
            if (ch == '\n') {
                perLine.push_back(count);
                count = 0;
            }
        }
        if (count > 0) perLine.push_back(count);
        if (perLine.empty() || perLine[0] == 0) continue;
        int same = 0;
        for (int n : perLine) same += n == perLine[0];
        const double score = perLine[0] * static_cast<double>(same) / perLine.size();
        if (score > bestScore) best = d, bestScore = score;
    }
    return best;
}

class CsvSource : public ImportSource {
  public:
    CsvSource(const std::string& path, const SourceOptions& options)
        : file_(FileHandle::OpenRead(path)) {
        kind = SourceKind::Csv;
        size_ = file_.Size();
        // Buffers no larger than the file: a small CSV takes little memory.
        std::string sample(static_cast<size_t>(std::min<uint64_t>(kSniffBytes, size_)), '\0');
        sample.resize(file_.ReadAt(0, sample.data(), sample.size()));
        bom_ = sample.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
        if (!options.encoding.empty()) {
            encoding = CsvEncodingName(options.encoding);
            if (encoding.empty())
                throw DbfError(ErrorKind::Conversion,
                               "Codificarea " + options.encoding +
                                   " nu este cunoscuta (utf-8, cp1250, cp852, iso-8859-2).");
        } else if (bom_ > 0) {
            encoding = "utf-8";
        } else {
            EncodingGuess guess;
            std::string chunk(static_cast<size_t>(std::min<uint64_t>(kChunk, size_)), '\0');
            for (uint64_t at = 0; !chunk.empty();) {
                const size_t n = file_.ReadAt(at, chunk.data(), chunk.size());
                if (n == 0) break;
                guess.Feed(std::string_view(chunk.data(), n));
                at += n;
            }
            encoding = guess.Result();
        }
        if (encoding != "utf-8") page_ = CodePage::Get(EncodingGuess::CsvCodePage(encoding));
        delimiter = options.delimiter != 0 ? options.delimiter
                                           : DetectDelimiter(std::string_view(sample).substr(bom_));
        for (char stop : {delimiter, '\n', '\r'}) stops_[static_cast<unsigned char>(stop)] = true;
        Rewind();
    }

    void Rewind() override {
        offset_ = bom_;
        buf_.clear();
        pos_ = 0;
        line_ = 1;
        rowLine_ = 1;
        headerCells_ = 0;
        damagedBytes = 0;
        firstDamagedLine = 0;
    }

    int RowNumber() const override { return rowLine_; }

    bool Next(std::vector<Cell>& row) override {
        for (;;) {
            rowLine_ = line_;
            int c = Peek();
            if (c < 0) return false;
            if (c == '\n' || c == '\r') {  // an empty line is no row
                EndOfLine();
                continue;
            }
            size_t cells = 0;
            bool more = true;
            while (more) {
                if (cells == row.size()) row.emplace_back();
                more = ReadCell(row[cells]);
                ++cells;
            }
            if (headerCells_ == 0) {
                // A line of delimiters alone before the header is as blank as an empty one.
                bool blank = true;
                for (size_t i = 0; i < cells && blank; ++i) blank = row[i].kind == CellKind::Empty;
                if (blank) continue;
                headerCells_ = cells;
            }
            // Cells past the header's are refused unless all empty (a trailing delimiter).
            for (size_t i = headerCells_; i < cells; ++i)
                if (row[i].kind != CellKind::Empty)
                    throw DbfError(ErrorKind::Malformed,
                                   "Linia " + std::to_string(rowLine_) + " are " +
                                       std::to_string(cells) +
                                       " valori, mai multe decat capul de tabel (" +
                                       std::to_string(headerCells_) + ").");
            row.resize(headerCells_);
            for (size_t i = cells; i < headerCells_; ++i) row[i] = Cell{};
            return true;
        }
    }

  private:
    int Peek() {
        if (pos_ == buf_.size() && !Fill()) return -1;
        return static_cast<unsigned char>(buf_[pos_]);
    }
    bool Fill() {
        const size_t want =
            offset_ < size_ ? static_cast<size_t>(std::min<uint64_t>(kChunk, size_ - offset_)) : 0;
        buf_.resize(want);
        if (want == 0) {
            pos_ = 0;
            return false;
        }
        const size_t n = file_.ReadAt(offset_, buf_.data(), want);
        buf_.resize(n);
        offset_ += n;
        pos_ = 0;
        return n > 0;
    }
    void EndOfLine() {
        const int c = Peek();
        ++pos_;
        ++line_;
        if (c == '\r' && Peek() == '\n') ++pos_;
    }

    // One cell into cell; true when another follows on the same row. The line break (or the end)
    // that ends the row is consumed.
    bool ReadCell(Cell& cell) {
        raw_.clear();
        bool quoted = false;
        if (Peek() != '"') {
            // Most values: unquoted and whole in the buffer, decoded from it directly.
            const char* start = buf_.data() + pos_;
            const char* end = buf_.data() + buf_.size();
            const char* p = start;
            while (p != end && !stops_[static_cast<unsigned char>(*p)]) ++p;
            if (p != end) {
                const std::string_view value(start, static_cast<size_t>(p - start));
                pos_ += value.size();
                Decode(value, cell);
                if (*p == delimiter) {
                    ++pos_;
                    return true;
                }
                EndOfLine();
                return false;
            }
        } else {
            quoted = true;
            const int startLine = line_;
            ++pos_;
            for (;;) {
                if (pos_ == buf_.size() && !Fill())
                    throw DbfError(ErrorKind::Malformed,
                                   "Ghilimelele deschise pe linia " + std::to_string(startLine) +
                                       " nu se inchid pana la sfarsitul fisierului.");
                const char* start = buf_.data() + pos_;
                const size_t avail = buf_.size() - pos_;
                const void* q = std::memchr(start, '"', avail);
                const size_t len =
                    q ? static_cast<size_t>(static_cast<const char*>(q) - start) : avail;
                if (std::memchr(start, '\n', len) || std::memchr(start, '\r', len))
                    for (size_t i = 0; i < len; ++i)
                        if (start[i] == '\n' ||
                            (start[i] == '\r' && (i + 1 == len || start[i + 1] != '\n')))
                            ++line_;
                raw_.append(start, len);
                pos_ += len;
                if (!q) continue;
                ++pos_;  // the quote
                if (Peek() == '"') {
                    raw_ += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
        }
        for (;;) {
            const int c = Peek();
            if (c < 0) {
                Finish(cell, quoted);
                return false;
            }
            if (c == delimiter) {
                ++pos_;
                Finish(cell, quoted);
                return true;
            }
            if (c == '\n' || c == '\r') {
                EndOfLine();
                Finish(cell, quoted);
                return false;
            }
            if (quoted)
                throw DbfError(ErrorKind::Malformed,
                               "Linia " + std::to_string(line_) +
                                   ": dupa ghilimelele de inchidere ale unei valori urmeaza alt "
                                   "text.");
            // Unquoted: up to the next delimiter or line break within the buffer.
            const char* start = buf_.data() + pos_;
            const char* end = buf_.data() + buf_.size();
            const char* p = start;
            while (p != end && !stops_[static_cast<unsigned char>(*p)]) ++p;
            raw_.append(start, static_cast<size_t>(p - start));
            pos_ += static_cast<size_t>(p - start);
        }
    }

    void Finish(Cell& cell, bool) { Decode(raw_, cell); }

    void Decode(std::string_view bytes, Cell& cell) {
        cell.text.clear();
        if (bytes.empty()) {
            cell.kind = CellKind::Empty;
            return;
        }
        cell.kind = CellKind::Text;
        if (page_)
            page_->AppendDecoded(bytes, cell.text);
        else if (AllAscii(bytes))
            cell.text.assign(bytes);
        else
            Repaired(bytes, cell.text);
    }

    static bool AllAscii(std::string_view bytes) {
        const char* p = bytes.data();
        const char* end = p + bytes.size();
        uint64_t word;
        for (; end - p >= 8; p += 8)
            if (std::memcpy(&word, p, 8), (word & 0x8080808080808080ull) != 0) return false;
        for (; p != end; ++p)
            if (static_cast<unsigned char>(*p) >= 0x80) return false;
        return true;
    }

    // UTF-8 with each byte that fits no sequence read as U+FFFD, counted: the cell then can't be
    // stored, and the import lists it with its line.
    void Repaired(std::string_view bytes, std::string& out) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const size_t n = bytes.size();
        for (size_t i = 0; i < n;) {
            const size_t len = utf8::WellFormedLength(p + i, n - i);
            if (len > 0) {
                out.append(bytes.data() + i, len);
                i += len;
                continue;
            }
            out += kReplacementCharacter;
            if (damagedBytes++ == 0) firstDamagedLine = line_;
            ++i;
        }
    }

    FileHandle file_;
    uint64_t size_ = 0;
    std::shared_ptr<const CodePage> page_;
    size_t bom_ = 0;
    uint64_t offset_ = 0;
    std::string buf_;
    size_t pos_ = 0;
    int line_ = 1;
    int rowLine_ = 1;
    size_t headerCells_ = 0;
    std::string raw_;
    std::array<bool, 256> stops_{};  // the bytes that end an unquoted value
};

}  // namespace

std::string CsvEncodingName(const std::string& name) {
    std::string n;
    for (char ch : latin::AsciiLower(name))
        if (ch != '-' && ch != '_' && ch != ' ') n += ch;
    if (n == "utf8" || n == "utf8bom") return "utf-8";
    if (n == "cp1250" || n == "windows1250") return "cp1250";
    if (n == "cp852" || n == "ibm852") return "cp852";
    if (n == "iso88592" || n == "latin2") return "iso-8859-2";
    return {};
}

std::string DetectCsvEncoding(std::string_view bytes) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return "utf-8";
    EncodingGuess guess;
    guess.Feed(bytes);
    return guess.Result();
}

std::unique_ptr<ImportSource> OpenCsvSource(const std::string& path, const SourceOptions& options) {
    return std::make_unique<CsvSource>(path, options);
}

}  // namespace orbelan
