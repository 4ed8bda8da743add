#include "engine/dbf_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ctime>

#include "engine/codepage_detect.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/index/index_set.h"

namespace orbelan {
namespace {

// Appended records are kept in memory up to this size, then the file is mapped again.
constexpr size_t kTailLimit = 8u << 20;
constexpr size_t kAppendBatch = 256u << 10;

void RemoveIndexFiles(const std::string& path, const std::vector<std::string>& attached) {
    for (const char* ext : {"mdx", "cdx"})
        for (std::string found = FindBesideTable(path, ext); !found.empty();
             found = FindBesideTable(path, ext))
            RemoveFile(found);
    for (const std::string& file : attached) RemoveFile(file);
}

// Writes a copy of the open file with header byte 28 set to value and renames it over path.
// beforeRename closes what holds the file open: Windows replaces no open file.
void CopyWithByte28(const FileHandle& handle, const std::string& path, uint8_t value,
                    const std::function<void()>& beforeRename) {
    TempFile copy(path);
    std::string chunk(size_t{1} << 20, '\0');
    const uint64_t size = handle.Size();
    for (uint64_t at = 0; at < size;) {
        const size_t n = handle.ReadAt(at, chunk.data(), chunk.size());
        if (n == 0) break;
        copy.Write(chunk.data(), n);
        at += n;
    }
    copy.WriteAt(28, &value, 1);
    copy.Finish();
    beforeRename();
    copy.RenameOverTarget();
}

// Byte 28 without the index: FoxPro keeps its other flags (memo, database) in that byte.
uint8_t WithoutIndexFlag(uint8_t byte28, DbfFamily family) {
    return IsFoxFamily(family) ? (byte28 & 0xFE) : 0;
}

// A check of every key reads the whole table: done before the first change of tables up to this
// many rows, where it costs a blink; a larger one's damage shows when a key can't be updated.
constexpr uint32_t kCheckBeforeChangeRows = 200000;

}  // namespace

DbfFile::~DbfFile() {
    // Table::Close flushes and reports failures; this is the last chance for anything left.
    try {
        FlushAppends();
    } catch (const DbfError&) {
    }
}

std::unique_ptr<DbfFile> DbfFile::Open(const std::string& path, const DbfOpenOptions& options) {
    std::unique_ptr<DbfFile> f(new DbfFile());
    f->path_ = path;
    f->options_ = options;
    // A rewrite killed among its renames left the new files to be put in place; one killed
    // midway on Windows may have left the table only under its backup name.
    FinishInterruptedReplace(path);
    if (!FileExists(path)) PutBackLoneBackup(path);
    f->handle_ = FileHandle::OpenReadWriteIfAllowed(path);
    f->map_ = f->handle_.Map();
    f->layout_ = ParseHeader(f->map_.Data(), f->map_.Size(), path);
    const DbfLayout& L = f->layout_;
    f->numbersRows_ = std::any_of(L.fields.begin(), L.fields.end(),
                                  [](const FieldLayout& x) { return x.def.IsAutoIncrement(); });

    if (options.checkProductionIndex && (L.productionIndex & 0x01) &&
        FindProductionIndex(path, L).empty()) {
        const std::string expected =
            PathWithoutExtension(path) + (IsFoxFamily(L.family) ? ".cdx" : ".mdx");
        throw DbfError(
            ErrorKind::MissingIndex,
            "Fisierul " + path + " anunta un index de productie (" + expected + ") care lipseste.");
    }

    HeaderInfo& info = f->info_;
    const std::string defaultPage =
        options.defaultCodePage.empty() ? "cp1250" : options.defaultCodePage;
    std::string cpg;
    if (!options.codePageOverride.empty()) {
        f->codePage_ = CodePage::Get(options.codePageOverride);
        info.pageSource = PageSource::Override;
    } else if (auto cp = CodePage::FromLanguageDriver(L.languageDriver)) {
        f->codePage_ = cp;
        info.pageSource = PageSource::Header;
    } else if (cpg = PageOfCpgFile(path, &info.cpgFile); !cpg.empty()) {
        f->codePage_ = CodePage::Get(cpg);
        info.pageSource = PageSource::CpgFile;
    } else {
        f->codePage_ = CodePage::Get(defaultPage);
        info.pageSource = PageSource::Default;
    }
    f->codec_ = FieldCodec(f->layout_, *f->codePage_);

    for (size_t i = 0; i < L.fields.size(); ++i) {
        if (L.fields[i].system) continue;
        f->visible_.push_back(i);
        f->fields_.push_back(L.fields[i].def);
    }
    f->count_ = f->mappedCount_ = f->pendingFrom_ = L.recordCount;

    info.version = L.version;
    info.languageDriver = L.languageDriver;
    info.productionIndex = L.productionIndex;
    info.recordCount = L.recordCount;
    info.headerLength = L.headerLength;
    info.recordLength = L.recordLength;
    info.codePage = f->codePage_->Name();
    info.memoFile = MemoPathFor(path, L);
    if (!info.memoFile.empty()) {
        if (!FileExists(info.memoFile)) PutBackLoneBackup(info.memoFile);
        if (FileExists(info.memoFile)) {
            f->memo_ = MemoFile::Open(info.memoFile, L.memo);
        } else {
            f->memoProblem_ = "<memo ilizibil: fisierul " + info.memoFile + " lipseste>";
        }
    }
    if (info.pageSource == PageSource::Default) {
        const std::string sample = f->TextSample();
        if (!sample.empty()) {
            const PageGuess guess = GuessCodePage(sample, defaultPage);
            info.pageSource = guess.ascii ? PageSource::Ascii : PageSource::Detected;
            info.pageConfidence = guess.confidence;
            f->codePage_ = CodePage::Get(guess.page);
            f->codec_ = FieldCodec(f->layout_, *f->codePage_);
            info.codePage = f->codePage_->Name();
        }
    }
    return f;
}

// Text fields of records spread over the whole file and the first memo texts, a bounded amount
// whatever the table's size: opening stays instant on a million rows.
std::string DbfFile::TextSample() const {
    constexpr size_t kFieldBudget = 512u << 10;
    constexpr size_t kMemoBudget = 128u << 10;
    std::vector<int> text, memo;
    size_t width = 0;
    for (int i = 0; i < FieldCount(); ++i) {
        const FieldDef& def = fields_[static_cast<size_t>(i)];
        if (def.type == 'C' || def.type == 'V') {
            text.push_back(i);
            width += static_cast<size_t>(def.size) + 1;
        } else if (def.type == 'M' && memo_) {
            memo.push_back(i);
        }
    }
    std::string sample;
    if ((text.empty() && memo.empty()) || count_ == 0) return sample;
    const size_t rows = width == 0 ? 0 : std::max<size_t>(1, kFieldBudget / width);
    const double step = rows >= count_ ? 1.0 : static_cast<double>(count_) / rows;
    for (double r = 0; r < count_; r += step) {
        const uint8_t* rec = Record(static_cast<uint32_t>(r));
        for (const int i : text) {
            const FieldLayout& f = FieldAt(i);
            sample.append(reinterpret_cast<const char*>(rec) + f.def.offset,
                          static_cast<size_t>(f.def.size));
            sample += ' ';
        }
    }
    size_t memoBytes = 0;
    for (uint32_t r = 0; r < count_ && memoBytes < kMemoBudget && !memo.empty(); ++r) {
        for (const int i : memo) {
            MemoValue v = MemoBytes(Record(r), i);
            if (!v.ok || v.type != 1 || v.bytes.empty()) continue;
            if (v.bytes.size() > 4096) v.bytes.resize(4096);
            memoBytes += v.bytes.size();
            sample += v.bytes;
            sample += ' ';
        }
        if (r > 2000 && memoBytes == 0) break;  // memo fields left empty
    }
    return sample;
}

std::string DbfFile::HeaderBytes() const {
    return std::string(reinterpret_cast<const char*>(map_.Data()), layout_.headerLength);
}

int DbfFile::FieldIndex(std::string_view name) const {
    return FindField(fields_, name);
}

const uint8_t* DbfFile::Record(uint32_t index) const {
    if (index < mappedCount_)
        return map_.Data() + layout_.headerLength +
               static_cast<size_t>(index) * layout_.recordLength;
    return reinterpret_cast<const uint8_t*>(tail_.data()) +
           static_cast<size_t>(index - mappedCount_) * layout_.recordLength;
}

MemoValue DbfFile::MemoBytes(const uint8_t* record, int field) const {
    return MemoHead(record, field, SIZE_MAX);
}

MemoValue DbfFile::MemoHead(const uint8_t* record, int field, size_t limit) const {
    const FieldLayout& f = FieldAt(field);
    const auto block = codec_.MemoBlock(record, f);
    MemoValue v;
    if (!block) {
        v.ok = false;
        v.bytes = "<memo ilizibil: adresa blocului nu este un numar>";
        return v;
    }
    if (*block == 0) return v;
    if (!memo_) {
        v.ok = false;
        v.bytes = memoProblem_.empty() ? "<memo ilizibil: fisierul memo lipseste>" : memoProblem_;
        return v;
    }
    return limit == SIZE_MAX ? memo_->Read(*block) : memo_->ReadHead(*block, limit);
}

std::string DbfFile::MemoStoredBytes(const uint8_t* record, const FieldLayout& field) const {
    const auto block = codec_.MemoBlock(record, field);
    if (!block || *block == 0 || !memo_) return {};
    MemoValue v = memo_->Read(*block);
    return v.ok ? std::move(v.bytes) : std::string();
}

std::string DbfFile::Text(const uint8_t* record, int field, const FormatSettings& format) const {
    std::string out;
    AppendText(out, record, field, format);
    return out;
}

void DbfFile::AppendText(std::string& out, const uint8_t* record, int field,
                         const FormatSettings& format) const {
    const FieldLayout& f = FieldAt(field);
    if (!f.def.IsMemo() || (f.def.type == 'B' && f.def.size == 8)) {
        codec_.AppendText(out, record, f, format);
        return;
    }
    MemoValue v = MemoBytes(record, field);
    if (!v.ok)
        out += v.bytes;
    else
        codePage_->AppendDecoded(v.bytes, out);
}

bool DbfFile::IsEmpty(const uint8_t* record, int field) const {
    return codec_.IsEmpty(record, FieldAt(field));
}

void DbfFile::ThrowChanged(const std::string& what) const {
    throw DbfError(ErrorKind::Io, "Fisierul " + path_ +
                                      " a fost schimbat de alt program cat timp era deschis (" +
                                      what + "). Inchideti tabelul si deschideti-l din nou.");
}

void DbfFile::CheckIntact() const {
    CheckReads();
    const uint64_t need =
        layout_.headerLength + static_cast<uint64_t>(pendingFrom_) * layout_.recordLength;
    const uint64_t size = handle_.Size();
    if (size < need)
        ThrowChanged("acum are " + std::to_string(size) + " octeti, nu cel putin " +
                     std::to_string(need));
    // Header and record lengths (bytes 8-11) as the open read them; the mapping shows a rewrite.
    const uint8_t* h = map_.Data();
    if (h == nullptr || map_.Size() < 12) return;
    const unsigned header = h[8] | (h[9] << 8);
    const unsigned record = h[10] | (h[11] << 8);
    CheckReads();  // reading those bytes may have found them gone
    if (header != layout_.headerLength || record != layout_.recordLength)
        ThrowChanged("antetul lui s-a schimbat");
}

void DbfFile::LockForWriting() const {
    TakeLock();
    lockHeld_ = true;
}

void DbfFile::TakeLock() const {
    if (!handle_.TryLockForWriting())
        throw DbfError(ErrorKind::Io, "Tabelul " + path_ +
                                          " este modificat acum de alt program (sau de alta "
                                          "fereastra). Incercati din nou dupa ce acesta termina.");
    if (handle_.Replaced()) ThrowChanged("a fost inlocuit cu altul");
}

void DbfFile::BeginWrite() {
    if (!handle_.Writable() || handle_.LockedForWriting()) return;
    TakeLock();
    // Rows another window appended while the lock was free would be overwritten by ours.
    uint8_t n[4] = {};
    if (handle_.ReadAt(4, n, 4) == 4) {
        const uint32_t onDisk = n[0] | (n[1] << 8) | (n[2] << 16) | (uint32_t(n[3]) << 24);
        if (onDisk != pendingFrom_) {
            handle_.UnlockWriting();
            ThrowChanged("are acum " + std::to_string(onDisk) + " linii, nu " +
                         std::to_string(pendingFrom_));
        }
    }
}

void DbfFile::EndWrite() {
    if (!lockHeld_ && pendingFrom_ == count_) handle_.UnlockWriting();
}

void DbfFile::BeforeFirstChange() {
    BeginWrite();
    ++writes_;
    if (changed_) return;
    CheckIntact();
    if (!handle_.Writable())
        throw DbfError(ErrorKind::Io, "Fisierul " + path_ + " poate fi doar citit, nu si scris.");
    IndexBeforeChange();
    // Last-update date, bytes 1-3.
    const std::time_t now = std::time(nullptr);
    if (const std::tm* tm = std::localtime(&now)) {
        const uint8_t date[3] = {static_cast<uint8_t>(tm->tm_year % 256),
                                 static_cast<uint8_t>(tm->tm_mon + 1),
                                 static_cast<uint8_t>(tm->tm_mday)};
        handle_.WriteAt(1, date, 3);
    }
    changed_ = true;
}

void DbfFile::WriteRecord(uint32_t index, const uint8_t* record) {
    BeforeFirstChange();
    CheckIntact();
    // The keys first: an update that fails leaves the row as the index still has it.
    if (indexes_) indexes_->UpdateRecord(*this, index, Record(index), record);
    if (index >= pendingFrom_) {  // still waiting to be written: change it in memory only
        std::memcpy(tail_.data() + static_cast<size_t>(index - mappedCount_) * layout_.recordLength,
                    record, layout_.recordLength);
        return;
    }
    const uint64_t at = layout_.headerLength + static_cast<uint64_t>(index) * layout_.recordLength;
    handle_.WriteAt(at, record, layout_.recordLength);
    if (index >= mappedCount_)
        std::memcpy(tail_.data() + static_cast<size_t>(index - mappedCount_) * layout_.recordLength,
                    record, layout_.recordLength);
}

void DbfFile::SetDeleted(uint32_t index, bool deleted) {
    BeforeFirstChange();
    CheckIntact();
    const uint8_t flag = deleted ? '*' : ' ';
    if (indexes_ && Record(index)[0] != flag) {
        std::string changed(reinterpret_cast<const char*>(Record(index)), layout_.recordLength);
        changed[0] = static_cast<char>(flag);
        indexes_->UpdateRecord(*this, index, Record(index),
                               reinterpret_cast<const uint8_t*>(changed.data()));
    }
    if (index >= pendingFrom_) {
        tail_[static_cast<size_t>(index - mappedCount_) * layout_.recordLength] =
            static_cast<char>(flag);
        return;
    }
    handle_.WriteAt(layout_.headerLength + static_cast<uint64_t>(index) * layout_.recordLength,
                    &flag, 1);
    if (index >= mappedCount_)
        tail_[static_cast<size_t>(index - mappedCount_) * layout_.recordLength] =
            static_cast<char>(flag);
}

void DbfFile::SetDeletedMany(const std::vector<uint32_t>& records, bool deleted) {
    if (records.empty()) return;
    BeforeFirstChange();
    CheckIntact();
    FlushAppends();
    if (indexes_) {
        const char flag = deleted ? '*' : ' ';
        std::string changed;
        for (const uint32_t r : records) {
            if (static_cast<char>(Record(r)[0]) == flag) continue;
            changed.assign(reinterpret_cast<const char*>(Record(r)), layout_.recordLength);
            changed[0] = flag;
            indexes_->UpdateRecord(*this, r, Record(r),
                                   reinterpret_cast<const uint8_t*>(changed.data()));
        }
    }
    // A span of records is written back whole (the records between keep their bytes), up to
    // 4 MB at a time and only across small gaps.
    const size_t length = layout_.recordLength;
    const size_t maxSpan = std::max<size_t>(1, (4u << 20) / length);
    std::string span;
    for (size_t i = 0; i < records.size();) {
        size_t j = i + 1;
        while (j < records.size() && records[j] > records[j - 1] &&
               records[j] - records[j - 1] <= 64 && records[j] - records[i] < maxSpan)
            ++j;
        const uint32_t first = records[i];
        const size_t count = records[j - 1] - first + 1;
        span.resize(count * length);
        for (size_t k = 0; k < count; ++k)
            std::memcpy(span.data() + k * length, Record(first + static_cast<uint32_t>(k)), length);
        const char flag = deleted ? '*' : ' ';
        for (size_t k = i; k < j; ++k) span[(records[k] - first) * length] = flag;
        handle_.WriteAt(layout_.headerLength + static_cast<uint64_t>(first) * length, span.data(),
                        span.size());
        for (size_t k = i; k < j; ++k)
            if (records[k] >= mappedCount_)
                tail_[static_cast<size_t>(records[k] - mappedCount_) * length] = flag;
        i = j;
    }
}

uint32_t DbfFile::AppendRecord(const uint8_t* record, bool defer) {
    BeforeFirstChange();
    if (count_ == 0xFFFFFFFFu)
        throw DbfError(ErrorKind::Io, "Tabelul " + path_ + " nu mai poate primi linii.");
    const uint32_t index = count_;
    tail_.append(reinterpret_cast<const char*>(record), layout_.recordLength);
    std::vector<FieldLayout> counters;  // as they were, for a row that can't be written
    if (numbersRows_) {
        counters = layout_.fields;
        NumberNewRow(layout_, reinterpret_cast<uint8_t*>(tail_.data()) + tail_.size() -
                                  layout_.recordLength);
        countersWaiting_ = true;
        CountersToFields();
    }
    ++count_;
    const size_t waiting = static_cast<size_t>(count_ - pendingFrom_) * layout_.recordLength;
    if (!defer || waiting >= kAppendBatch) {
        try {
            FlushAppends();
        } catch (...) {
            // This row was not posted; the ones waiting before it stay for the next attempt.
            tail_.resize(tail_.size() - layout_.recordLength);
            --count_;
            if (numbersRows_) {
                layout_.fields = counters;  // its numbers stay free
                CountersToFields();
            }
            throw;
        }
    }
    if (indexes_) indexes_->AppendRecord(*this, index, Record(index));
    // The row is in the file now; a mapping that can't be renewed just keeps the tail longer.
    if (tail_.size() >= kTailLimit) {
        try {
            Remap();
        } catch (const DbfError&) {
        }
    }
    return index;
}

void DbfFile::CountersToFields() {
    for (size_t i = 0; i < visible_.size(); ++i)
        fields_[i].autoNext = layout_.fields[visible_[i]].def.autoNext;
}

void DbfFile::FlushAppends() {
    if (pendingFrom_ == count_) return;
    CheckIntact();  // appending after a shortened file's end would leave a hole of zeros
    const size_t length = layout_.recordLength;
    const size_t from = static_cast<size_t>(pendingFrom_ - mappedCount_) * length;
    // The records and the end-of-file mark in one write, then the count that makes them rows.
    std::string& bytes = appendScratch_;
    bytes.assign(tail_, from, std::string::npos);
    bytes += '\x1A';
    handle_.WriteAt(layout_.headerLength + static_cast<uint64_t>(pendingFrom_) * length,
                    bytes.data(), bytes.size());
    if (countersWaiting_) {
        for (const auto& [offset, counter] : AutoIncrementCounters(layout_))
            handle_.WriteAt(offset, counter.data(), counter.size());
        countersWaiting_ = false;
    }
    WriteHeaderCount();
    pendingFrom_ = count_;
}

void DbfFile::WriteHeaderCount() {
    uint8_t n[4];
    for (int i = 0; i < 4; ++i) n[i] = static_cast<uint8_t>(count_ >> (8 * i));
    handle_.WriteAt(4, n, 4);
    info_.recordCount = layout_.recordCount = count_;
}

void DbfFile::Remap() {
    FlushAppends();
    MappedFile fresh = handle_.Map();
    const uint64_t need =
        layout_.headerLength + static_cast<uint64_t>(count_) * layout_.recordLength;
    if (fresh.Size() < need) return;  // keep the tail; someone shortened the file under us
    map_ = std::move(fresh);
    mappedCount_ = count_;
    tail_.clear();
}

uint32_t DbfFile::WriteMemo(std::string_view bytes, uint32_t type) {
    if (!memo_)
        throw DbfError(ErrorKind::Io, "Fisierul memo " + info_.memoFile +
                                          " lipseste; valoarea memo nu poate fi scrisa.");
    BeforeFirstChange();
    return memo_->Append(bytes, type);
}

void DbfFile::Flush() {
    if (!changed_) return;
    FlushAppends();
    if (indexes_) indexes_->Flush();
    handle_.Sync();
    if (memo_ && memo_->Path().size()) memo_->Sync();
}

IndexSet* DbfFile::Indexes() const {
    if (!indexesRead_) {
        indexesRead_ = true;
        try {
            if ((layout_.productionIndex & 0x01) || !options_.attachedIndexes.empty()) {
                auto set = IndexSet::Open(*this, options_.attachedIndexes);
                if (!set->Empty()) indexes_ = std::move(set);
            }
        } catch (const DbfError& e) {
            // A missing file is no index to keep: the open repairs the header (see Workspace).
            if (e.Kind() != ErrorKind::MissingIndex) indexDamage_ = e.what();
        }
    }
    return indexes_.get();
}

const std::string& DbfFile::IndexDamage() const {
    Indexes();
    return indexDamage_;
}

std::vector<std::string> DbfFile::IndexFiles() const {
    std::vector<std::string> files;
    if (layout_.productionIndex & 0x01) {
        try {
            const std::string production = FindProductionIndex(path_, layout_);
            if (!production.empty()) files.push_back(production);
        } catch (const DbfError&) {
        }
    }
    for (const std::string& f : options_.attachedIndexes)
        if (FileExists(f)) files.push_back(f);
    return files;
}

std::string DbfFile::IndexObstacle() const {
    const IndexSet* set = Indexes();
    if (!indexDamage_.empty()) return "Indexul tabelului nu poate fi citit: " + indexDamage_;
    if (!set) return {};
    std::string why;
    for (const std::string& line : set->Unkeepable()) why += "\n" + line;
    if (!why.empty()) return "Programul nu poate tine la zi aceste etichete de index:" + why;
    if (count_ <= kCheckBeforeChangeRows) {
        const std::vector<IndexProblem> problems = set->Check(*this);
        for (size_t i = 0; i < problems.size() && i < 5; ++i)
            why += "\n" + problems[i].file +
                   (problems[i].tag.empty() ? "" : " " + problems[i].tag) + ": " + problems[i].what;
        if (!why.empty()) return "Indexul tabelului nu se potriveste cu randurile lui:" + why;
    }
    return {};
}

void DbfFile::IndexBeforeChange() {
    const std::string obstacle = IndexObstacle();
    if (obstacle.empty()) return;
    const std::string question =
        obstacle +
        "\nDaca continuati, indexul este scos de pe tabel (ca la \"Sterge Index\") si aplicatia "
        "care foloseste tabelul va trebui sa-si refaca indexul. Continuati?";
    bool detached = false;
    const auto detach = [&] {
        DetachIndexFiles();
        detached = true;
    };
    if (!options_.askAboutIndex || !options_.askAboutIndex(path_, question, detach) || !detached)
        throw DbfError(ErrorKind::State, obstacle + "\nTabelul nu a fost schimbat.");
}

void DbfFile::DetachIndexFiles() {
    BeginWrite();
    FlushAppends();
    const uint8_t cleared = WithoutIndexFlag(layout_.productionIndex, layout_.family);
    if (cleared != layout_.productionIndex) {
        // The header goes into a copy put in place by rename, not into the file: a restore point
        // may hold the old table under a second name (a hard link), which must keep its flag.
        CopyWithByte28(handle_, path_, cleared, [this] {
#ifdef _WIN32
            map_.Reset();
            handle_.Close();
            lockHeld_ = false;
#endif
        });
        SyncFolderOf(path_);
        handle_ = FileHandle::OpenReadWriteIfAllowed(path_);
        TakeLock();
        map_ = handle_.Map();
        mappedCount_ = count_;
        tail_.clear();
        layout_.productionIndex = info_.productionIndex = cleared;
    }
    indexes_.reset();
    indexDamage_.clear();
    indexesRead_ = true;
    RemoveIndexFiles(path_, options_.attachedIndexes);
    options_.attachedIndexes.clear();
}

void DetachIndex(const std::string& path, const std::vector<std::string>& attached) {
    FileHandle h;
    try {
        h = FileHandle::OpenReadWrite(path);
    } catch (const DbfError&) {
        return;
    }
    uint8_t head[32] = {};
    if (h.ReadAt(0, head, sizeof head) >= 29) {
        const auto family = FamilyOfVersion(head[0]);
        const uint8_t cleared = family ? WithoutIndexFlag(head[28], *family) : 0;
        // A copy renamed in place, as DetachIndexFiles does: a restore point's second name of
        // the table keeps the old header.
        if (cleared != head[28]) {
            CopyWithByte28(h, path, cleared, [&h] { h.Close(); });
            SyncFolderOf(path);
        }
    }
    h.Close();
    RemoveIndexFiles(path, attached);
}

bool HasIndex(const std::string& path) {
    for (const char* ext : {"mdx", "cdx"})
        if (!FindBesideTable(path, ext).empty()) return true;
    try {
        FileHandle h = FileHandle::OpenRead(path);
        uint8_t head[29] = {};
        return h.ReadAt(0, head, sizeof head) == sizeof head && (head[28] & 0x01) != 0;
    } catch (const DbfError&) {
        return false;
    }
}

void DropStaleIndex(const std::string& path, const std::vector<std::string>& attached) noexcept {
    try {
        DetachIndex(path, attached);
    } catch (const std::exception&) {
    }
}

}  // namespace orbelan
