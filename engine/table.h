#pragma once
// The dataset over one DBF file: cursor, editing, filter, locate and notifications.
// Reading is lazy (the file is mapped); a change goes to the file when a row is posted.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/errors.h"
#include "engine/field_def.h"
#include "engine/format_settings.h"

namespace orbelan {

class CodePage;
class DbfFile;
struct DbfOpenOptions;
struct RewritePlan;

// Where the page text is read in came from.
enum class PageSource {
    Header,    // the language-driver byte
    CpgFile,   // the .cpg file beside the table
    Detected,  // guessed from the text
    Ascii,     // the text is pure ASCII: the default page, which reads it like any other
    Default,   // nothing to go by (no text at all)
    Override   // asked for (--codepage, "Citeste ca...")
};

// What the header says, for `orbelan info` and for the tests.
struct HeaderInfo {
    uint8_t version = 0;          // byte 0
    uint8_t languageDriver = 0;   // byte 29
    uint8_t productionIndex = 0;  // byte 28
    uint32_t recordCount = 0;     // physical rows, deleted ones included
    uint16_t headerLength = 0;
    uint16_t recordLength = 0;
    std::string codePage;  // the code page used to read text
    PageSource pageSource = PageSource::Default;
    int pageConfidence = 0;  // percent, for a detected page
    std::string cpgFile;     // the .cpg file that named it
    std::string memoFile;    // full path of the .dbt/.fpt file, empty when none
};

// Someone who shows the table (the grid model). Not called while controls are disabled;
// EnableControls() sends one DataReset instead.
class TableObserver {
  public:
    virtual ~TableObserver() = default;
    virtual void DataReset() = 0;          // opened, closed, filtered, structure or order changed
    virtual void RowChanged(int row) = 0;  // the visible row's values changed (edit buffer too)
    virtual void RowsInserted(int row, int count) = 0;
    virtual void RowsRemoved(int row, int count) = 0;
    virtual void CursorMoved(int row) = 0;  // -1 when there is no current row
};

using Bookmark = int64_t;  // physical record number from 0; -1 for none

// The single-index files the user attached to the table at a path (kept current with it).
using AttachedIndexLookup = std::function<std::vector<std::string>(const std::string& tablePath)>;
// Asked before a change when the table's index can't be kept current: true to go on without it
// once detach (which takes the index off the table) has run; see DbfOpenOptions::askAboutIndex.
using IndexQuestion = std::function<bool(const std::string& tablePath, const std::string& question,
                                         const std::function<void()>& detach)>;

class Table {
  public:
    enum class State { Inactive, Browse, Edit, Insert };

    Table();
    virtual ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // ---- naming and options (only while closed)
    void SetTableName(const std::string& path);  // full path; empty detaches
    const std::string& TableName() const;
    // Code page for tables whose language-driver byte names none (default cp1250).
    void SetDefaultCodePage(const std::string& name);
    // Forces a code page whatever the header says (the --codepage option); empty = none.
    void SetCodePageOverride(const std::string& name);
    const std::string& DefaultCodePage() const;
    const std::string& CodePageOverride() const;
    void SetFormatSettings(const FormatSettings& settings);
    const FormatSettings& Format() const;
    // What every open of a file gets about its index (any time; used from the next open).
    void SetIndexOptions(AttachedIndexLookup attached, IndexQuestion ask);
    // The options the table's file is opened with (code pages, index), for the file at path.
    DbfOpenOptions OpenOptionsFor(const std::string& path) const;

    // ---- open and close
    // Throws DbfError: CannotOpen for a missing or non-DBF file, Malformed for an inconsistent
    // header or a file shorter than the header promises, MissingIndex when byte 28 announces an
    // index whose .mdx/.cdx file is missing. Nothing is ever written by a failed open.
    virtual void Open();
    void Close();  // a pending edit is NOT posted here (CloseTable does that); it is cancelled
    bool Active() const;
    const HeaderInfo& Header() const;

    // ---- structure
    int FieldCount() const;
    const FieldDef& Field(int index) const;
    int FieldIndex(std::string_view name) const;  // case-insensitive; -1 when missing
    int FieldIndexOrThrow(std::string_view name) const;

    // ---- cursor over the visible rows (not deleted, passing the filter, in the current order)
    // Visible rows, the row being appended included; may scan the deletion flags once.
    int RecordCount();
    bool IsEmpty();
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;  // past the last row (or empty)
    bool Bof() const;
    int RecNo() const;       // current row among the visible rows, from 1; 0 when none
    void MoveTo(int row);    // visible row from 0; posts nothing, an edit must be finished first
    int CurrentRow() const;  // visible row from 0, -1 when none
    Bookmark GetBookmark() const;
    bool GotoBookmark(Bookmark bookmark);  // false when that row is no longer visible
    int64_t PhysicalRecNo() const;         // from 0, -1 when none

    // ---- values of the current row (the edit buffer while editing)
    std::string AsText(int field) const;
    std::string AsText(std::string_view name) const;
    int64_t AsInteger(
        int field) const;  // text form read as an integer; 0 when empty; throws on text
    bool IsNull(int field) const;
    // Any visible row without moving the cursor (for the grid); the edit buffer for the current
    // one.
    std::string TextAt(int row, int field);
    // The stored bytes of any visible row (the edit buffer for the row being edited) and the
    // file that reads them, for writers that walk every row without moving the cursor. The
    // pointer is valid until the table changes; nullptr when there is no such row.
    const uint8_t* RecordAt(int row);
    // The physical record of a visible row (from 0); -1 for none or the row being appended.
    int64_t RecordNumberAt(int row);
    // For a walk over every row: the file's pages read so far stop counting against the
    // program's memory. Pointers from RecordAt stay valid.
    void ReleaseReadPages();
    // While on, a scan through the rows (counting them, filtering) gives the pages back as it
    // goes: for a walk that reads a large table once. Off by default: a filter or a sort right
    // after would have to take every page again.
    void SetReleasingPagesWhileScanning(bool on);
    bool ReleasingPagesWhileScanning() const;
    const DbfFile& Data() const;  // throws DbfError(State) while closed

