#include "engine/dbf_writer.h"

#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include "engine/byte_order.h"
#include "engine/codepage_detect.h"
#include "engine/date_util.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/field_value.h"
#include "engine/memo_file.h"
#include "engine/utf8_path.h"

namespace orbelan {

DbfWriter::DbfWriter(const std::string& target, const Definition& definition) {
    layout_.family = FamilyOfVersion(definition.version).value_or(DbfFamily::DBase3);
    for (const FieldDef& d : definition.fields) {
        FieldLayout f;
        f.def = d;
        f.def.type = static_cast<char>(std::toupper(static_cast<unsigned char>(d.type)));
        layout_.fields.push_back(f);
    }
    LayoutNewTable(layout_);
    layout_.version = NewTableVersion(layout_.family, layout_.HasMemoFields(), definition.version);
    codePage_ = CodePage::Get(definition.codePage);
    copyMemoFrom_ = definition.copyMemoFrom;
    freshMemo_ = definition.freshMemo;
    memoTarget_ = MemoPathFor(target, layout_);
    memoNeeded_ = layout_.memo != MemoKind::None && !FileExists(memoTarget_);
    const uint8_t languageDriver = definition.languageDriver >= 0
                                       ? static_cast<uint8_t>(definition.languageDriver)
                                       : codePage_->LanguageDriver();
    Start(target, BuildHeader(layout_, languageDriver));
}

std::unique_ptr<DbfWriter> DbfWriter::SameStructureAs(const DbfFile& source,
                                                      const std::string& target) {
    std::unique_ptr<DbfWriter> w(new DbfWriter());
    w->layout_ = source.Layout();
    w->layout_.recordCount = 0;
    w->layout_.productionIndex &= 0xFE;  // the index is not rebuilt
    w->codePage_ = source.PagePtr();
    std::string header = source.HeaderBytes();
    PutLE32(header, 4, 0);
    header[28] = static_cast<char>(w->layout_.productionIndex);
    const std::time_t now = std::time(nullptr);
    if (const std::tm* tm = std::localtime(&now)) {
        header[1] = static_cast<char>(tm->tm_year % 256);
        header[2] = static_cast<char>(tm->tm_mon + 1);
        header[3] = static_cast<char>(tm->tm_mday);
    }
    w->copyMemoFrom_ = source.Info().memoFile;
    w->memoTarget_ = MemoPathFor(target, w->layout_);
    w->memoNeeded_ = w->layout_.memo != MemoKind::None &&
                     (w->memoTarget_ != w->copyMemoFrom_ || !FileExists(w->memoTarget_));
    w->Start(target, header);
    return w;
}

void DbfWriter::Start(const std::string& target, const std::string& header) {
    target_ = target;
    codec_ = std::make_unique<FieldCodec>(layout_, *codePage_);
    for (size_t i = 0; i < layout_.fields.size(); ++i) {
        if (layout_.fields[i].system) continue;
        visible_.push_back(i);
        fields_.push_back(layout_.fields[i].def);
    }
    row_.assign(layout_.recordLength, ' ');
    const auto byte = static_cast<uint8_t>(header.size() > 29 ? header[29] : 0);
    const std::shared_ptr<const CodePage> named = CodePage::FromLanguageDriver(byte);
    const std::string cpg = CpgPathFor(target);
    if (!named || FileExists(cpg)) cpgTarget_ = cpg;
    byte28_ = static_cast<uint8_t>(header.size() > 28 ? header[28] : 0);
    table_ = std::make_unique<TempFile>(target);
    table_->Write(header.data(), header.size());
}

DbfWriter::~DbfWriter() {
    if (!done_) Abort();
}

int DbfWriter::FieldIndex(std::string_view name) const {
    return FindField(fields_, name);
}

void DbfWriter::AddRecord(const uint8_t* record) {
    table_->Write(record, layout_.recordLength);
    ++count_;
}

void DbfWriter::AddRecordsOf(const DbfFile& source) {
    const size_t length = layout_.recordLength;
    if (source.RecordLength() != length)
        throw DbfError(ErrorKind::State, "Tabelul " + source.Path() + " are alta structura.");
    // The records lie one after another in long runs (the mapped file, then the rows not yet
    // in it): a run is written in one go.
    const uint32_t count = source.RecordCount();
    for (uint32_t first = 0; first < count;) {
        uint32_t end = first + 1;
        while (end < count && source.Record(end) == source.Record(end - 1) + length) ++end;
        table_->Write(source.Record(first), (end - first) * length);
        count_ += end - first;
        first = end;
    }
}

void DbfWriter::NumberRow() {
    NumberNewRow(layout_, Row());
    for (size_t i = 0; i < visible_.size(); ++i)
        fields_[i].autoNext = layout_.fields[visible_[i]].def.autoNext;
    numbered_ = true;
}

void DbfWriter::BeginRow() {
    pendingMemo_.clear();  // blocks of a row begun and never ended
    codec_->BlankRecord(reinterpret_cast<uint8_t*>(row_.data()));
    inRow_ = true;
}

void DbfWriter::SetText(int field, std::string_view text, const FormatSettings& format) {
    const FieldLayout& f = layout_.fields[visible_[static_cast<size_t>(field)]];
    if (f.def.IsMemo() && !(f.def.type == 'B' && f.def.size == 8)) {
        SetMemo(field, text);
        return;
    }
    codec_->SetText(reinterpret_cast<uint8_t*>(row_.data()), f, text, format);
}

void DbfWriter::SetDouble(int field, double value, const FormatSettings& format) {
    codec_->SetDouble(reinterpret_cast<uint8_t*>(row_.data()),
                      layout_.fields[visible_[static_cast<size_t>(field)]], value, format);
}

void DbfWriter::SetDate(int field, int dayNumber, const FormatSettings& format) {
    const FieldLayout& f = layout_.fields[visible_[static_cast<size_t>(field)]];
    if (f.def.IsMemo() && !(f.def.type == 'B' && f.def.size == 8)) {
        SetMemo(field, FormatDate(dayNumber, format.shortDateFormat));
        return;
    }
    codec_->SetDate(reinterpret_cast<uint8_t*>(row_.data()), f, dayNumber, format);
}

void DbfWriter::SetRaw(int field, const uint8_t* bytes) {
    const FieldDef& d = layout_.fields[visible_[static_cast<size_t>(field)]].def;
    std::memcpy(row_.data() + d.offset, bytes, static_cast<size_t>(d.size));
}

void DbfWriter::SetMemo(int field, std::string_view utf8) {
    SetMemoBytes(field, codePage_->Encode(utf8));
}

// Where the new memo file starts from: the memo file the table had (so every pointer into it
// stays valid), or none.
void DbfWriter::PrepareMemo() {
    if (memoReady_) return;
    std::string base;
    if (!copyMemoFrom_.empty() && FileExists(copyMemoFrom_))
        base = copyMemoFrom_;
    else if (!freshMemo_ && FileExists(memoTarget_))
        base = memoTarget_;
    memoBase_ = base;
    if (!base.empty()) {
        memoBlockSize_ = MemoFile::Open(base, layout_.memo)->BlockSize();
        std::error_code ec;
        const uint64_t size = std::filesystem::file_size(PathFromUtf8(base), ec);
        if (ec) throw DbfError(ErrorKind::Io, "Fisierul memo " + base + " nu poate fi citit.");
        memoNext_ = static_cast<uint32_t>((size + memoBlockSize_ - 1) / memoBlockSize_);
        if (memoNext_ == 0) memoNext_ = 1;
    } else {
        memoBlockSize_ = MemoFile::DefaultBlockSize(layout_.memo);
        memoNext_ = static_cast<uint32_t>(
            MemoFile::NewHeader(layout_.memo, memoBlockSize_, 0).size() / memoBlockSize_);
    }
    memoReady_ = true;
}

void DbfWriter::EnsureMemo() {
    if (memo_) return;
    PrepareMemo();
    memo_ = std::make_unique<TempFile>(memoTarget_);
    if (!memoBase_.empty()) {
        memo_->AppendFileContents(memoBase_);
        const uint64_t padded = uint64_t(memoNext_) * memoBlockSize_;
        if (padded > memo_->Size()) {
            const std::string zeros(static_cast<size_t>(padded - memo_->Size()), '\0');
            memo_->Write(zeros.data(), zeros.size());
        }
        return;
    }
    const std::string header = MemoFile::NewHeader(layout_.memo, memoBlockSize_, 0);
    memo_->Write(header.data(), header.size());
}

void DbfWriter::SetMemoBytes(int field, std::string_view bytes, uint32_t type) {
    const FieldLayout& f = layout_.fields[visible_[static_cast<size_t>(field)]];
    uint32_t block = 0;
    if (!bytes.empty()) {
        PrepareMemo();
        // The row's blocks wait for EndRow: a row that is not added leaves nothing behind.
        block = memoNext_ + static_cast<uint32_t>(pendingMemo_.size() / memoBlockSize_);
        pendingMemo_ += MemoFile::EncodeValue(layout_.memo, memoBlockSize_, bytes, type);
        if (!inRow_) FlushRowMemo();
    }
    codec_->SetMemoBlock(reinterpret_cast<uint8_t*>(row_.data()), f, block);
}

void DbfWriter::FlushRowMemo() {
    if (pendingMemo_.empty()) return;
    EnsureMemo();
    memo_->Write(pendingMemo_.data(), pendingMemo_.size());
    memoNext_ += static_cast<uint32_t>(pendingMemo_.size() / memoBlockSize_);
    pendingMemo_.clear();
}

namespace {

bool GetBit(const DbfLayout& layout, const uint8_t* record, int bit) {
    if (bit < 0 || layout.nullFlagsField < 0) return false;
    const FieldDef& nf = layout.fields[static_cast<size_t>(layout.nullFlagsField)].def;
    return bit / 8 < nf.size && ((record[nf.offset + bit / 8] >> (bit % 8)) & 1);
}

void PutBit(const DbfLayout& layout, uint8_t* record, int bit, bool on) {
    if (bit < 0 || layout.nullFlagsField < 0) return;
    const FieldDef& nf = layout.fields[static_cast<size_t>(layout.nullFlagsField)].def;
    if (bit / 8 >= nf.size) return;
    uint8_t& b = record[nf.offset + bit / 8];
    b = on ? static_cast<uint8_t>(b | (1 << (bit % 8)))
           : static_cast<uint8_t>(b & ~(1 << (bit % 8)));
}

// The size a field of this type always has; 0 when the declared size decides.
int FixedSize(char type) {
    switch (type) {
        case 'I':
        case '+':
            return 4;
        case 'T':
        case 'Y':
        case 'D':
        case '@':
        case 'O':
            return 8;
        case 'L':
            return 1;
        default:
            return 0;
    }
}

// Types whose bytes don't depend on the code page.
bool PageFree(char type) {
    return std::string_view("NFDLI+BYT@OQ").find(type) != std::string_view::npos;
}

// Types stored in binary, in the family's byte order.
bool Binary(char type) {
    return std::string_view("I+BYT@O").find(type) != std::string_view::npos;
}

}  // namespace

void DbfWriter::PlanCopy(const DbfFile& source, const std::vector<FieldCopy>& pairs,
                         const FormatSettings& format, const CopyOptions& options) {
    copySpans_.clear();
    copyValues_.clear();
    copySource_ = nullptr;
    namedSource_ = nullptr;
    const DbfLayout& from = source.Layout();
    const bool samePage = source.Page().Name() == codePage_->Name();
    // Blocks of a memo file that starts as a byte copy of source's mean the same here.
    const bool memoCopied = options.keepsMemoBlocks && !copyMemoFrom_.empty() &&
                            copyMemoFrom_ == source.Info().memoFile && layout_.memo == from.memo;
    for (const FieldCopy& pair : pairs) {
        const FieldLayout& a = source.FieldAt(pair.from);
        const FieldLayout& b = layout_.fields[visible_[static_cast<size_t>(pair.to)]];
        const int fixed = FixedSize(a.def.type);
        if (fixed > 0 && a.def.size != fixed)
            throw DbfError(ErrorKind::Malformed, "Campul " + a.def.name + " din tabelul " +
                                                     source.Path() + " are lungimea " +
                                                     std::to_string(a.def.size) + ", dar tipul " +
                                                     std::string(1, a.def.type) + " are " +
                                                     std::to_string(fixed) + " octeti.");
        ValueCopy v{pair.from, pair.to, CopyKind::Text, a.nullBit >= 0, false, false};
        if (a.def.IsMemo() && b.def.IsMemo()) {
            if (memoCopied)
                v.kind = CopyKind::MemoBlock;
            else
                v.kind = samePage ? CopyKind::MemoBytes : CopyKind::MemoText;
        } else if (a.def.type == b.def.type && a.def.size == b.def.size &&
                   a.def.decimals == b.def.decimals && !a.def.IsMemo() && !b.def.IsMemo() &&
                   (samePage || PageFree(a.def.type)) &&
                   (!Binary(a.def.type) ||
                    from.BigEndianIntegers() == layout_.BigEndianIntegers()) &&
                   (a.varLengthBit >= 0) == (b.varLengthBit >= 0)) {
            v.kind = CopyKind::Bytes;
            v.varLength = a.varLengthBit >= 0;
            Span* last = copySpans_.empty() ? nullptr : &copySpans_.back();
            if (last && last->from + last->size == a.def.offset &&
                last->to + last->size == b.def.offset)
                last->size += b.def.size;
            else
                copySpans_.push_back({a.def.offset, b.def.offset, b.def.size});
            // Nothing to look at: the bytes say it all.
            if (!v.checkNull && !v.varLength && b.nullBit < 0) continue;
        } else {
            v.sourceDate = a.def.type == 'D' && b.def.type != 'D';
        }
        copyValues_.push_back(v);
    }
    copyFormat_ = format;
    copyUnreadableMemoAsEmpty_ = options.unreadableMemoAsEmpty;
    copySource_ = &source;
}

void DbfWriter::CopyPlanned(const uint8_t* record) {
    const DbfFile& source = *copySource_;
    const DbfLayout& from = source.Layout();
    uint8_t* row = Row();
    for (const Span& s : copySpans_)
        std::memcpy(row + s.to, record + s.from, static_cast<size_t>(s.size));
    std::optional<DbfError> failure;
    for (const ValueCopy& v : copyValues_) {
        const FieldLayout& a = source.FieldAt(v.from);
        const FieldLayout& b = layout_.fields[visible_[static_cast<size_t>(v.to)]];
        if (v.checkNull && GetBit(from, record, a.nullBit)) {
            codec_->SetEmpty(row, b);  // null where the field allows it, blank otherwise
            continue;
        }
        try {
            switch (v.kind) {
                case CopyKind::Bytes:
                    if (v.varLength)
                        PutBit(layout_, row, b.varLengthBit, GetBit(from, record, a.varLengthBit));
                    break;
                case CopyKind::MemoBlock: {
                    const std::optional<uint32_t> block = source.Codec().MemoBlock(record, a);
                    if (!block)
                        throw DbfError(ErrorKind::Conversion,
                                       "Campul memo " + a.def.name +
                                           " nu arata spre un bloc al fisierului memo.");
                    codec_->SetMemoBlock(row, b, *block);
                    break;
                }
                case CopyKind::MemoBytes:
                case CopyKind::MemoText: {
                    MemoValue m = source.MemoBytes(record, v.from);
                    if (!m.ok) {
                        if (!copyUnreadableMemoAsEmpty_)
                            throw DbfError(ErrorKind::Conversion, m.bytes);
                        m.bytes.clear();
                    }
                    if (v.kind == CopyKind::MemoText && !m.bytes.empty() && m.type == 1)
                        m.bytes = codePage_->Encode(source.Page().Decode(m.bytes));
                    SetMemoBytes(v.to, m.bytes, m.type);
                    break;
                }
                case CopyKind::Text: {
                    if (v.sourceDate) {
                        const FieldValue d = FieldReader(from, a).Read(record);
                        if (d.kind == ValueKind::Date) {
                            SetDate(v.to, d.day, copyFormat_);
                            break;
                        }
                    }
                    copyText_.clear();
                    source.AppendText(copyText_, record, v.from, copyFormat_);
                    if (copyText_.empty())
                        codec_->SetEmpty(row, b);
                    else
                        SetText(v.to, copyText_, copyFormat_);
                    break;
                }
            }
            PutBit(layout_, row, b.nullBit, false);  // a value, not null
        } catch (const DbfError& e) {
            if (e.Kind() == ErrorKind::Io) throw;
            if (!failure) failure = e;
        }
    }
    if (failure) throw *failure;
}

void DbfWriter::CopyFields(const DbfFile& source, const uint8_t* record,
                           const FormatSettings& format) {
    if (namedSource_ != &source) {
        std::vector<FieldCopy> pairs;
        for (size_t i = 0; i < fields_.size(); ++i) {
            const int from = source.FieldIndex(fields_[i].name);
            if (from >= 0) pairs.push_back({from, static_cast<int>(i)});
        }
        PlanCopy(source, pairs, format, {});
        namedSource_ = &source;
    }
    CopyPlanned(record);
}

void DbfWriter::EndRow() {
    FlushRowMemo();
    table_->Write(row_.data(), row_.size());
    ++count_;
    inRow_ = false;
}

namespace {

std::string FolderPart(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JournalPath(const std::string& table) {
    return FolderPart(table) + "." + NamePart(table) + ".swap";
}

// The renames of one replacement, noted in the journal before the first and held (locked)
// until the last is done: "scratch name TAB target name" a line, both in the table's folder.
class ReplaceJournal {
  public:
    ReplaceJournal(const std::string& table, const std::vector<const TempFile*>& files)
        : path_(JournalPath(table)) {
        std::string text;
        for (const TempFile* f : files)
            text += NamePart(f->Path()) + "\t" + NamePart(f->Target()) + "\n";
        TempFile journal(path_);
        journal.Write(text.data(), text.size());
        journal.Finish();
        journal.RenameOverTarget();
        SyncFolderOf(path_);
        try {
            held_ = FileHandle::OpenReadWrite(path_);
            held_.TryLockForWriting();
        } catch (const DbfError&) {
            // unlocked, it is still the note a later open finishes by
        }
    }
    ~ReplaceJournal() { Done(); }
    ReplaceJournal(const ReplaceJournal&) = delete;
    ReplaceJournal& operator=(const ReplaceJournal&) = delete;
    // Every rename done (or undone): the note goes.
    void Done() noexcept {
        if (path_.empty()) return;
        held_.Close();
        try {
            RemoveFile(path_);
        } catch (const DbfError&) {
        }
        path_.clear();
    }

  private:
    std::string path_;
    FileHandle held_;
};

}  // namespace

bool FinishInterruptedReplace(const std::string& path) {
    const std::string journal = JournalPath(path);
    if (!FileExists(journal)) return false;
    try {
        FileHandle h = FileHandle::OpenReadWrite(journal);
        if (!h.TryLockForWriting()) return false;  // a replacement in flight, not a killed one
        const uint64_t size = h.Size();
        if (size > (1u << 16)) return false;
        std::string text(static_cast<size_t>(size), '\0');
        if (h.ReadAt(0, text.data(), text.size()) != text.size()) return false;
        const std::string folder = FolderPart(path);
        std::vector<std::pair<std::string, std::string>> renames;
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find('\n', at);
            if (end == std::string::npos) return false;
            const std::string line = text.substr(at, end - at);
            at = end + 1;
            const size_t tab = line.find('\t');
            if (tab == std::string::npos) return false;
            const std::string scratch = line.substr(0, tab), target = line.substr(tab + 1);
            // Only our own scratch names of files in this folder: nothing read here may lead
            // elsewhere.
            if (target.empty() || target.find_first_of("/\\:") != std::string::npos ||
                scratch.find_first_of("/\\:") != std::string::npos ||
                scratch.rfind("." + target + ".tmp-", 0) != 0)
                return false;
            renames.emplace_back(folder + scratch, folder + target);
        }
        for (const auto& [scratch, target] : renames)
            if (FileExists(scratch)) RenameReplacing(scratch, target);
        SyncFolderOf(path);
        h.Close();
        RemoveFile(journal);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void DbfWriter::Commit(const std::function<void()>& afterRename,
                       const CompanionWriter& companions) {
    if (done_) throw DbfError(ErrorKind::State, "Tabelul nou " + target_ + " a fost deja inchis.");
    Companions extra;
    try {
        table_->Write("\x1A", 1);
        std::string count(4, '\0');
        PutLE32(count, 0, count_);
        table_->WriteAt(4, count.data(), 4);
        if (numbered_)
            for (const auto& [offset, counter] : AutoIncrementCounters(layout_))
                table_->WriteAt(offset, counter.data(), counter.size());
        if (companions) {
            extra = companions(table_->Path());  // the rows are in the scratch file by now
            const char flag = static_cast<char>((byte28_ & 0xFE) | (extra.productionIndex ? 1 : 0));
            if (flag != static_cast<char>(byte28_)) table_->WriteAt(28, &flag, 1);
        }
        table_->Finish();
        if (memoNeeded_) EnsureMemo();
        if (memo_) {
            std::string next(4, '\0');
            MemoFile::PatchNextFree(layout_.memo, memoNext_, next);
            memo_->WriteAt(0, next.data(), 4);
            memo_->Finish();
        }
        if (!cpgTarget_.empty()) {
            cpg_ = std::make_unique<TempFile>(cpgTarget_);
            const std::string text = CpgTextOf(codePage_->Name());
            cpg_->Write(text.data(), text.size());
            cpg_->Finish();
        }
    } catch (...) {
        extra.files.clear();
        Abort();
        throw;
    }
    // Second names for the files about to be replaced: any failure from here on puts them back.
    FileBackup oldMemo(memo_ ? memo_->Target() : std::string());
    FileBackup oldTable(table_->Target());
    FileBackup oldCpg(cpg_ ? cpgTarget_ : std::string());
    std::vector<std::unique_ptr<FileBackup>> oldExtra;
    for (const auto& f : extra.files) oldExtra.push_back(std::make_unique<FileBackup>(f->Target()));
    bool memoRenamed = false, tableRenamed = false, cpgRenamed = false;
    size_t extraRenamed = 0;
    std::unique_ptr<ReplaceJournal> journal;
    try {
        if (!extra.files.empty()) {
            std::vector<const TempFile*> all;
            if (memo_) all.push_back(memo_.get());
            all.push_back(table_.get());
            for (const auto& f : extra.files) all.push_back(f.get());
            if (cpg_) all.push_back(cpg_.get());
            journal = std::make_unique<ReplaceJournal>(target_, all);
        }
        // Memo first: the new memo file holds everything the old table points at.
        if (memo_) {
            memo_->RenameOverTarget();
            memoRenamed = true;
        }
        table_->RenameOverTarget();
        tableRenamed = true;
        for (auto& f : extra.files) {
            f->RenameOverTarget();
            ++extraRenamed;
        }
        if (cpg_) {
            cpg_->RenameOverTarget();
            cpgRenamed = true;
        }
        SyncFolderOf(target_);
        if (journal) journal->Done();
        if (afterRename) afterRename();
    } catch (...) {
        if (journal) journal->Done();  // what follows puts the old files back, not the new
        if (cpgRenamed) oldCpg.Restore();
        for (size_t i = 0; i < extraRenamed; ++i) oldExtra[i]->Restore();
        if (tableRenamed) oldTable.Restore();
        if (memoRenamed) oldMemo.Restore();
        extra.files.clear();
        Abort();
        throw;
    }
    memo_.reset();
    table_.reset();
    cpg_.reset();
    done_ = true;
}

void DbfWriter::Abort() {
    memo_.reset();
    table_.reset();
    cpg_.reset();
    done_ = true;
}

}  // namespace orbelan
