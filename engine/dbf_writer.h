#pragma once
// Writes a whole new table file: every rewrite (through RewriteFile, engine/rewrite.h), the local
// SQL's CREATE TABLE and SELECT results. A complete new file is written beside the target and
// put in its place only by Commit(); until then (and after any failure, or Abort) the target is
// untouched. Kept fields are copied by PlanCopy/CopyPlanned, the one field copier.
//
//   DbfWriter w(path, definition);                       // new structure
//   for (each source row) {
//       w.BeginRow();
//       w.SetText(0, "POPESCU", format);           // or SetRaw / SetMemo
//       w.EndRow();
//   }
//   w.Commit();
//
// Memo files: the new memo file is written only when a memo value is stored or the table is
// new. With Definition::copyMemoFrom it starts as a byte copy of that memo file, so memo pointers
// copied raw from its table stay valid, and since the copy is a superset of the old memo file
// the old table still reads correctly with it: Commit() replaces the memo file first and the
// table second, so the pair is consistent at every moment.
//
// A table whose header byte names no code page (ISO-8859-2 has none, and many tables leave it 0)
// gets a .cpg file naming the page its text was written in, put in place right after the table:
// it is then read in that page, not in one guessed anew from its text. An existing .cpg file is
// kept up to date the same way.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/codepage.h"
#include "engine/dbf_header.h"
#include "engine/field_codec.h"
#include "engine/file_io.h"
#include "engine/format_settings.h"

namespace orbelan {

class DbfFile;

class DbfWriter {
  public:
    struct Definition {
        // 0x03 dBase III, 0x04 dBase IV, 0x8C dBase 7, 0xF5 FoxPro, 0x30 Visual FoxPro; the memo
        // variant (0x83, 0x8B) is chosen when a field needs a memo file.
        uint8_t version = 0x03;
        std::string codePage = "cp1250";
        std::vector<FieldDef> fields;  // name, type, size, decimals; offsets are computed
        std::string copyMemoFrom;      // existing memo file the new one starts from
        bool freshMemo = false;        // the memo starts empty, even over an existing file
        int languageDriver = -1;       // header byte 29; -1: the code page's own byte
    };

    // Throws DbfError(Conversion) for a structure the family can't hold, DbfError(Io) when the
    // temporary file can't be created beside target.
    DbfWriter(const std::string& target, const Definition& definition);
    // The exact structure (header bytes) of source, for rewriting its rows: pack. Its memo file
    // is kept as it is unless a memo value is written.
    static std::unique_ptr<DbfWriter> SameStructureAs(const DbfFile& source,
                                                      const std::string& target);
    ~DbfWriter();  // aborts unless committed
    DbfWriter(const DbfWriter&) = delete;
    DbfWriter& operator=(const DbfWriter&) = delete;

    const DbfLayout& Layout() const { return layout_; }
    const std::vector<FieldDef>& Fields() const { return fields_; }
    int FieldIndex(std::string_view name) const;  // case-insensitive; -1 when missing
    const CodePage& Page() const { return *codePage_; }
    uint32_t RecordCount() const { return count_; }
    const std::string& MemoPath() const { return memoTarget_; }

    // A whole record in this table's layout (deletion flag first), copied unchanged.
    void AddRecord(const uint8_t* record);
    // Every record of source, which has this table's record length, copied unchanged.
    void AddRecordsOf(const DbfFile& source);

    // Row by row: BeginRow gives an empty row; set fields; EndRow appends it.
    void BeginRow();
    void SetText(int field, std::string_view text, const FormatSettings& format);
    void SetDouble(int field, double value, const FormatSettings& format);
    void SetDate(int field, int dayNumber, const FormatSettings& format);
    void SetRaw(int field, const uint8_t* bytes);    // field's size bytes, same type and size
    void SetMemo(int field, std::string_view utf8);  // encoded in the table's code page
    void SetMemoBytes(int field, std::string_view bytes, uint32_t type = 1);
    // ---- The one field copier: every kept value that goes from a row of another table (or of
    // the table being rewritten) into this one's row passes here.
    //   - a field whose declared size can't be its type's (a 10-byte I field) is refused when
    //     the copy is planned, with DbfError(Malformed): nothing is read past its width;
    //   - same type, size and decimals (and code page, byte order) on both sides: the stored
    //     bytes, each side's own width; otherwise the value through its text form (a date by
    //     its day number), so a value the field can't take is a DbfError(Conversion);
    //   - null: null where this field allows it, empty otherwise; varchar lengths go along;
    //   - memo fields: the block number when this table's memo file starts as a copy of
    //     source's and the values are kept (not duplicated), else the memo's bytes (or its text,
    //     between code pages) written into this table's memo file.
    // A value that fails does not stop the others of the row: the first failure is thrown once
    // the row holds every value that could go in. An Io failure is thrown at once.
    struct FieldCopy {
        int from;  // field of source (index in its Fields())
        int to;    // field of this table
    };
    struct CopyOptions {
        // Each source value goes to one field of this table, as in a rewrite: memo blocks of a
        // memo file copied from source's may be carried. False: values duplicated (UPDATE
        // A = B) get memo blocks of their own, since other programs rewrite a memo in place.
        bool keepsMemoBlocks = true;
        // A memo that can't be read (its file is missing) is copied as empty (a query's
        // result) instead of failing.
        bool unreadableMemoAsEmpty = false;
    };
    void PlanCopy(const DbfFile& source, const std::vector<FieldCopy>& pairs,
                  const FormatSettings& format, const CopyOptions& options);
    // The planned fields of one of source's records into the current row.
    void CopyPlanned(const uint8_t* record);
    // The fields this table shares with source (same name), planned once per source.
    void CopyFields(const DbfFile& source, const uint8_t* record, const FormatSettings& format);
    uint8_t* Row() { return reinterpret_cast<uint8_t*>(row_.data()); }
    // A row that is new to the table, not a copy of one it had: its autoincrement fields take
    // the next numbers (see NumberNewRow), and Commit writes the counters.
    void NumberRow();
    void EndRow();

