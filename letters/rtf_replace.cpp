#include "letters/rtf_replace.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/platform.h"
#include "engine/codepage.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/latin_letters.h"
#include "engine/trim.h"
#include "engine/utf8_path.h"

namespace orbelan {
namespace {

constexpr std::string_view kEmptyValue = "..........";
constexpr std::string_view kBodyStart = "\\pard";

char Up(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Position of name in s from `from`, comparing a-z without regard to case; npos when absent.
// An empty name is never found.
size_t FindNoCase(std::string_view s, std::string_view name, size_t from) {
    if (name.empty() || name.size() > s.size()) return std::string_view::npos;
    const char first = Up(name[0]);
    const bool letter = first >= 'A' && first <= 'Z';
    const size_t last = s.size() - name.size();
    for (size_t i = from; i <= last; ++i) {
        if (letter) {
            if (Up(s[i]) != first) continue;
        } else {
            const void* hit = std::memchr(s.data() + i, first, last - i + 1);
            if (hit == nullptr) return std::string_view::npos;
            i = static_cast<size_t>(static_cast<const char*>(hit) - s.data());
        }
        size_t j = 1;
        while (j < name.size() && Up(s[i + j]) == Up(name[j])) ++j;
        if (j == name.size()) return i;
    }
    return std::string_view::npos;
}

// The template's lines; CR LF, LF and a lone CR all end a line.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.emplace_back(text, start);
            break;
        }
        lines.emplace_back(text, start, end - start);
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

enum class LetterCase { AsStored, Upper, Lower };

// [NUME] asks for capitals, [nume] for small letters, anything else for the value as stored.
LetterCase CaseOf(std::string_view placeholder) {
    bool upper = false, lower = false;
    for (const char c : placeholder) {
        upper = upper || (c >= 'A' && c <= 'Z');
        lower = lower || (c >= 'a' && c <= 'z');
    }
    if (upper && !lower) return LetterCase::Upper;
    if (lower && !upper) return LetterCase::Lower;
    return LetterCase::AsStored;
}

}  // namespace

TRTFReplace::TRTFReplace(Platform& platform, const std::string& codePage)
    : platform_(platform),
      codePage_(CodePage::Get(codePage)),
      text_(*codePage_, {.bracesAsParentheses = true, .lineBreaks = true, .unicodeGroups = true}) {}

TRTFReplace::~TRTFReplace() = default;

bool TRTFReplace::NextFreeDest(const std::string& prefix) {
    namespace fs = std::filesystem;
    for (int n = 0; n <= 99; ++n) {
        const std::string name = prefix + std::to_string(n) + ".rtf";
        std::error_code ec;
        const auto status = fs::symlink_status(PathFromUtf8(name), ec);
        if (!fs::exists(status)) {
            RTFDest = name;
            return true;
        }
        // Only a file can be taken over; one that can't be deleted is still open elsewhere.
        if (!fs::is_regular_file(status) && !fs::is_symlink(status)) continue;
        try {
            RemoveFile(name);
        } catch (const DbfError&) {
            continue;
        }
        RTFDest = name;
        return true;
    }
    return false;
}

bool TRTFReplace::LoadTemplate() {
    lines_.clear();
    linesOf_.clear();
    std::ifstream in(PathFromUtf8(RTFSursa), std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return false;
    lines_ = SplitLines(text.str());
    linesOf_ = RTFSursa;
    balance_.clear();
    bracket_.clear();
    bodyLine_ = lines_.size();
    for (size_t i = 0; i < lines_.size(); ++i) {
        balance_.push_back(BraceBalance(lines_[i]));
        bracket_.push_back(lines_[i].find('[') != std::string::npos);
        const size_t body = lines_[i].find(kBodyStart);
        if (body != std::string::npos && bodyLine_ == lines_.size()) {
            bodyLine_ = i;
            bodyFirst_ = lines_[i].substr(body);
        }
    }
    return true;
}

bool TRTFReplace::BeginDocument() {
    Discard();
    lastError_.clear();
    std::error_code ec;
    if (RTFSursa.empty() || !std::filesystem::is_regular_file(PathFromUtf8(RTFSursa), ec)) {
        lastError_ = "Modelul " + RTFSursa + " nu exista.";
        return false;
    }
    if (!LoadTemplate()) {
        lastError_ = "Modelul " + RTFSursa + " nu poate fi citit.";
        return false;
    }
    if (lines_.empty()) {
        lastError_ = "Modelul " + RTFSursa + " este gol.";
        return false;
    }
    if (RTFDest.empty()) {
        lastError_ = "Nu s-a ales fisierul documentului.";
        return false;
    }
    try {
        out_ = std::make_unique<TempFile>(RTFDest);
        for (const std::string& line : lines_) {
            const size_t body = line.find(kBodyStart);
            if (body == std::string::npos) {
                WriteLine(line);
                continue;
            }
            const std::string_view head = Trim(std::string_view(line).substr(0, body));
            if (!head.empty()) WriteLine(head);
            break;
        }
    } catch (const DbfError& e) {
        Discard();
        lastError_ = e.what();
        return false;
    }
    ClearPairs();
    return true;
}

void TRTFReplace::AddPair(const std::string& name, const std::string& value) {
    names_.push_back(name);
    values_.push_back(value);
}

int TRTFReplace::BraceBalance(std::string_view line) {
    int balance = 0;
    for (const char c : line) {
        if (c == '{') ++balance;
        if (c == '}') --balance;
    }
    return balance;
}

void TRTFReplace::ClearPairs() {
    names_.clear();
    values_.clear();
    repeatFrom_ = -1;
}

void TRTFReplace::RequireDocument() const {
    if (!out_) throw DbfError(ErrorKind::State, "Documentul RTF nu a fost inceput.");
}

void TRTFReplace::WriteLine(std::string_view line) {
    out_->Write(line.data(), line.size());
    out_->Write("\r\n", 2);
}

void TRTFReplace::WriteReplaced(const std::string& line, bool bracket, bool bracketedNames) {
    if (!bracket && bracketedNames) {  // nothing to find: the line as it is
        WriteLine(line);
        repeatFrom_ = -1;
        return;
    }
    // A line with two different multi-valued placeholders would never end its repetition.
    const size_t maxRepeats = std::max<size_t>(1, names_.size());
    size_t repeats = 0;
    do {
        WriteLine(ReplaceLine(line));
    } while (repeatFrom_ >= 0 && ++repeats < maxRepeats);
    repeatFrom_ = -1;
}

void TRTFReplace::MergeBody(int copies) {
    RequireDocument();
    if (linesOf_ != RTFSursa && !LoadTemplate())
        throw DbfError(ErrorKind::Io, "Modelul " + RTFSursa + " nu poate fi citit.");
    bool bracketedNames = true;
    for (const std::string& name : names_) bracketedNames = bracketedNames && name.starts_with('[');
    // Without a body the whole template went out as the header; its last line must not be
    // written a second time.
    const bool hasBody = bodyLine_ < lines_.size();
    for (int pass = 1; hasBody && pass <= copies; ++pass) {
        if (pass > 1) WriteLine("\\page");
        const std::string* current = &bodyFirst_;
        bool bracket = current->find('[') != std::string::npos;
        int depth = BraceBalance(*current) + 1;
        size_t next = bodyLine_ + 1;
        while (next < lines_.size() && depth != 0) {
            if (!current->empty()) WriteReplaced(*current, bracket, bracketedNames);
            current = &lines_[next];
            bracket = bracket_[next];
            depth += balance_[next];
            ++next;
        }
        // The line that closed the document: its last brace is written by EndDocument.
        std::string last(Trim(*current));
        if (!last.empty()) last.pop_back();
        if (!last.empty()) WriteLine(ReplaceLine(last));
        repeatFrom_ = -1;
    }
    ClearPairs();
}

void TRTFReplace::PageBreak() {
    RequireDocument();
    WriteLine("\\par \\page");
    ClearPairs();
}

void TRTFReplace::EndDocument() {
    RequireDocument();
    try {
        WriteLine("}");
        out_->Finish();
        out_->RenameOverTarget();
    } catch (...) {
        Discard();
        throw;
    }
    out_.reset();
    SyncFolderOf(RTFDest);
    ClearPairs();
}

void TRTFReplace::Discard() {
    if (out_) out_->Discard();
    out_.reset();
}

void TRTFReplace::OpenResult() {
    if (RTFDest.empty() || RTFDest.find_last_of("/\\") == std::string::npos) return;
    platform_.ShellOpen(RTFDest);
}

std::string TRTFReplace::ReplaceLine(const std::string& line) {
    std::string s = line;
    std::string next;
    bool noMatch = true;
    const int count = static_cast<int>(names_.size());
    // Placeholders start with "[": a line without one is passed over quickly.
    bool bracket = s.find('[') != std::string::npos;
    for (int i = 0; i < count; ++i) {
        if (!bracket && !names_[i].empty() && names_[i][0] == '[') continue;
        size_t pos = FindNoCase(s, names_[i], 0);
        if (pos == std::string::npos) continue;
        // The line is built once per name, literal runs and values appended: replacing in
        // place moved the rest of the line at every placeholder. Names still go one after the
        // other, so a later placeholder is found inside an earlier value.
        next.clear();
        size_t copied = 0;
        while (pos != std::string::npos) {
            noMatch = false;
            if (repeatFrom_ >= 0 && names_[repeatFrom_] == names_[i]) i = repeatFrom_;
            const size_t nameLength = names_[i].size();
            next.append(s, copied, pos - copied);
            AppendRtfValue(next, values_[i], std::string_view(s).substr(pos, nameLength));
            // Behind the placeholder: a value holding its own placeholder is not searched.
            copied = pos + nameLength;
            pos = FindNoCase(s, names_[i], copied);
            int k = 1;
            while (i + k < count && names_[i + k] == names_[i]) ++k;
            if (k == 1 && repeatFrom_ >= 0 && names_[repeatFrom_] == names_[i]) repeatFrom_ = -1;
            if (k > 1) {
                repeatFrom_ = i + 1;
                i = i + k - 1;
            }
        }
        next.append(s, copied);
        s.swap(next);
        bracket = s.find('[') != std::string::npos;
    }
    if (noMatch) repeatFrom_ = -1;
    return s;
}

void TRTFReplace::AppendRtfValue(std::string& out, const std::string& value,
                                 std::string_view asWritten) const {
    if (value.empty()) {
        out += kEmptyValue;
        return;
    }
    const LetterCase letterCase = CaseOf(asWritten);
    text_.Append(out, value,
                 letterCase == LetterCase::Upper   ? latin::ToUpper
                 : letterCase == LetterCase::Lower ? latin::ToLower
                                                   : nullptr);
}

}  // namespace orbelan
