#pragma once
// One DBF file (and its memo file) opened for fast access without a cursor: the base of Table
// and of the local SQL. Open maps the file and reads only the header; records are read in place.
//
//   auto f = DbfFile::Open(path);
//   for (uint32_t i = 0; i < f->RecordCount(); ++i) {
//       const uint8_t* rec = f->Record(i);          // rec[0] == '*' when deleted
//       std::string name = f->Text(rec, f->FieldIndex("NUME"), format);
//   }
//
// Field indexes are those of Fields(): the visible fields, without VFP's _NullFlags (whose bytes
// stay in every record). Writes go to the file at once (positioned writes through file_io); the
// table's index files are kept current with every write (engine/index/index_set.h). An index we
// can't keep is asked about before the first change (DbfOpenOptions::askAboutIndex).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/codepage.h"
#include "engine/dbf_header.h"
#include "engine/field_codec.h"
#include "engine/file_io.h"
#include "engine/format_settings.h"
#include "engine/memo_file.h"
#include "engine/table.h"

namespace orbelan {

struct DbfOpenOptions {
    std::string defaultCodePage = "cp1250";  // when the language-driver byte names none
    std::string codePageOverride;            // wins over the header when not empty
    bool checkProductionIndex = true;        // MissingIndex when byte 28 names a missing index
    // Single-index files (.idx .ndx .ntx) the user attached to this table, kept current too.
    std::vector<std::string> attachedIndexes;
    // Asked before the first change when an index can't be kept current (a tag we can't
    // compute, or a damaged file): question names the tags; detach, when called, takes the index
    // off the table the way "Sterge Index" does. True: go on without the index. False (or no
    // function at all): the change is refused with DbfError(State) and nothing is written.
    IndexQuestion askAboutIndex;
};

class IndexSet;

class DbfFile {
  public:
    // Throws DbfError: CannotOpen, Malformed, MissingIndex (see Table::Open). Writes nothing.
    static std::unique_ptr<DbfFile> Open(const std::string& path,
                                         const DbfOpenOptions& options = {});
    ~DbfFile();
    DbfFile(const DbfFile&) = delete;
    DbfFile& operator=(const DbfFile&) = delete;

    const std::string& Path() const { return path_; }
    const DbfLayout& Layout() const { return layout_; }
    const HeaderInfo& Info() const { return info_; }
    const CodePage& Page() const { return *codePage_; }
    std::shared_ptr<const CodePage> PagePtr() const { return codePage_; }
    const FieldCodec& Codec() const { return codec_; }
    // The header as stored (descriptors, terminator, backlink), for rewriting the same structure.
    std::string HeaderBytes() const;

    // ---- fields (visible ones)
    const std::vector<FieldDef>& Fields() const { return fields_; }
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    const FieldLayout& FieldAt(int field) const {
        return layout_.fields[visible_[static_cast<size_t>(field)]];
    }
    int FieldIndex(std::string_view name) const;  // case-insensitive; -1 when missing

    // ---- records
    uint32_t RecordCount() const { return count_; }
    uint16_t RecordLength() const { return layout_.recordLength; }
    // The record's bytes (deletion flag first). Valid until the next change of the file.
    const uint8_t* Record(uint32_t index) const;
    // The records' pages go back to the system (see MappedFile::ReleasePages).
    void ReleaseReadPages() const { map_.ReleasePages(); }
    bool IsDeleted(uint32_t index) const { return Record(index)[0] == '*'; }

    // Text form of a field (memo fields: the memo's text, or an "<memo ilizibil: ...>" marker).
    std::string Text(const uint8_t* record, int field, const FormatSettings& format) const;
    void AppendText(std::string& out, const uint8_t* record, int field,
                    const FormatSettings& format) const;
    bool IsEmpty(const uint8_t* record, int field) const;
    // The stored bytes of a memo value (for copying it unchanged); empty when there is none.
    MemoValue MemoBytes(const uint8_t* record, int field) const;
    // At most `limit` stored bytes of a memo value (MemoFile::ReadHead).
    MemoValue MemoHead(const uint8_t* record, int field, size_t limit) const;
    bool HasMemoFile() const { return memo_ != nullptr; }
    // A memo value's stored bytes by its field's layout (what the filter reads); empty when
    // there is none or it can't be read.
    std::string MemoStoredBytes(const uint8_t* record, const FieldLayout& field) const;

    // ---- another program changing the file while it is open
    // Throws DbfError(Io) when the file was shortened under us (it no longer holds the records
    // read from it, or a read found a lost page) or its header's lengths were rewritten.
    // CheckIntact asks the file system (a stat); CheckReads only looks whether a read since the
    // open found a lost page, cheap enough for every value read.
    void CheckIntact() const;
    void CheckReads() const {
        if (map_.Lost()) ThrowChanged("o parte din el nu mai exista");
    }