    // Files written with the table and put in place in the same replacement (its index files).
    // Called once the new table's rows are complete (before it is flushed to disk), with the
    // scratch file that holds it; returns the finished scratch files, each targeting the file it
    // replaces, and whether the header announces a production index (byte 28, bit 0).
    struct Companions {
        std::vector<std::unique_ptr<TempFile>> files;
        bool productionIndex = false;
    };
    using CompanionWriter = std::function<Companions(const std::string& scratchTable)>;

    // Completes, flushes and renames over the target (memo first, then the table and its
    // companions), then runs afterRename (the rewrite opens the new table there). Throws
    // DbfError(Io), or what companions or afterRename throw; then the target and its memo,
    // .cpg and companion files are put back as before and the temporaries are gone. With
    // companions, the renames are noted first in a journal beside the table, so a process
    // killed among them leaves the new files to be put in place by the next open
    // (FinishInterruptedReplace): never the new table with the old index, or the reverse.
    void Commit(const std::function<void()>& afterRename = {},
                const CompanionWriter& companions = {});
    void Abort();

  private:
    DbfWriter() = default;
    void Start(const std::string& target, const std::string& header);
    void EnsureMemo();

    DbfLayout layout_;
    std::shared_ptr<const CodePage> codePage_;
    std::unique_ptr<FieldCodec> codec_;
    std::vector<FieldDef> fields_;
    std::vector<size_t> visible_;
    std::string target_;
    std::string memoTarget_;
    std::string copyMemoFrom_;
    bool freshMemo_ = false;
    bool memoNeeded_ = false;  // a new memo file must exist even without values
    uint32_t memoBlockSize_ = 512;
    uint32_t memoNext_ = 1;
    std::unique_ptr<TempFile> table_;
    std::unique_ptr<TempFile> memo_;
    std::unique_ptr<TempFile> cpg_;
    std::string cpgTarget_;  // the .cpg file naming the page, written with the table; "" none
    std::string row_;
    bool inRow_ = false;
    void FlushRowMemo();
    void PrepareMemo();

    // The copier's plan for one source: byte spans (neighbouring fields merged), then the
    // fields that need a look at their value (null bits, varchar lengths, memo, text forms).
    struct Span {
        int from, to, size;
    };
    enum class CopyKind : uint8_t { Bytes, MemoBlock, MemoBytes, MemoText, Text };
    struct ValueCopy {
        int from, to;  // visible fields
        CopyKind kind;
        bool checkNull;   // source field can be null
        bool varLength;   // V/Q length bit carried
        bool sourceDate;  // D into another type: by its day number
    };
    const DbfFile* copySource_ = nullptr;
    const DbfFile* namedSource_ = nullptr;  // CopyFields' plan is by name for this source
    std::vector<Span> copySpans_;
    std::vector<ValueCopy> copyValues_;
    FormatSettings copyFormat_;
    bool copyUnreadableMemoAsEmpty_ = false;
    std::string copyText_;     // reused text buffer
    std::string pendingMemo_;  // memo blocks of the current row, written when it ends
    bool memoReady_ = false;   // block size and next block known
    std::string memoBase_;     // the memo file the new one starts as a copy of
    uint32_t count_ = 0;
    bool numbered_ = false;
    bool done_ = false;
    uint8_t byte28_ = 0;  // as the header was started
};

// A replacement of the table at path that a killed process left halfway (its journal beside
// the table, no process holding it): the new files still under their scratch names are put in
// place, so the table and its index files are all the new version. Called before the table is
// opened; best effort, never throws. True when it finished one.
bool FinishInterruptedReplace(const std::string& path);

}  // namespace orbelan
