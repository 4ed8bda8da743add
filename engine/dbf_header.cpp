#include "engine/dbf_header.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "engine/byte_order.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/latin_letters.h"

namespace orbelan {
namespace {

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutU16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

std::string Hex(uint8_t b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

// "1 linie", "12 linii", "1000 de linii": the Romanian "de" after numbers ending in 00 or 20..99.
std::string Linii(uint64_t n) {
    if (n == 1) return "1 linie";
    const uint64_t last = n % 100;
    return std::to_string(n) + ((n >= 20 && (last == 0 || last >= 20)) ? " de linii" : " linii");
}

[[noreturn]] void NotDbf(const std::string& path) {
    throw DbfError(ErrorKind::CannotOpen, "Fisierul " + path + " nu este un tabel DBF.");
}

[[noreturn]] void Malformed(const std::string& path, const std::string& why) {
    throw DbfError(ErrorKind::Malformed,
                   "Fisierul " + path + " nu este un tabel DBF valid: " + why);
}

// dBase 7 tables also use version 0x04; they are told apart by their 48-byte descriptors ending
// with 0x0D right where the header length says.
bool LooksLikeDBase7(const uint8_t* d, size_t size, uint16_t headerLength) {
    for (size_t p = 68; p < headerLength && p < size; p += 48)
        if (d[p] == 0x0D) return p + 1 == headerLength || p + 2 == headerLength;
    return false;
}

std::string FieldName(const uint8_t* p, size_t maxLen) {
    size_t n = 0;
    while (n < maxLen && p[n] != 0) ++n;
    while (n > 0 && p[n - 1] == ' ') --n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace

namespace {

// Every version byte we read, and which of them a new table of its family is written with.
struct VersionRow {
    uint8_t version;
    DbfFamily family;
    bool newPlain;  // a new table without memo fields
    bool newMemo;   // a new table with memo fields
};

// The first row of a byte decides its family: 0x04 is dBase IV until the descriptors say dBase 7,
// and 0x03 is dBase III though FoxPro writes it for tables without memo.
constexpr VersionRow kVersions[] = {
    {0x03, DbfFamily::DBase3, true, false},        {0x83, DbfFamily::DBase3, false, true},
    {0x04, DbfFamily::DBase4, true, false},        {0x8B, DbfFamily::DBase4, false, true},
    {0x05, DbfFamily::DBase4, false, false},       {0xCB, DbfFamily::DBase4, false, false},
    {0x43, DbfFamily::DBase4, false, false},       {0x63, DbfFamily::DBase4, false, false},
    {0x7B, DbfFamily::DBase4, false, false},       {0x8C, DbfFamily::DBase7, false, true},
    {0x04, DbfFamily::DBase7, true, false},        {0xF5, DbfFamily::FoxPro, false, true},
    {0xFB, DbfFamily::FoxPro, false, false},       {0x03, DbfFamily::FoxPro, true, false},
    {0x30, DbfFamily::VisualFoxPro, true, true},   {0x31, DbfFamily::VisualFoxPro, false, false},
    {0x32, DbfFamily::VisualFoxPro, false, false},
};

}  // namespace

std::optional<DbfFamily> FamilyOfVersion(uint8_t version) {
    for (const VersionRow& row : kVersions)
        if (row.version == version) return row.family;
    return std::nullopt;
}

uint8_t VersionOfFamily(DbfFamily family) {
    for (const VersionRow& row : kVersions)
        if (row.family == family) return row.version;
    return 0x03;
}

bool IsFoxFamily(DbfFamily family) {
    return family == DbfFamily::FoxPro || family == DbfFamily::VisualFoxPro;
}

uint8_t NewTableVersion(DbfFamily family, bool memo, uint8_t asked) {
    if (family == DbfFamily::VisualFoxPro && FamilyOfVersion(asked) == family) return asked;
    for (const VersionRow& row : kVersions)
        if (row.family == family && (memo ? row.newMemo : row.newPlain)) return row.version;
    return memo ? 0x83 : 0x03;
}

bool DbfLayout::HasMemoFields() const {
    for (const FieldLayout& f : fields)
        if (f.def.IsMemo() && !(f.def.type == 'B' && family == DbfFamily::VisualFoxPro))
            return true;
    return false;
}

void NumberNewRow(DbfLayout& layout, uint8_t* record) {
    for (FieldLayout& f : layout.fields) {
        if (!f.def.IsAutoIncrement()) continue;
        StoreLE(record + f.def.offset, f.def.autoNext, 4);
        f.def.autoNext += f.def.autoStep;
    }
}

std::vector<std::pair<uint64_t, std::string>> AutoIncrementCounters(const DbfLayout& layout) {
    std::vector<std::pair<uint64_t, std::string>> counters;
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        const FieldDef& d = layout.fields[i].def;
        if (!d.IsAutoIncrement()) continue;
        std::string bytes(4, '\0');
        PutLE32(bytes, 0, d.autoNext);
        counters.emplace_back(32 + 32 * i + 19, bytes);
    }
    return counters;
}

DbfLayout ParseHeader(const uint8_t* d, size_t size, const std::string& path) {
    if (size == 0)
        throw DbfError(ErrorKind::CannotOpen,
                       "Fisierul " + path + " este gol si nu poate fi deschis ca tabel DBF.");
    if (size < 32) NotDbf(path);
    DbfLayout L;
    L.version = d[0];
    L.recordCount = U32(d + 4);
    L.headerLength = U16(d + 8);
    L.recordLength = U16(d + 10);
    L.productionIndex = d[28];
    L.languageDriver = d[29];
    // A text file or a picture fails these long before anything else.
    if (d[2] > 12 || d[3] > 31 || L.headerLength < 33 || L.recordLength < 2) NotDbf(path);
    const auto family = FamilyOfVersion(L.version);
    if (!family)
        Malformed(path, "tipul de tabel " + Hex(L.version) + " (primul octet) nu este cunoscut.");
    L.family = *family;
    if (L.headerLength > size)
        Malformed(path, "antetul anunta " + std::to_string(L.headerLength) +
                            " de octeti, dar fisierul are doar " + std::to_string(size) + ".");
    if (L.version == 0x04 && LooksLikeDBase7(d, size, L.headerLength)) L.family = DbfFamily::DBase7;

    const bool dbase7 = L.family == DbfFamily::DBase7;
    const size_t stride = dbase7 ? 48 : 32;
    size_t p = dbase7 ? 68 : 32;
    bool terminated = false;
    while (p < L.headerLength) {
        if (d[p] == 0x0D || d[p] == 0x00) {  // some writers end the list with a 0 byte
            terminated = d[p] == 0x0D;
            break;
        }
        if (p + stride > L.headerLength) break;
        FieldLayout f;
        const uint8_t* fd = d + p;
        f.def.name = FieldName(fd, dbase7 ? 32 : 11);
        f.def.type = static_cast<char>(std::toupper(fd[dbase7 ? 32 : 11]));
        f.def.size = fd[dbase7 ? 33 : 16];
        f.def.decimals = fd[dbase7 ? 34 : 17];
        f.def.flags = dbase7 ? 0 : fd[18];
        if (L.family == DbfFamily::VisualFoxPro) {
            f.def.autoNext = U32(fd + 19);
            f.def.autoStep = fd[23];
        }
        if (f.def.type == '0' || (IsFoxFamily(L.family) && f.def.name == "_NullFlags"))
            f.system = true;
        L.fields.push_back(f);
        p += stride;
    }
    if (L.fields.empty()) Malformed(path, "antetul nu descrie niciun camp.");

    // What is left after the descriptors: the terminator, maybe one spare byte, and in FoxPro
    // tables the 263-byte backlink.
    const size_t used = p + (terminated ? 1 : 0);
    const size_t extra = L.headerLength - used;
    const bool extraOk = extra <= 1 || (IsFoxFamily(L.family) && (extra == 263 || extra == 264));
    if (!extraOk) {
        const size_t need = (dbase7 ? 68 : 32) + stride * L.fields.size() + 1;
        Malformed(path, "antetul anunta o lungime de " + std::to_string(L.headerLength) +
                            " de octeti, dar descrierile celor " + std::to_string(L.fields.size()) +
                            " campuri cer " + std::to_string(need) + ".");
    }

    for (const FieldLayout& f : L.fields)
        if (f.def.size == 0 && f.def.decimals == 0)
            Malformed(path, "campul " + f.def.name + " are lungimea 0.");

    // Clipper and FoxPro keep the high byte of a long character field's size in "decimals".
    auto sum = [&](bool wideChars) {
        size_t total = 1;
        for (const FieldLayout& f : L.fields)
            total +=
                static_cast<size_t>(f.def.size) +
                (wideChars && f.def.type == 'C' ? 256u * static_cast<size_t>(f.def.decimals) : 0u);
        return total;
    };
    if (sum(false) != L.recordLength && !dbase7 && sum(true) == L.recordLength) {
        for (FieldLayout& f : L.fields)
            if (f.def.type == 'C') {
                f.def.size += 256 * f.def.decimals;
                f.def.decimals = 0;
            }
    }
    for (const FieldLayout& f : L.fields)
        if (f.def.size == 0) Malformed(path, "campul " + f.def.name + " are lungimea 0.");
    if (sum(false) != L.recordLength)
        Malformed(path, "lungimea unei linii din antet (" + std::to_string(L.recordLength) +
                            ") nu se potriveste cu lungimile campurilor (1 + " +
                            std::to_string(sum(false) - 1) + ").");

    int offset = 1;
    int bit = 0;
    for (size_t i = 0; i < L.fields.size(); ++i) {
        FieldLayout& f = L.fields[i];
        f.def.offset = offset;
        offset += f.def.size;
        if (f.system) {
            if (L.nullFlagsField < 0) L.nullFlagsField = static_cast<int>(i);
            continue;
        }
        if (L.family == DbfFamily::VisualFoxPro) {
            if (f.def.type == 'V' || f.def.type == 'Q') f.varLengthBit = bit++;
            if (f.def.flags & 0x02) f.nullBit = bit++;
        }
    }
    if (L.nullFlagsField < 0)
        for (FieldLayout& f : L.fields) f.nullBit = f.varLengthBit = -1;

    const uint64_t available = (size - L.headerLength) / L.recordLength;
    if (L.recordCount > available)
        Malformed(path, "antetul anunta " + Linii(L.recordCount) + ", dar fisierul are doar " +
                            std::to_string(available) + ".");

    if (L.HasMemoFields()) {
        if (IsFoxFamily(L.family))
            L.memo = MemoKind::Fpt;
        else
            L.memo = L.family == DbfFamily::DBase3 ? MemoKind::Dbt3 : MemoKind::Dbt4;
    }
    return L;
}

void LayoutNewTable(DbfLayout& L) {
    const bool dbase7 = L.family == DbfFamily::DBase7;
    const bool vfp = L.family == DbfFamily::VisualFoxPro;
    // Visual FoxPro keeps null values and varchar lengths in bits of a hidden last field,
    // _NullFlags, in the order ParseHeader reads them; other families have neither.
    std::erase_if(L.fields, [](const FieldLayout& f) { return f.system; });
    L.nullFlagsField = -1;
    int bits = 0;
    for (FieldLayout& f : L.fields) {
        f.nullBit = f.varLengthBit = -1;
        if (!vfp) {
            f.def.flags = 0;
            continue;
        }
        if (f.def.type == 'V' || f.def.type == 'Q') f.varLengthBit = bits++;
        if (f.def.flags & 0x02) f.nullBit = bits++;
    }
    if (bits > 0) {
        FieldLayout flags;
        flags.def.name = "_NullFlags";
        flags.def.type = '0';
        flags.def.size = (bits + 7) / 8;
        flags.def.flags = 0x05;  // hidden system field
        flags.system = true;
        L.nullFlagsField = static_cast<int>(L.fields.size());
        L.fields.push_back(flags);
    }
    int offset = 1;
    for (FieldLayout& f : L.fields) {
        FieldDef& d = f.def;
        const size_t maxName = dbase7 ? 31 : 10;
        if (d.name.empty() || d.name.size() > maxName)
            throw DbfError(ErrorKind::Conversion, "Numele de camp '" + d.name +
                                                      "' trebuie sa aiba intre 1 si " +
                                                      std::to_string(maxName) + " caractere.");
        switch (d.type) {
            case 'D':
                d.size = 8;
                d.decimals = 0;
                break;
            case 'L':
                d.size = 1;
                d.decimals = 0;
                break;
            case 'M':
            case 'G':
            case 'P':
                d.size = vfp ? 4 : 10;
                d.decimals = 0;
                break;
            case 'I':
            case '+':
                d.size = 4;
                d.decimals = 0;
                break;
            case 'T':
            case 'Y':
            case 'O':
            case '@':
                d.size = 8;
                break;
            case 'B':
                d.size = vfp ? 8 : 10;
                break;
            default:
                break;
        }
        if (d.size <= 0 || d.size > 254 || ((d.type == 'N' || d.type == 'F') && d.size > 20))
            throw DbfError(ErrorKind::Conversion, "Campul " + d.name + " nu poate avea lungimea " +
                                                      std::to_string(d.size) + ".");
        if ((d.type == 'N' || d.type == 'F') && d.decimals > 0 && d.decimals > d.size - 2)
            throw DbfError(ErrorKind::Conversion,
                           "Campul " + d.name + " nu poate avea " + std::to_string(d.decimals) +
                               " zecimale la lungimea " + std::to_string(d.size) + ".");
        d.offset = offset;
        offset += d.size;
    }
    if (offset > 65535)
        throw DbfError(ErrorKind::Conversion, "Linia tabelului ar depasi 65535 de octeti.");
    L.recordLength = static_cast<uint16_t>(offset);
    size_t header = dbase7 ? 68 + 48 * L.fields.size() + 1 : 32 + 32 * L.fields.size() + 1;
    if (vfp) header += 263;
    if (header > 65535) throw DbfError(ErrorKind::Conversion, "Tabelul are prea multe campuri.");
    L.headerLength = static_cast<uint16_t>(header);
    L.memo = MemoKind::None;
    if (L.HasMemoFields()) {
        if (IsFoxFamily(L.family))
            L.memo = MemoKind::Fpt;
        else
            L.memo = L.family == DbfFamily::DBase3 ? MemoKind::Dbt3 : MemoKind::Dbt4;
    }
}

std::string BuildHeader(const DbfLayout& L, uint8_t languageDriver) {
    std::string h(L.headerLength, '\0');
    h[0] = static_cast<char>(L.version);
    const std::time_t now = std::time(nullptr);
    if (const std::tm* tm = std::localtime(&now)) {
        h[1] = static_cast<char>(tm->tm_year % 256);
        h[2] = static_cast<char>(tm->tm_mon + 1);
        h[3] = static_cast<char>(tm->tm_mday);
    }
    PutLE32(h, 4, L.recordCount);
    PutU16(h, 8, L.headerLength);
    PutU16(h, 10, L.recordLength);
    h[28] = 0;
    h[29] = static_cast<char>(languageDriver);
    const bool dbase7 = L.family == DbfFamily::DBase7;
    const bool vfp = L.family == DbfFamily::VisualFoxPro;
    if (vfp && L.HasMemoFields()) h[28] = 0x02;  // "has a memo file" flag of Visual FoxPro
    size_t p = dbase7 ? 68 : 32;
    for (const FieldLayout& f : L.fields) {
        const FieldDef& d = f.def;
        if (dbase7) {
            h.replace(p, d.name.size(), d.name);
            h[p + 32] = d.type;
            h[p + 33] = static_cast<char>(d.size);
            h[p + 34] = static_cast<char>(d.decimals);
            p += 48;
        } else {
            h.replace(p, d.name.size(), d.name);
            h[p + 11] = d.type;
            if (vfp) {
                PutLE32(h, p + 12, static_cast<uint32_t>(d.offset));
                PutLE32(h, p + 19, d.autoNext);
                h[p + 23] = static_cast<char>(d.autoStep);
            }
            h[p + 16] = static_cast<char>(d.size);
            h[p + 17] = static_cast<char>(d.decimals);
            h[p + 18] = static_cast<char>(d.flags);
            p += 32;
        }
    }
    h[p] = 0x0D;
    return h;
}

std::string PathWithoutExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

std::string FindWithExtension(const std::string& base, const std::string& lowerExt) {
    const std::string upper = latin::AsciiUpper(lowerExt);
    std::string capital = lowerExt;
    if (capital.size() > 1)
        capital[1] = static_cast<char>(std::toupper(static_cast<unsigned char>(capital[1])));
    for (const std::string& ext : {lowerExt, upper, capital})
        if (FileExists(base + ext)) return base + ext;
    return {};
}

std::string MemoPathFor(const std::string& tablePath, const DbfLayout& layout) {
    if (layout.memo == MemoKind::None) return {};
    const std::string ext = layout.memo == MemoKind::Fpt ? ".fpt" : ".dbt";
    const std::string base = PathWithoutExtension(tablePath);
    std::string found = FindWithExtension(base, ext);
    if (!found.empty()) return found;
    // A new memo file follows the letter case of the table's extension.
    const std::string tableExt = tablePath.substr(base.size());
    bool upper = tableExt.size() > 1;
    for (size_t i = 1; i < tableExt.size(); ++i)
        if (!std::isupper(static_cast<unsigned char>(tableExt[i]))) upper = false;
    if (!upper) return base + ext;
    return base + latin::AsciiUpper(ext);
}

}  // namespace orbelan
