#include "engine/codepage.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "engine/errors.h"
#include "engine/latin_letters.h"
#include "engine/utf8.h"

namespace orbelan {

struct CodePage::EncodeMap {
    std::unordered_map<char32_t, uint8_t> bytes;
    bool asciiIdentity = true;  // bytes 0..127 are ASCII, so pure ASCII text passes unchanged
};

namespace {

struct PageTable {
    const char* name;     // our name
    char16_t chars[256];  // the character of each byte; 0xFFFF: none
};

// Single-byte pages only: a DBF field is a count of bytes, one per character. Compiled in (from
// iconv, by tools/make_codepage_tables.cpp) rather than asked of the system, so Linux and
// Windows write the same bytes for the same text.
constexpr PageTable kPages[] = {
#include "engine/codepage_tables.inc"
};

struct Driver {
    uint8_t ldid;
    const char* page;
};

// Language-driver bytes (header byte 29) as dBase, FoxPro and Visual FoxPro write them. The first
// entry of a page is the one written for new tables.
constexpr Driver kDrivers[] = {
    {0x01, "cp437"},
    {0x02, "cp850"},
    {0x03, "cp1252"},
    {0x04, "mac_roman"},
    {0x64, "cp852"},
    {0x65, "cp866"},
    {0x66, "cp865"},
    {0x67, "cp861"},
    {0x6A, "cp737"},
    {0x6B, "cp857"},
    {0x6C, "cp863"},
    {0x24, "cp860"},
    {0x7C, "cp874"},
    {0x7D, "cp1255"},
    {0x7E, "cp1256"},
    {0xC8, "cp1250"},
    {0xC9, "cp1251"},
    {0xCA, "cp1254"},
    {0xCB, "cp1253"},
    {0xCC, "cp1257"},
    {0x96, "mac_cyrillic"},
    {0x97, "mac_latin2"},
    // dBase language drivers sharing a DOS page
    {0x08, "cp865"},
    {0x09, "cp437"},
    {0x0A, "cp850"},
    {0x0B, "cp437"},
    {0x0D, "cp437"},
    {0x0E, "cp850"},
    {0x0F, "cp437"},
    {0x10, "cp850"},
    {0x11, "cp437"},
    {0x12, "cp850"},
    {0x14, "cp850"},
    {0x15, "cp437"},
    {0x16, "cp850"},
    {0x17, "cp865"},
    {0x18, "cp437"},
    {0x19, "cp437"},
    {0x1A, "cp850"},
    {0x1B, "cp437"},
    {0x1C, "cp863"},
    {0x1D, "cp850"},
    {0x1F, "cp852"},
    {0x22, "cp852"},
    {0x23, "cp852"},
    {0x25, "cp850"},
    {0x26, "cp866"},
    {0x37, "cp850"},
    {0x40, "cp852"},
    {0x50, "cp874"},
    {0x57, "cp1252"},
    {0x58, "cp1252"},
    {0x59, "cp1252"},
    {0x86, "cp737"},
    {0x87, "cp852"},
    {0x88, "cp857"},
};

const PageTable* FindPage(std::string_view name) {
    std::string n = latin::AsciiLower(name);
    // Accept the usual spellings: "CP1250", "windows-1250", "ibm852".
    if (n.rfind("windows-", 0) == 0) n = "cp" + n.substr(8);
    if (n.rfind("ibm", 0) == 0) n = "cp" + n.substr(3);
    if (n.rfind("cp-", 0) == 0) n = "cp" + n.substr(3);
    // "iso-8859-2", "iso8859-16", "latin2"
    if (n.rfind("iso", 0) == 0) {
        std::string digits;
        for (char c : n.substr(3))
            if (c != '-' && c != '_') digits += c;
        if (digits.rfind("8859", 0) == 0) n = "iso8859_" + digits.substr(4);
    }
    if (n == "latin2") n = "iso8859_2";
    if (n == "latin10") n = "iso8859_16";
    for (const PageTable& p : kPages)
        if (n == p.name) return &p;
    return nullptr;
}

// End of the run of ASCII bytes starting at i, eight bytes at a time.
size_t AsciiRunEnd(std::string_view s, size_t i) {
    while (i + 8 <= s.size()) {
        uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080ULL) break;
        i += 8;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
    return i;
}

bool IsUtf8Name(std::string_view name) {
    const std::string n = latin::AsciiLower(name);
    return n == "utf-8" || n == "utf8";
}

}  // namespace

CodePage::CodePage(std::string name)
    : name_(std::move(name)), encode_(std::make_shared<EncodeMap>()) {
    if (IsUtf8Name(name_)) {
        name_ = "utf-8";
        utf8_ = true;
        for (int b = 0; b < 128; ++b) chars_[b] = static_cast<char32_t>(b);
        for (int b = 128; b < 256; ++b) chars_[b] = 0xFFFF;
        return;
    }
    const PageTable* page = FindPage(name_);
    if (page == nullptr)
        throw DbfError(ErrorKind::Conversion, "Codul de pagina " + name_ + " nu este cunoscut.");
    name_ = page->name;
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = page->chars[b];
        chars_[b] = cp;
        if (cp == 0xFFFF) {
            decode_[b] = "\xEF\xBF\xBD";  // U+FFFD
            continue;
        }
        utf8::AppendCodePoint(decode_[b], cp);
        encode_->bytes.emplace(cp, static_cast<uint8_t>(b));  // first byte wins for duplicates
        if (b < 0x80 && cp != static_cast<char32_t>(b)) encode_->asciiIdentity = false;
    }
}

