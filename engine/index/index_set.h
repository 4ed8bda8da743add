#pragma once
// The index files of a table, kept by the programs that use the table: FoxPro's compound .cdx
// (and its single-tag .idx), dBase's production .mdx, the single-index .ndx and .ntx.
//
// An IndexSet reads every tag of a table's index files, checks them against the rows, writes
// them anew from the rows (for a rewrite: new files, swapped with the new table by the caller),
// keeps them current in place for a changed row, and serves an order and seeks.
//
//   auto set = IndexSet::Open(*file, attachedPaths);   // production index found by the header
//   for (const auto& f : set->Files()) for (const auto& t : f.tags) ...   // info
//   auto problems = set->Check(*file);                 // empty: every tag agrees with the rows
//   // A post: the record's bytes before and after (deleted flag included).
//   set->UpdateRecord(*file, record, oldBytes, newBytes);
//   // A rewrite: after the new table is written, before the swap.
//   auto scratch = set->WriteRebuilt(*newFile);        // finished scratch files
//   for (auto& t : scratch) t->RenameOverTarget();     // inside the caller's swap
//
// Key bytes are those the file stores: text in the table's code page, numbers and dates in each
// format's own encoding. Every failure is a DbfError with a Romanian message naming the file.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbelan {

class DbfFile;
class TempFile;
struct DbfLayout;

enum class IndexFormat {
    Cdx,          // FoxPro 2.x / Visual FoxPro compound index (many tags)
    IdxCompact,   // FoxPro compact single-tag .idx
    IdxStandard,  // FoxBase / FoxPro standard single-tag .idx
    Mdx,          // dBase IV, 5, 7 production index (many tags)
    Ndx,          // dBase III single index
    Ntx,          // single index of the Clipper family
};
// "CDX", "IDX", "IDX (standard)", "MDX", "NDX", "NTX".
const char* IndexFormatName(IndexFormat format);

struct IndexTagInfo {
    std::string name;          // tag name (the file's base name for single-index files)
    std::string expression;    // key expression as stored
    std::string forCondition;  // empty when none
    bool unique = false;
    bool candidate = false;  // Visual FoxPro candidate key
    bool descending = false;
    char keyType = 'C';     // C N D L T (as the file encodes the key)
    int keyLength = 0;      // bytes
    std::string collation;  // "MACHINE", "GENERAL", ... (empty for formats without one)
    // We can compute the key and write the tag (expression and collation supported).
    bool rebuildable = false;
    std::string whyNot;  // Romanian, when not rebuildable
};

struct IndexFileInfo {
    std::string path;
    IndexFormat format = IndexFormat::Cdx;
    bool production = false;  // announced by the table's header (structural .cdx / production .mdx)
    std::vector<IndexTagInfo> tags;
};

// One disagreement between an index and its table, for check-index (Romanian text).
struct IndexProblem {
    std::string file;  // path
    std::string tag;   // empty: the file as a whole
    std::string what;
};

// A tag to create.
struct NewIndexTag {
    std::string name;
    std::string expression;
    std::string forCondition;
    bool unique = false;
    bool descending = false;
    bool candidate = false;  // Visual FoxPro only
};

// ---- finding the files

// The production index a table's header announces (byte 28), whatever the letter case of its
// name: <base>.cdx for FoxPro families, <base>.mdx for dBase IV/5/7. Empty when none is
// announced or none exists.
std::string FindProductionIndex(const std::string& tablePath, const DbfLayout& layout);
// Every file beside the table named <base>.<ext> whatever the letter case (ext given without the
// dot, any case): what "Sterge Index" removes. Empty when there is none.
std::string FindBesideTable(const std::string& tablePath, std::string_view ext);
// The format of an index file from its extension (and, for .idx, its header). Throws DbfError
// (CannotOpen) when the file can't be read or the extension is none of ours.
IndexFormat IndexFormatOfFile(const std::string& path);
// The production file a new structural index of this table gets (<base>.cdx or <base>.mdx,
// an existing file's case kept) and the header byte 28 value it needs (1 for both).
std::string ProductionIndexPathFor(const std::string& tablePath, const DbfLayout& layout);