    // ---- deleted rows
    // While on, the rows the file still holds with a deletion mark are visible too, in their
    // place (off by default). Browse state; the rows are listed anew.
    void SetShowingDeleted(bool on);
    bool ShowingDeleted() const;
    bool IsDeletedAt(int row);  // the visible row carries a deletion mark
    // Clears the deletion mark of the current row. Browse state.
    void Recall();
    // Clears the marks of every visible deleted row, in as few writes as it can; how many.
    int RecallVisible();
    // Deleted records in the file, whatever the filter.
    int CountDeleted() const;

    // What a grid cell shows: a memo text's first line ("..." after it when more follows; no
    // more than maxChars characters read), "(BINAR, N octeti)" for a binary value, else TextAt.
    std::string CellTextAt(int row, int field, size_t maxChars = 200);

    // ---- editing
    State GetState() const;
    bool Modified() const;  // a value was set since Edit/Append
    void Edit();
    void Append();  // an empty row after the last, current, in Insert state
    void Post();    // writes the row; throws DbfError and stays in Edit/Insert when it can't
    void Cancel();
    void Delete();  // marks the current row deleted and hides it; the next row becomes current
    // Writes a record's bytes back as they were (undo and redo of an edit); the rows are listed
    // anew and that record becomes current when it is visible. Browse state only; no
    // AfterRecordWrite. The record's current bytes, for the caller to compare, by RawRecord.
    void PutRecord(uint32_t record, std::string_view bytes);
    std::string RawRecord(uint32_t record) const;
    // Another window of this program has the table open too.
    bool OpenElsewhere() const;
    // Setters convert to the field's type; a value the field can't take throws DbfError
    // (Conversion) and changes nothing. They put a browsing row into Edit state.
    void SetText(int field, std::string_view text);
    void SetText(std::string_view name, std::string_view text);
    void SetInteger(int field, int64_t value);
    void SetFloat(int field, double value);
    void SetDate(int field, int dayNumber);
    void SetNull(int field);
    // A memo field's value as stored bytes (a binary value loaded from a file), written by Post.
    void SetMemoBytes(int field, std::string bytes);

    // ---- order of an index tag: the rows shown in the tag's order, the file unchanged; an empty
    // name goes back to the file's order. Throws DbfError(State) when the table has no such tag.
    void SetIndexOrder(const std::string& tag);

    // ---- filter
    void SetFilterText(const std::string& expression);  // applied again when filtering is on
    const std::string& FilterText() const;
    // Throws DbfError (Filter) with the position of the fault; then filtering stays off.
    void SetFiltered(bool on);
    bool Filtered() const;

    // First visible row from `fromRow` on, in the current order, whose field equals text
    // exactly; it becomes current.
    bool Locate(std::string_view field, std::string_view text, int fromRow = 0);

    // ---- the grid following the cursor
    void DisableControls();
    void EnableControls();  // nests; the last one sends DataReset and CursorMoved
    bool ControlsDisabled() const;
    void AddObserver(TableObserver* observer);
    void RemoveObserver(TableObserver* observer);

    // ---- notifications (empty = none)
    std::function<void(Table&)> AfterOpen;
    std::function<void(Table&)> AfterClose;
    std::function<void(Table&)> AfterPost;
    // A record went to the file by Post or Delete: its bytes before (empty for a row added)
    // and after, for the edit journal.
    std::function<void(Table&, uint32_t record, std::string_view before, std::string_view after)>
        AfterRecordWrite;

    // ---- maintenance: rewrites the file without its deleted rows (new file, then rename).
    void Pack();
    // Replaces the file by the one plan writes and reopens on it (engine/rewrite.h); on
    // failure the old file is untouched and stays open. Browse state only.
    void Rewrite(const RewritePlan& plan);
    // Writes out what is buffered and flushes the file to disk.
    void Flush();

  protected:
    // ---- for datasets built on a table (Query over a SELECT's result)
    // Opens over a file opened elsewhere (the SELECT's source, or a temporary result table made
    // with DbfWriter or DbfFile::FromBytes); AfterOpen runs as for Open(). With readOnly every
    // change throws DbfError(State).
    void OpenOver(std::unique_ptr<DbfFile> file, bool readOnly);
    // Presents exactly these physical records, in this order (deleted ones stay hidden and the
    // filter still applies); ClearRowOrder goes back to the file order. Both send DataReset.
    void SetRowOrder(std::vector<uint32_t> records);
    void ClearRowOrder();
    DbfFile* File() const;  // nullptr while closed

    struct Impl;
    std::unique_ptr<Impl> d_;
};

// How a statement or a command opens the file of a table it reads or rewrites: in the table's
// code page (the one forced, else its default), whatever its index file says (a changed table
// detaches its index anyway, and a missing index must not stop reading the rows).
DbfOpenOptions FileOptionsOf(const Table& table);

}  // namespace orbelan