std::shared_ptr<const CodePage> CodePage::Get(std::string_view name) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const CodePage>> cache;
    if (IsUtf8Name(name)) {
        std::lock_guard<std::mutex> lock(mutex);
        auto& utf8 = cache["utf-8"];
        if (!utf8) utf8 = std::make_shared<const CodePage>("utf-8");
        return utf8;
    }
    const PageTable* page = FindPage(name);
    if (page == nullptr)
        throw DbfError(ErrorKind::Conversion,
                       "Codul de pagina " + std::string(name) + " nu este cunoscut.");
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(page->name);
    if (it != cache.end()) return it->second;
    auto cp = std::make_shared<const CodePage>(page->name);
    cache.emplace(page->name, cp);
    return cp;
}

std::shared_ptr<const CodePage> CodePage::FromLanguageDriver(uint8_t ldid) {
    if (ldid == 0) return nullptr;
    for (const Driver& d : kDrivers)
        if (d.ldid == ldid) return Get(d.page);
    return nullptr;
}

bool CodePage::ByteOf(char32_t cp, uint8_t& byte) const {
    if (utf8_) {
        if (cp >= 0x80) return false;
        byte = static_cast<uint8_t>(cp);
        return true;
    }
    const auto it = encode_->bytes.find(cp);
    if (it == encode_->bytes.end()) return false;
    byte = it->second;
    return true;
}

uint8_t CodePage::LanguageDriver() const {
    for (const Driver& d : kDrivers)
        if (name_ == d.page) return d.ldid;
    return 0;
}

bool CodePage::AsciiIdentity() const {
    return encode_->asciiIdentity;
}

void CodePage::AppendDecoded(std::string_view bytes, std::string& out) const {
    const bool ascii = encode_->asciiIdentity;
    size_t i = 0;
    if (utf8_) {
        // Passed on as it is, but for broken sequences: the rest of the program trusts its UTF-8.
        while (i < bytes.size()) {
            const size_t j = AsciiRunEnd(bytes, i);
            out.append(bytes.data() + i, j - i);
            if (j >= bytes.size()) break;
            i = j;
            const size_t start = i;
            if (utf8::NextCodePoint(bytes, i) < 0)
                out += "\xEF\xBF\xBD";
            else
                out.append(bytes.data() + start, i - start);
        }
        return;
    }
    while (i < bytes.size()) {
        // Runs of ASCII go in one append.
        const size_t j = ascii ? AsciiRunEnd(bytes, i) : i;
        if (j > i) {
            out.append(bytes.data() + i, j - i);
            i = j;
            continue;
        }
        out += decode_[static_cast<unsigned char>(bytes[i])];
        ++i;
    }
}

std::string CodePage::Decode(std::string_view bytes) const {
    std::string out;
    out.reserve(bytes.size());
    AppendDecoded(bytes, out);
    return out;
}

std::string CodePage::Encode(std::string_view utf8) const {
    std::string out;
    out.reserve(utf8.size());
    AppendEncoded(utf8, out);
    return out;
}

void CodePage::AppendEncoded(std::string_view utf8, std::string& out) const {
    const bool ascii = encode_->asciiIdentity;
    size_t i = 0;
    while (i < utf8.size()) {
        // Runs of ASCII go in one append.
        const size_t j = ascii ? AsciiRunEnd(utf8, i) : i;
        if (j > i) {
            out.append(utf8.data() + i, j - i);
            i = j;
            continue;
        }
        const size_t start = i;
        const long cp = utf8::NextCodePoint(utf8, i);
        if (cp < 0)
            throw DbfError(ErrorKind::Conversion,
                           "Textul nu este scris corect (UTF-8) si nu poate fi trecut in codul de "
                           "pagina " +
                               name_ + ".");
        if (utf8_) {
            out.append(utf8.data() + start, i - start);
            continue;
        }
        auto it = encode_->bytes.find(static_cast<char32_t>(cp));
        // Romanian S and T with comma below are written as the cedilla letters the 8-bit pages
        // have; DOS and Windows programs never knew another form.
        if (it == encode_->bytes.end() && cp >= 0x0218 && cp <= 0x021B)
            it = encode_->bytes.find(cp == 0x0218   ? 0x015E
                                     : cp == 0x0219 ? 0x015F
                                     : cp == 0x021A ? 0x0162
                                                    : 0x0163);
        if (it == encode_->bytes.end())
            throw DbfError(ErrorKind::Conversion,
                           "Caracterul '" + std::string(utf8.substr(start, i - start)) +
                               "' nu poate fi scris in codul de pagina " + name_ + ".");
        out += static_cast<char>(it->second);
    }
}

}  // namespace orbelan
