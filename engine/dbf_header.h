#pragma once
// The header of a DBF file: reading it (with every consistency check) and writing a new one.
//
// Families and their version bytes (header byte 0):
//   dBase III  0x03 (0x83 with a .dbt memo)          32-byte field descriptors
//   dBase IV/5 0x04 0x05 (0x8B 0xCB with memo, 0x43 0x63 SQL tables)
//   dBase 7    0x04 (0x8C with memo)                 48-byte descriptors after a 36-byte extra
//   FoxPro     0xF5 0xFB (.fpt memo)                 may carry the 263-byte backlink
//   Visual FoxPro 0x30 0x31 0x32 (.fpt memo)         263-byte backlink after the 0x0D terminator
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/field_def.h"

namespace orbelan {

enum class DbfFamily { DBase3, DBase4, DBase7, FoxPro, VisualFoxPro };
enum class MemoKind { None, Dbt3, Dbt4, Fpt };

// One field with what it takes to read it beyond FieldDef.
struct FieldLayout {
    FieldDef def;
    int nullBit = -1;       // bit in _NullFlags telling the value is null (VFP nullable fields)
    int varLengthBit = -1;  // bit in _NullFlags telling a V/Q field is shorter than its size
    bool system = false;    // VFP _NullFlags: kept in the record, hidden from the field list
};

struct DbfLayout {
    uint8_t version = 0x03;
    DbfFamily family = DbfFamily::DBase3;
    MemoKind memo = MemoKind::None;
    uint32_t recordCount = 0;
    uint16_t headerLength = 0;
    uint16_t recordLength = 0;
    uint8_t productionIndex = 0;      // byte 28
    uint8_t languageDriver = 0;       // byte 29
    std::vector<FieldLayout> fields;  // every field, system ones included, in record order
    int nullFlagsField = -1;          // index in fields of _NullFlags, -1 when none

    bool BigEndianIntegers() const { return family == DbfFamily::DBase7; }
    bool HasMemoFields() const;
};

// The family a version byte (header byte 0) names; nullopt for a byte no DBF program writes. A
// 0x04 table may still be dBase 7: ParseHeader tells that from its descriptors.
std::optional<DbfFamily> FamilyOfVersion(uint8_t version);
// The first version byte that names family: what a definition carries to say which family to
// write (the writer then picks the byte for its memo fields).
uint8_t VersionOfFamily(DbfFamily family);
bool IsFoxFamily(DbfFamily family);
// The version byte of a new table of family with or without memo fields; a Visual FoxPro table
// keeps `asked` when it is one of its own.
uint8_t NewTableVersion(DbfFamily family, bool memo, uint8_t asked);

// Parses and checks a header. data/size is the whole file (as mapped). Throws DbfError:
// CannotOpen when it is not a DBF at all (empty, text, a picture), Malformed when the header
// contradicts itself or the file is shorter than it promises. Never reads past size.
DbfLayout ParseHeader(const uint8_t* data, size_t size, const std::string& path);

// A new row's autoincrement fields get their counters' values and the counters move on by their
// steps, as the program that made the table would do.
void NumberNewRow(DbfLayout& layout, uint8_t* record);
// The counters' bytes, each with its place in the header, to write after numbered rows.
std::vector<std::pair<uint64_t, std::string>> AutoIncrementCounters(const DbfLayout& layout);

// Fills offsets, the record length and the header length of a new table's layout. Throws
// DbfError(Conversion) for a field the family can't hold (name too long, size 0 ...).
void LayoutNewTable(DbfLayout& layout);
// The header bytes of layout (record count, today's date, descriptors, terminator, backlink).
std::string BuildHeader(const DbfLayout& layout, uint8_t languageDriver);

// The memo file expected beside a table: base + ".dbt"/".fpt", using an existing file whose
// extension differs only in letter case. Empty when the layout has no memo fields.
std::string MemoPathFor(const std::string& tablePath, const DbfLayout& layout);
// path without its extension ("C:/a/T.DBF" -> "C:/a/T"); a dot in a folder name is not one.
std::string PathWithoutExtension(const std::string& path);
// An existing file named base + ext in any letter case of ext, or "" when none.
std::string FindWithExtension(const std::string& base, const std::string& lowerExt);

}  // namespace orbelan