    // ---- changes
    // Takes the table's write lock (held until the file is closed); throws DbfError(Io) with a
    // Romanian message when another program or handle is writing it, or has replaced it since
    // this open. Every change takes it first; a rewrite of the file takes it before it starts.
    void LockForWriting() const;
    bool Writable() const { return handle_.Writable(); }
    // One in-place write (a post, a delete, an undo) holds the write lock only while it writes,
    // so another window can write the table between: BeginWrite takes it (and refuses when the
    // rows on disk are no longer those this open counted), EndWrite lets it go unless appended
    // rows still wait in memory or a rewrite holds it.
    void BeginWrite();
    void EndWrite();
    // Another window of this program has the file open (marked when it opened it).
    bool OpenElsewhere() const { return handle_.OthersMarkedOpen(); }
    void MarkOpen() { handle_.MarkOpen(); }
    void WriteRecord(uint32_t index, const uint8_t* record);
    // Returns its index. With defer, the record may wait in memory (readable at once) and go to
    // the file with the next ones in one write: loops of appends then cost one write per batch.
    uint32_t AppendRecord(const uint8_t* record, bool defer = false);
    // Writes the appended records still waiting, then the header's record count.
    void FlushAppends();
    void SetDeleted(uint32_t index, bool deleted);
    // Marks records deleted, or recalls them (indexes ascending); records close together go out
    // in one write, so marking a million rows is not a million writes.
    void SetDeletedMany(const std::vector<uint32_t>& records, bool deleted = true);
    // Stores a memo value in new blocks and returns the block to put in the record.
    uint32_t WriteMemo(std::string_view bytes, uint32_t type = 1);
    // Header (record count, last-update date) written and both files flushed to disk.
    void Flush();
    // How many changes of records this open made: what was found in the rows before stays
    // true while it is the same.
    uint64_t Writes() const { return writes_; }

    // ---- index files
    // The table's index (its production index and the attached files), read at the first need;
    // nullptr when it has none, or its index can't be read (IndexDamage says why).
    IndexSet* Indexes() const;
    const std::string& IndexDamage() const;
    // Every index file the table has (production and attached), whether readable or not.
    std::vector<std::string> IndexFiles() const;
    const DbfOpenOptions& OpenOptions() const { return options_; }
    // Why the index can't be kept current through a change (tags we can't compute, damage);
    // empty when it can, or there is none.
    std::string IndexObstacle() const;
    // Takes the index off the table: header flag cleared and index files removed ("Sterge
    // Index"); the change that follows no longer updates it.
    void DetachIndexFiles();

  private:
    DbfFile() = default;
    void IndexBeforeChange();
    [[noreturn]] void ThrowChanged(const std::string& what) const;
    void BeforeFirstChange();
    void TakeLock() const;
    void WriteHeaderCount();
    void CountersToFields();  // what Fields() says of the autoincrement counters
    void Remap();
    std::string TextSample() const;

    std::string path_;
    DbfLayout layout_;
    HeaderInfo info_;
    std::shared_ptr<const CodePage> codePage_;
    FieldCodec codec_{layout_, *CodePage::Get("cp1250")};
    std::vector<FieldDef> fields_;
    std::vector<size_t> visible_;  // visible field -> index in layout_.fields
    mutable FileHandle handle_;    // mutable: locking a file read elsewhere changes nothing in it
    MappedFile map_;
    uint32_t count_ = 0;
    uint32_t mappedCount_ = 0;  // records readable from map_
    std::string tail_;          // records appended since the mapping
    uint32_t pendingFrom_ = 0;  // appended records from here on are not in the file yet
    std::string appendScratch_;
    std::unique_ptr<MemoFile> memo_;
    std::string memoProblem_;  // why memo values can't be read, when the memo file is missing
    bool changed_ = false;
    mutable bool lockHeld_ = false;  // a rewrite took the lock: it stays until the file closes
    bool numbersRows_ = false;       // Visual FoxPro autoincrement fields to number
    bool countersWaiting_ = false;   // their counters moved since the header was written
    DbfOpenOptions options_;
    uint64_t writes_ = 0;
    mutable std::unique_ptr<IndexSet> indexes_;
    mutable bool indexesRead_ = false;
    mutable std::string indexDamage_;
};

// Clears the production-index flag (header byte 28) of a DBF file and deletes its .mdx and .cdx
// files (the path without its extension + ".mdx"/".cdx", whatever the letter case of the name)
// and the attached files named. Does nothing when the file can't be opened for writing; a
// missing index file is no error. Throws DbfError(Io) when a write or a deletion fails.
void DetachIndex(const std::string& path, const std::vector<std::string>& attached = {});
// The table has a production index: its flag in the header, or an index file beside it.
bool HasIndex(const std::string& path);
// After a rewrite that already replaced the table and was told to leave its index behind: the
// old index files must go, but a failure to delete one can't undo the rewrite, so it is not
// reported.
void DropStaleIndex(const std::string& path,
                    const std::vector<std::string>& attached = {}) noexcept;

}  // namespace orbelan