class IndexSet {
  public:
    // The production index (when the header announces one) and the attached single-index files.
    // Throws DbfError: MissingIndex when the header announces an index that is not there,
    // Malformed when a file is not an index of its kind at all. A file whose tags are damaged
    // opens: Check tells what is wrong.
    static std::unique_ptr<IndexSet> Open(const DbfFile& table,
                                          const std::vector<std::string>& attached = {});
    // A set with a new, empty production index file for the table (created by WriteRebuilt);
    // add its tags with AddTag.
    static std::unique_ptr<IndexSet> CreateProduction(const DbfFile& table);
    ~IndexSet();
    IndexSet(const IndexSet&) = delete;
    IndexSet& operator=(const IndexSet&) = delete;

    bool Empty() const;  // no file at all
    const std::vector<IndexFileInfo>& Files() const;
    // Tags we can't keep current, as "file: TAG (EXPR): why" lines; empty when all can be.
    std::vector<std::string> Unkeepable() const;

    // Every tag against the table's rows: key count, order, each key equal to its record's
    // expression, pages readable. Empty when all agree. Never throws for damage it finds.
    std::vector<IndexProblem> Check(const DbfFile& table) const;

    // Writes every file anew from table's rows (one sorted pass per tag) into scratch files
    // beside the files they will replace (TempFile targets = the index paths), flushed to disk.
    // The caller renames them (TempFile::RenameOverTarget) in its crash-safe swap, or lets them
    // go (discarded). table may be a new version of the table read at Open (same path or not:
    // the index keeps its path). Throws DbfError(State) when a tag is not rebuildable.
    std::vector<std::unique_ptr<TempFile>> WriteRebuilt(const DbfFile& table) const;

    // Tag definitions (in memory; WriteRebuilt writes them). fileIndex: which file of Files()
    // (the production one for AddTag when -1). Throws DbfError(Filter) for an expression or
    // condition we can't compute, (State) for a tag name already there / not found.
    void AddTag(const DbfFile& table, const NewIndexTag& tag, int fileIndex = -1);
    void DropTag(const std::string& name);
    // A new single-index file (.ntx, .idx: compact) in the set, for `index --attach` of a file
    // that does not exist yet; AddTag(table, tag, returned index) gives it its tag.
    int AddFile(const std::string& path);

    // ---- in-place upkeep (written to the index files at once)
    // A record changed: oldRecord and newRecord are its whole bytes before and after (deletion
    // flag first: a delete or a recall is a change of byte 0). Only the tags whose key or FOR
    // result changed are touched (B-tree delete + insert).
    void UpdateRecord(const DbfFile& table, uint32_t record, const uint8_t* oldRecord,
                      const uint8_t* newRecord);
    // A record appended (its bytes as written).
    void AppendRecord(const DbfFile& table, uint32_t record, const uint8_t* newRecord);
    // Index files flushed to disk.
    void Flush();
    // False while the set holds an .mdx, which is only written whole (WriteRebuilt): then
    // UpdateRecord and AppendRecord throw DbfError(State).
    bool UpdatesInPlace() const;

    // ---- use
    // Where a tag is: (file, tag) indexes into Files(); nullopt when no tag has that name.
    struct TagRef {
        int file = 0;
        int tag = 0;
    };
    std::optional<TagRef> FindTag(std::string_view name) const;  // case-insensitive
    // A tag (with no FOR condition) whose expression is the field itself or UPPER(field): for
    // the seek of a filter FIELD='X'. upper tells which.
    std::optional<TagRef> TagForField(std::string_view field, bool* upper = nullptr) const;
    // Record numbers (from 0) in the tag's order; visit returns false to stop.
    void Walk(TagRef tag, const std::function<bool(uint32_t record)>& visit) const;
    // The same with each key's bytes as the file stores them (for comparing with another
    // reader and with a rebuild).
    void WalkKeys(TagRef tag,
                  const std::function<bool(const std::string& key, uint32_t record)>& visit) const;
    // The records whose key equals the given value (prefix: starts with it), in tag order.
    // value is UTF-8 text, encoded with the table's code page and padded as the key is; for
    // numeric and date tags it is the value's text form ("12.5", "20240131").
    std::vector<uint32_t> Seek(TagRef tag, std::string_view value, bool prefix) const;

  private:
    IndexSet();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orbelan
