#include "core/restore_points.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <optional>
#include <string_view>
#include <sstream>

#include "core/table_indexes.h"
#include "core/workspace.h"
#include "engine/byte_order.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/file_time.h"
#include "engine/utf8_path.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMaxBudget = 2ull << 30;
constexpr const char* kBesideFolder = ".orbelan-undo";
// What may not appear in a file name the index names: it would lead to another folder.
#ifdef _WIN32
constexpr const char* kSeparators = "/\\:";
#else
constexpr const char* kSeparators = "/";
#endif

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Extension(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : Lower(name.substr(dot + 1));
}

// The files beside a table named as it is that go with it: memo, index and .cpg files.
bool IsVersionExtension(const std::string& ext) {
    return ext == "dbt" || ext == "fpt" || ext == "mdx" || ext == "cdx" || ext == "cpg" ||
           ext == "idx" || ext == "ndx" || ext == "ntx";
}

// A single-index file the user attached to the table (any name, beside it).
bool IsAttachedIndex(const std::string& name, const std::vector<std::string>& attached) {
    const std::string ext = Extension(name);
    return (ext == "idx" || ext == "ndx" || ext == "ntx") &&
           std::find(attached.begin(), attached.end(), name) != attached.end();
}

bool IsMemo(const std::string& name) {
    const std::string e = Extension(name);
    return e == "dbt" || e == "fpt";
}

// Eight lanes of multiply-rotate over 8-byte words, so the processor runs them side by side;
// any changed byte changes the result.
uint64_t Checksum(const uint8_t* p, size_t n) {
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    uint64_t h[8] = {n, 1, 2, 3, 4, 5, 6, 7};
    size_t i = 0;
    const auto mix = [](uint64_t a, uint64_t w) {
        a ^= w;
        a *= kMul;
        return (a << 29) | (a >> 35);
    };
    for (; i + 64 <= n; i += 64)
        for (int k = 0; k < 8; ++k) {
            uint64_t w;
            std::memcpy(&w, p + i + 8 * k, 8);
            h[k] = mix(h[k], w);
        }
    for (; i < n; ++i) h[i % 8] = mix(h[i % 8], p[i] + 1u);
    uint64_t r = 0;
    for (uint64_t v : h) r = mix(r, v);
    return r;
}

// What the restore points record of one file.
struct FileMark {
    uint64_t size = 0;
    int64_t modified = 0;
    uint64_t sum = 0;
};

FileMark MarkOf(const std::string& file, std::vector<uint8_t>& buffer) {
    const FileHandle h = FileHandle::OpenRead(file);
    // Read, not mapped: a large table's pages are faulted in one by one, several times
    // slower than reading them from the cache in large blocks.
    FileMark m;
    for (size_t got = 0; (got = h.ReadAt(m.size, buffer.data(), buffer.size())) > 0;) {
        m.sum = Checksum(buffer.data(), got) ^ (m.sum * 0x9E3779B97F4A7C15ull);
        m.size += got;
    }
    m.modified = ModifiedTime(file);
    if (m.modified == kNoTime)
        throw DbfError(ErrorKind::CannotOpen, "Fisierul " + file + " nu poate fi citit.");
    return m;
}

// A whole decimal number and nothing else.
template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    if (text.empty() || text.size() > 20) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// The marks of a stamp written for names, in their order; nullopt when it isn't one.
std::optional<std::vector<FileMark>> ParseStamp(std::string_view stamp,
                                                const std::vector<std::string>& names) {
    std::vector<FileMark> marks;
    for (const std::string& n : names) {
        if (stamp.substr(0, n.size() + 1) != n + "/") return std::nullopt;
        stamp.remove_prefix(n.size() + 1);
        const size_t end = stamp.find('|');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view fields = stamp.substr(0, end);
        stamp.remove_prefix(end + 1);
        const size_t a = fields.find('/'), b = fields.find('/', a + 1);
        if (a == std::string_view::npos || b == std::string_view::npos) return std::nullopt;
        FileMark m;
        if (!ParseNumber(fields.substr(0, a), m.size) ||
            !ParseNumber(fields.substr(a + 1, b - a - 1), m.modified) ||
            !ParseNumber(fields.substr(b + 1), m.sum))
            return std::nullopt;
        marks.push_back(m);
    }
    if (!stamp.empty()) return std::nullopt;
    return marks;
}

UndoStoreError::Cause CauseOf(const std::error_code& ec) {
    if (ec == std::errc::no_space_on_device || ec == std::errc::file_too_large)
        return UndoStoreError::Cause::NoRoom;
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system)
        return UndoStoreError::Cause::Permission;
    return UndoStoreError::Cause::Io;
}

std::string CauseText(UndoStoreError::Cause cause) {
    switch (cause) {
        case UndoStoreError::Cause::NoRoom:
            return "nu este loc pe disc";
        case UndoStoreError::Cause::Permission:
            return "acces interzis";
        case UndoStoreError::Cause::Io:
            break;
    }
    return "eroare de citire/scriere pe disc";
}

[[noreturn]] void ThrowKeepFailed(const std::string& file, UndoStoreError::Cause cause) {
    throw UndoStoreError(cause, file,
                         "Copia de siguranta a fisierului " + file +
                             " nu a putut fi facuta: " + CauseText(cause) + ".");
}

std::string Join(const std::vector<std::string>& names) {
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : "/") + n;
    return s;
}

std::vector<std::string> Split(const std::string& s, char by) {
    std::vector<std::string> parts;
    if (s.empty()) return parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, by)) parts.push_back(part);
    return parts;
}

// The same file, or (a copy where there are no hard links) the same bytes.
bool SameContents(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec)) return true;
    if (ec || fs::file_size(PathFromUtf8(a), ec) != fs::file_size(PathFromUtf8(b), ec) || ec)
        return false;
    try {
        std::vector<uint8_t> buffer(1 << 20);
        const FileMark x = MarkOf(a, buffer), y = MarkOf(b, buffer);
        return x.size == y.size && x.sum == y.sum;
    } catch (const std::exception&) {
        return false;
    }
}

// Ids run from 1 up; far below any overflow.
constexpr int64_t kMaxId = int64_t{1} << 50;

uint64_t SizeOf(const std::string& folder, const std::vector<std::string>& names) {
    uint64_t total = 0;
    std::error_code ec;
    for (const std::string& n : names) {
        const auto size = fs::file_size(PathFromUtf8(folder + n), ec);
        if (!ec) total += size;
    }
    return total;
}

// The record count the table's header states; 0 when it can't be read.
int64_t RowsOf(const std::string& table) {
    std::ifstream in(PathFromUtf8(table), std::ios::binary);
    uint8_t head[8] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return 0;
    return LoadLE32(head + 4);
}

enum class Kept { Linked, Copied, OtherDevice };

// A second name for from at to (replacing what is there); a copy where the file system has no
// hard links. OtherDevice: to is on another file system, nothing was made.
Kept Keep(const std::string& from, const std::string& to) {
    const fs::path source = PathFromUtf8(from), target = PathFromUtf8(to);
    std::error_code ec;
    // Already its second name (a swap tried again): on Windows the removal below would only be
    // noted while the file is open, and the name stay taken.
    if (fs::equivalent(source, target, ec)) return Kept::Linked;
    fs::remove(target, ec);
    if (!IoFaults().noHardLinks) {
        fs::create_hard_link(source, target, ec);
        if (!ec) return Kept::Linked;
        if (ec == std::errc::cross_device_link) return Kept::OtherDevice;
    }
    if (TakeFault(IoFaults().failKeepAfter))
        ThrowKeepFailed(from, IoFaults().diskFull ? UndoStoreError::Cause::NoRoom
                                                  : UndoStoreError::Cause::Io);
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        fs::remove(target, ec);
        ThrowKeepFailed(from, CauseOf(ec));
    }
    return Kept::Copied;
}

std::string KeyOf(const std::string& path) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(PathFromUtf8(path), ec);
    if (ec) canonical = fs::absolute(PathFromUtf8(path), ec);
    const std::string text = Utf8FromPath(canonical);
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    char hex[20];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return hex;
}

bool SameSet(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::string TableKey(const std::string& path) {
    return KeyOf(path);
}

std::string RestorePointsFolder(const std::string& programDir, const std::string& path) {
    return programDir + "undo/" + KeyOf(path) + "/";
}

std::vector<std::string> VersionFiles(const std::string& path, const std::string& programDir) {
    const fs::path table = PathFromUtf8(path);
    const std::string stem = Lower(Utf8FromPath(table.stem()));
    std::vector<std::string> names{Utf8FromPath(table.filename())};
    const std::vector<std::string> attached =
        programDir.empty() ? std::vector<std::string>() : AttachedIndexNames(programDir, path);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(table.parent_path(), ec)) {
        const std::string name = Utf8FromPath(e.path().filename());
        const std::string ext = Extension(name);
        if (!e.is_regular_file(ec)) continue;
        if (Lower(Utf8FromPath(e.path().stem())) == stem ? IsVersionExtension(ext)
                                                         : IsAttachedIndex(name, attached))
            names.push_back(name);
    }
    return names;
}

std::string StampOf(const std::string& folder, const std::vector<std::string>& names) {
    std::string stamp;
    std::vector<uint8_t> buffer(1 << 20);
    for (const std::string& n : names) {
        const FileMark m = MarkOf(folder + n, buffer);
        stamp += n + "/" + std::to_string(m.size) + "/" + std::to_string(m.modified) + "/" +
                 std::to_string(m.sum) + "|";
    }
    return stamp;
}

std::string StatOf(const std::string& path) {
    const fs::path table = PathFromUtf8(path);
    const std::string folder = Utf8FromPath(table.parent_path()) + "/";
    std::string stat;
    std::error_code ec;
    for (const std::string& name : VersionFiles(path)) {
        const fs::path file = PathFromUtf8(folder + name);
        stat += name + "/" + std::to_string(fs::file_size(file, ec)) + "/" +
                std::to_string(ModifiedTime(folder + name)) + "|";
    }
    return stat;
}

namespace {

// A stamp as StatOf writes it: without the checksums.
std::string StatPart(const std::string& stamp, const std::vector<std::string>& names) {
    const auto marks = ParseStamp(stamp, names);
    if (!marks) return {};
    std::string stat;
    for (size_t i = 0; i < names.size(); ++i)
        stat += names[i] + "/" + std::to_string((*marks)[i].size) + "/" +
                std::to_string((*marks)[i].modified) + "|";
    return stat;
}

}  // namespace

RestorePoints::RestorePoints(const std::string& programDir, const std::string& path) {
    std::error_code ec;
    const fs::path table = fs::absolute(PathFromUtf8(path), ec).lexically_normal();
    path_ = Utf8FromPath(table);
    tableName_ = Utf8FromPath(table.filename());
    tableDir_ = Utf8FromPath(table.parent_path());
    // The system's own separator: messages name the table's files as the user knows them.
    if (!tableDir_.empty()) tableDir_ += Utf8FromPath(fs::path("/").make_preferred());
    programDir_ = programDir;
    storeDir_ = RestorePointsFolder(programDir, path);
    besideDir_ = tableDir_ + kBesideFolder + "/" + KeyOf(path) + "/";
    indexPath_ = storeDir_ + "index";
    Load();
}

void RestorePoints::FinishPendingSwap() {
    for (size_t i = points_.size(); i-- > 0;) {
        RestorePoint& p = points_[i];
        if (!p.pending || !p.problem.empty()) continue;
        if (Unfinished(p)) {
            Finish(p);
        } else {
            Remove(i);
            Save();
        }
    }
}

bool RestorePoints::Unfinished(const RestorePoint& p) const {
    // Each file still to be put in place must still be the one the swap stepped away from:
    // a table someone replaced since is not overwritten.
    const bool back = !p.undone;
    const std::string in = p.folder + (back ? "before/" : "after/");
    const std::string out = p.folder + (back ? "after/" : "before/");
    // The swap kept every file it replaces before it was noted: a line that says pending
    // without them is no swap of ours.
    for (const std::string& f : back ? p.filesAfter : p.filesBefore)
        if (!FileExists(out + f)) return false;
    for (const std::string& f : back ? p.filesBefore : p.filesAfter) {
        if (!FileExists(in + f) || !FileExists(tableDir_ + f)) continue;
        std::error_code ec;
        if (!fs::equivalent(PathFromUtf8(tableDir_ + f), PathFromUtf8(out + f), ec)) return false;
    }
    return true;
}

void RestorePoints::Load() {
    points_.clear();
    std::ifstream in(PathFromUtf8(indexPath_), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("point\t", 0) != 0) continue;  // the table's line, or nothing of ours
        RestorePoint p;
        p.line = line;
        const std::vector<std::string> f = Split(line, '\t');
        const auto flag = [](const std::string& text, bool& value) {
            value = text == "1";
            return text == "0" || text == "1";
        };
        if (f.size() != 15 || !ParseNumber(f[1], p.id) || !flag(f[2], p.undone) ||
            !flag(f[3], p.pending) || !ParseNumber(f[4], p.time) ||
            !ParseNumber(f[5], p.rowsBefore) || !ParseNumber(f[6], p.rowsAfter) ||
            !ParseNumber(f[7], p.sizeBefore) || !ParseNumber(f[8], p.sizeAfter)) {
            p.problem = "randul ei din lista copiilor nu poate fi citit";
            if (p.id < 1 || p.id > kMaxId) p.id = 0;
        } else {
            p.filesBefore = Split(f[9], '/');
            p.filesAfter = Split(f[10], '/');
            p.stampBefore = f[11];
            p.stampAfter = f[12];
            p.folder = f[13];
            p.name = f[14];
            Check(p);
        }
        const bool twice = std::any_of(points_.begin(), points_.end(),
                                       [&](const RestorePoint& q) { return q.id == p.id; });
        if (twice && p.problem.empty()) {
            p.problem = "numarul ei se repeta in lista copiilor";
            p.folderOurs = false;
        }
        points_.push_back(std::move(p));
    }
}

// What a point read back from the index must be before any of its files is touched.
void RestorePoints::Check(RestorePoint& p) const {
    if (p.id < 1 || p.id > kMaxId) {
        p.problem = "numarul ei nu este unul dat de program";
        p.id = 0;
        return;
    }
    const std::string id = std::to_string(p.id) + "/";
    p.folderOurs = p.folder == storeDir_ + id || p.folder == besideDir_ + id;
    if (!p.folderOurs) {
        p.problem = "dosarul ei, " + p.folder + ", nu este cel facut de program pentru ea";
        return;
    }
    const std::string stem = Lower(Utf8FromPath(PathFromUtf8(tableName_).stem()));
    const std::vector<std::string> attached = AttachedIndexNames(programDir_, path_);
    const auto ownFiles = [&](const std::vector<std::string>& names) {
#ifdef _WIN32
        const bool table = !names.empty() && Lower(names[0]) == Lower(tableName_);
#else
        const bool table = !names.empty() && names[0] == tableName_;
#endif
        if (!table || names[0].find_first_of(kSeparators) != std::string::npos) return false;
        int memos = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string& n = names[i];
            if (std::count(names.begin(), names.end(), n) != 1) return false;
            if (i == 0) continue;
            const std::string e = Extension(n);
            if (n.find_first_of(kSeparators) != std::string::npos) return false;
            if (IsAttachedIndex(n, attached)) continue;
            if (n.size() != stem.size() + 4 || Lower(n.substr(0, stem.size())) != stem ||
                !IsVersionExtension(e))
                return false;
            memos += IsMemo(n);
        }
        return memos <= 1;
    };
    if (!ownFiles(p.filesBefore) || !ownFiles(p.filesAfter)) {
        p.problem = "lista fisierelor ei nu este a tabelului " + path_;
        return;
    }
    const auto sizeMatches = [](const std::string& stamp, const std::vector<std::string>& names,
                                uint64_t size) {
        const auto marks = ParseStamp(stamp, names);
        if (!marks) return false;
        uint64_t total = 0;
        for (const FileMark& m : *marks) {
            if (m.size > kMaxBudget * 1024) return false;  // no table is that large
            total += m.size;
        }
        return total == size;
    };
    if (!sizeMatches(p.stampBefore, p.filesBefore, p.sizeBefore) ||
        !sizeMatches(p.stampAfter, p.filesAfter, p.sizeAfter))
        p.problem = "amprenta fisierelor ei nu poate fi citita";
}

void RestorePoints::Save() const {
    std::string text = "table\t" + path_ + "\n";
    for (const RestorePoint& p : points_) {
        if (!p.problem.empty()) {
            text += p.line + "\n";  // left as it was read
            continue;
        }
        text += "point\t" + std::to_string(p.id) + "\t" + (p.undone ? "1" : "0") + "\t" +
                (p.pending ? "1" : "0") + "\t" + std::to_string(p.time) + "\t" +
                std::to_string(p.rowsBefore) + "\t" + std::to_string(p.rowsAfter) + "\t" +
                std::to_string(p.sizeBefore) + "\t" + std::to_string(p.sizeAfter) + "\t" +
                Join(p.filesBefore) + "\t" + Join(p.filesAfter) + "\t" + p.stampBefore + "\t" +
                p.stampAfter + "\t" + p.folder + "\t" + p.name + "\n";
    }
    const auto failed = [&](const std::string& file, UndoStoreError::Cause cause) {
        throw UndoStoreError(cause, file,
                             "Lista copiilor de siguranta " + file +
                                 " nu a putut fi scrisa: " + CauseText(cause) + ".");
    };
    std::error_code ec;
    fs::create_directories(PathFromUtf8(storeDir_), ec);
    if (ec) failed(storeDir_, CauseOf(ec));
    // Not a table file: written beside itself and renamed, outside the tables' file seam.
    const std::string scratch = indexPath_ + ".new";
    if (TakeFault(IoFaults().failKeepAfter))
        failed(scratch, IoFaults().diskFull ? UndoStoreError::Cause::NoRoom
                                            : UndoStoreError::Cause::Io);
    std::FILE* out = nullptr;
#ifdef _WIN32
    out = _wfopen(PathFromUtf8(scratch).c_str(), L"wb");
#else
    out = std::fopen(scratch.c_str(), "wb");
#endif
    if (!out) failed(scratch, CauseOf(std::error_code(errno, std::generic_category())));
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size() &&
                         std::fflush(out) == 0;
    const int err = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        fs::remove(PathFromUtf8(scratch), ec);
        failed(scratch, CauseOf(std::error_code(written ? errno : err, std::generic_category())));
    }
    // Not synced to disk: a kill keeps it; a power cut may lose the newest point, and then the
    // older ones refuse a table they don't know.
    fs::rename(PathFromUtf8(scratch), PathFromUtf8(indexPath_), ec);
    if (ec) {
        // MinGW's rename does not replace a file.
        try {
            RenameReplacing(scratch, indexPath_);
        } catch (const DbfError&) {
            fs::remove(PathFromUtf8(scratch), ec);
            failed(indexPath_, CauseOf(ec));
        }
    }
}

const RestorePoint* RestorePoints::NextUndo() const {
    for (auto it = points_.rbegin(); it != points_.rend(); ++it)
        if (!it->undone) return &*it;
    return nullptr;
}

const RestorePoint* RestorePoints::NextRedo() const {
    for (const RestorePoint& p : points_)
        if (p.undone) return &p;
    return nullptr;
}

uint64_t RestorePoints::Budget(int64_t override) const {
    if (override >= 0) return static_cast<uint64_t>(override);
    std::error_code ec;
    fs::path folder = PathFromUtf8(storeDir_);
    while (!folder.empty() && !fs::exists(folder, ec) && folder != folder.parent_path())
        folder = folder.parent_path();
    const fs::space_info space = fs::space(folder, ec);
    if (ec) return kMaxBudget;
    return std::min<uint64_t>(kMaxBudget, space.available / 10);
}

uint64_t RestorePoints::BytesKept() const {
    uint64_t total = 0;
    for (const RestorePoint& p : points_)
        if (p.problem.empty()) total += p.undone ? p.sizeAfter : p.sizeBefore;
    return total;
}

void RestorePoints::Remove(size_t index) {
    // Only a folder this program made for the point goes; a line pointing elsewhere just goes.
    if (points_[index].folderOurs) {
        std::error_code ec;
        fs::remove_all(PathFromUtf8(points_[index].folder), ec);
    }
    points_.erase(points_.begin() + static_cast<std::ptrdiff_t>(index));
}

void RestorePoints::Trim(uint64_t budget) {
    while (points_.size() > 1 && (points_.size() > kMaxPoints || BytesKept() > budget)) Remove(0);
}

void RestorePoints::Clear() {
    if (points_.empty()) return;
    while (!points_.empty()) Remove(0);
    Save();
}

RestorePoints::Outcome RestorePoints::Run(const std::string& name, int64_t budgetOverride,
                                          const std::function<bool(const std::string&)>& ask,
                                          const std::function<void()>& change) {
    FinishPendingSwap();
    const std::vector<std::string> files = VersionFiles(path_, programDir_);
    const uint64_t needed = SizeOf(tableDir_, files);
    const uint64_t budget = Budget(budgetOverride);
    const std::string& beside = besideDir_;
    RestorePoint p;
    p.name = name;
    p.time = std::chrono::duration_cast<std::chrono::seconds>(
                 std::chrono::system_clock::now().time_since_epoch())
                 .count();
    p.id = 1;
    for (const RestorePoint& q : points_) p.id = std::max(p.id, q.id + 1);
    p.filesBefore = files;
    p.sizeBefore = needed;
    p.rowsBefore = RowsOf(path_);
    p.folderOurs = true;
    std::string folder;
    const auto drop = [&] {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(PathFromUtf8(folder), ec);
        // Folders left empty go too (remove leaves one that holds anything).
        for (const std::string& f : {beside, tableDir_ + kBesideFolder, storeDir_})
            fs::remove(PathFromUtf8(f), ec);
    };
    // A restore point a killed command left behind is no one's.
    for (const std::string& root : {storeDir_, beside}) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(PathFromUtf8(root), ec)) {
            const std::string id = Utf8FromPath(e.path().filename());
            const bool listed = std::any_of(points_.begin(), points_.end(), [&](const auto& q) {
                return std::to_string(q.id) == id;
            });
            if (!listed && e.is_directory(ec)) fs::remove_all(e.path(), ec);
        }
    }
    // A folder that could not go (Windows keeps a removed file's name while it is open) is not
    // taken over: a file in it may still vanish.
    for (std::error_code ec; fs::exists(PathFromUtf8(storeDir_ + std::to_string(p.id)), ec) ||
                             fs::exists(PathFromUtf8(beside + std::to_string(p.id)), ec);)
        ++p.id;
#ifdef _WIN32
    // A table another program is writing gets no second names: its command is refused before
    // anything is kept, as its rewrite would be. (Under Wine, dropping the names again while
    // that program held the file left the table unreadable to this process.)
    {
        DbfOpenOptions options;
        options.checkProductionIndex = false;
        DbfFile::Open(path_, options)->LockForWriting();
    }
#endif
    std::string why;
    if (needed > budget)
        why = "Nu este loc pentru copia de siguranta a tabelului.";
    else
        try {
            for (const std::string& root : {storeDir_, beside}) {
                folder = root + std::to_string(p.id) + "/";
                std::error_code ec;
                fs::create_directories(PathFromUtf8(folder + "before"), ec);
                if (ec) ThrowKeepFailed(tableDir_ + files[0], CauseOf(ec));
                bool elsewhere = false;
                for (const std::string& f : files)
                    if (Keep(tableDir_ + f, folder + "before/" + f) == Kept::OtherDevice) {
                        elsewhere = true;
                        break;
                    }
                if (!elsewhere) break;
                fs::remove_all(PathFromUtf8(folder), ec);
                // The folder beside the table is on the table's own disk: never reached.
                if (root == beside) ThrowKeepFailed(tableDir_ + files[0], UndoStoreError::Cause::Io);
            }
            p.folder = folder;
            p.stampBefore = StampOf(folder + "before/", files);
        } catch (const UndoStoreError& e) {
            drop();
            why = e.what();
        } catch (const DbfError& e) {
            drop();
            why = e.what();
        }
    if (!why.empty()) {
        // No way back: the user decides whether to go on without one.
        if (!ask(why)) throw CommandDeclined();
        try {
            Clear();
        } catch (const std::exception&) {
            // the points left refuse the new file: their stamps are of the old one
        }
        change();
        return Outcome::NotKept;
    }
    try {
        change();
    } catch (...) {
        drop();
        throw;
    }
    // The command is done: from here on a failure loses only its restore point.
    try {
        std::error_code ec;
        // Written in place or not written at all: the kept files are no version of their own.
        if (fs::equivalent(PathFromUtf8(path_), PathFromUtf8(p.folder + "before/" + files[0]),
                           ec)) {
            drop();
            return Outcome::Unchanged;
        }
        p.filesAfter = VersionFiles(path_, programDir_);
        p.stampAfter = StampOf(tableDir_, p.filesAfter);
        if (p.stampAfter == p.stampBefore) {
            drop();
            return Outcome::Unchanged;
        }
        p.sizeAfter = SizeOf(tableDir_, p.filesAfter);
        p.rowsAfter = RowsOf(path_);
        // A new command: the undone ones no longer follow from the table.
        while (!points_.empty() && points_.back().undone) Remove(points_.size() - 1);
        points_.push_back(p);
        Trim(budget);
        Save();
        return Outcome::Kept;
    } catch (const std::exception&) {
        if (!points_.empty() && points_.back().id == p.id) points_.pop_back();
        // The older points refuse the new file: their stamps are of the file before it.
        drop();
        return Outcome::NotKept;
    }
}

std::optional<std::string> RestorePoints::Undo() {
    FinishPendingSwap();
    for (size_t i = points_.size(); i-- > 0;)
        if (!points_[i].undone) {
            Swap(points_[i]);
            return points_[i].name;
        }
    return std::nullopt;
}

std::optional<std::string> RestorePoints::Redo() {
    FinishPendingSwap();
    for (RestorePoint& p : points_)
        if (p.undone) {
            Swap(p);
            return p.name;
        }
    return std::nullopt;
}

void RestorePoints::Refuse(const RestorePoint& p, bool back) const {
    const std::string what = p.name.empty() ? "copia " + std::to_string(p.id) : "\"" + p.name + "\"";
    throw UndoRefused("Copia de siguranta pentru " + what + " a tabelului " + path_ +
                      " nu poate fi folosita: " + p.problem + ". Comanda nu poate fi " +
                      (back ? "anulata" : "refacuta") +
                      "; tabelul si copia de siguranta au ramas asa cum sunt.");
}

void RestorePoints::Swap(RestorePoint& p) {
    const bool back = !p.undone;
    if (!p.problem.empty()) Refuse(p, back);
    const std::vector<std::string>& live = back ? p.filesAfter : p.filesBefore;
    const std::vector<std::string>& coming = back ? p.filesBefore : p.filesAfter;
    const std::string& stamp = back ? p.stampAfter : p.stampBefore;
    const std::string in = p.folder + (back ? "before/" : "after/");
    const std::string out = p.folder + (back ? "after/" : "before/");
    const std::string refused = "Tabelul " + path_ + " a fost schimbat de alt program dupa \"" +
                                p.name + "\": nu poate fi " + (back ? "anulata" : "refacuta") +
                                ". Tabelul a ramas asa cum este.";
    if (!SameSet(VersionFiles(path_, programDir_), live)) throw UndoRefused(refused);
    // The kept files are read on a thread of their own while the table's files are read here:
    // undo of a large table reads both.
    auto keptMarks = std::async(std::launch::async, [&] {
        std::vector<std::optional<FileMark>> marks;
        std::vector<uint8_t> buffer(1 << 20);
        for (const std::string& f : coming) {
            marks.emplace_back();
            try {
                if (FileExists(in + f)) marks.back() = MarkOf(in + f, buffer);
            } catch (const std::exception&) {
                // refused below
            }
        }
        return marks;
    });
    std::string now;
    try {
        now = StampOf(tableDir_, live);
    } catch (const std::exception&) {
        now.clear();  // a file gone meanwhile: refused below
    }
    const std::vector<std::optional<FileMark>> marks = keptMarks.get();
    if (now.empty() || now != stamp) throw UndoRefused(refused);
    // The kept files must be exactly what was kept: a damaged copy is never put back.
    const auto kept = ParseStamp(back ? p.stampBefore : p.stampAfter, coming);
    for (size_t i = 0; i < coming.size(); ++i) {
        const std::string file = in + coming[i];
        const auto damaged = [&](const std::string& how) {
            p.problem = "fisierul pastrat " + file + " " + how;
            Refuse(p, back);
        };
        if (!FileExists(file)) damaged("lipseste");
        if (!marks[i]) damaged("nu poate fi citit");
        const FileMark& m = *marks[i];
        if (m.size != (*kept)[i].size)
            damaged("are " + std::to_string(m.size) + " octeti in loc de " +
                    std::to_string((*kept)[i].size));
        if (m.sum != (*kept)[i].sum) damaged("nu mai are continutul pastrat");
    }
    // The memo file the kept table reads goes with it: else undo would remove the live memo
    // and leave a table whose memo texts are lost.
    try {
        DbfOpenOptions options;
        options.checkProductionIndex = false;
        const std::string memo = DbfFile::Open(in + coming[0], options)->Info().memoFile;
        if (!memo.empty()) {
            const std::string name = Lower(Utf8FromPath(PathFromUtf8(memo).filename()));
            if (std::none_of(coming.begin(), coming.end(),
                             [&](const std::string& n) { return Lower(n) == name; })) {
                p.problem = "lista fisierelor ei nu cuprinde fisierul memo al tabelului";
                Refuse(p, back);
            }
        }
    } catch (const DbfError&) {
        p.problem = "tabelul pastrat " + in + coming[0] + " nu poate fi citit";
        Refuse(p, back);
    }
    // No one else may be writing it meanwhile; the lock goes with the replaced file.
    DbfOpenOptions options;
    options.checkProductionIndex = false;
    std::unique_ptr<DbfFile> held;
    try {
        held = DbfFile::Open(path_, options);
        held->LockForWriting();
    } catch (const DbfError& e) {
        throw UndoRefused(e.what());
    }
    std::error_code ec;
    fs::create_directories(PathFromUtf8(out), ec);
    for (const std::string& f : live) Keep(tableDir_ + f, out + f);
    p.pending = true;
    Save();
#ifdef _WIN32
    // Windows replaces no file that is open anywhere, our own handle included: the lock goes
    // first. A writer that takes the table meanwhile holds it open, so the swap fails and stays
    // pending instead of overwriting that writer's file.
    held.reset();
#endif
    Finish(p);
}

void RestorePoints::Finish(RestorePoint& p) {
    const bool back = !p.undone;
    const std::vector<std::string>& live = back ? p.filesAfter : p.filesBefore;
    const std::vector<std::string>& coming = back ? p.filesBefore : p.filesAfter;
    const std::string in = p.folder + (back ? "before/" : "after/");
    const auto memoOf = [](const std::vector<std::string>& names) {
        for (const std::string& n : names)
            if (IsMemo(n)) return n;
        return std::string();
    };
    const std::string liveMemo = memoOf(live), comingMemo = memoOf(coming);
    // Each rename leaves a table that reads: its memo file must hold every block it points at.
    // A newer memo starts as a copy of the older one, so the larger goes in place first.
    const bool memoFirst =
        !comingMemo.empty() &&
        (liveMemo.empty() || SizeOf(in, {comingMemo}) >= SizeOf(tableDir_, {liveMemo}));
    std::vector<std::string> order;
    for (const std::string& f : coming)
        if (f != coming[0] && !IsMemo(f)) order.push_back(f);  // the index before its table
    if (memoFirst) order.push_back(comingMemo);
    order.push_back(coming[0]);
    if (!memoFirst && !comingMemo.empty()) order.push_back(comingMemo);
    for (const std::string& f : order) {
        if (!FileExists(in + f)) continue;  // put in place before the swap was cut short
        if (TakeFault(IoFaults().failRenameAfter))
            throw DbfError(ErrorKind::Io, "Fisierul " + tableDir_ + f + " nu a putut fi inlocuit.");
        RenameReplacing(in + f, tableDir_ + f);
    }
    // A file of the version going away that the coming one lacks goes, once it is kept.
    const std::string out = p.folder + (back ? "after/" : "before/");
    for (const std::string& f : live)
        if (!Has(coming, f)) {
            std::error_code ec;
            if (SameContents(tableDir_ + f, out + f)) fs::remove(PathFromUtf8(tableDir_ + f), ec);
        }
    SyncFolderOf(path_);
    p.undone = back;
    p.pending = false;
    std::error_code ec;
    fs::remove_all(PathFromUtf8(in), ec);
    Save();
}

void RestorePoints::DropUndone() {
    if (!NextRedo()) return;
    while (!points_.empty() && points_.back().undone) Remove(points_.size() - 1);
    Save();
}

void RestorePoints::TableEdited(const std::string& openedAs) {
    const std::vector<std::string> files = VersionFiles(path_, programDir_);
    const std::string stamp = StampOf(tableDir_, files);
    const uint64_t size = SizeOf(tableDir_, files);
    const int64_t rows = RowsOf(path_);
    // A file the command left as it was (a memo a sort did not touch) is kept under a second
    // name of the live one, so the edit changed the kept file too: its record follows. Memo
    // texts are only ever appended, so the other version still reads every block it points at.
    const auto followShared = [&](const std::string& kept, const std::vector<std::string>& names,
                                  std::string& keptStamp, uint64_t& keptSize) {
        auto marks = ParseStamp(keptStamp, names);
        if (!marks) return;
        std::vector<uint8_t> buffer(1 << 20);
        std::string text;
        uint64_t total = 0;
        for (size_t k = 0; k < names.size(); ++k) {
            std::error_code ec;
            if (fs::equivalent(PathFromUtf8(kept + names[k]), PathFromUtf8(tableDir_ + names[k]),
                               ec))
                (*marks)[k] = MarkOf(kept + names[k], buffer);
            const FileMark& m = (*marks)[k];
            text += names[k] + "/" + std::to_string(m.size) + "/" + std::to_string(m.modified) +
                    "/" + std::to_string(m.sum) + "|";
            total += m.size;
        }
        keptStamp = text;
        keptSize = total;
    };
    bool changed = false;
    // The version on disk is the newest done point's after and the oldest undone one's before.
    for (size_t i = 0; i < points_.size(); ++i) {
        RestorePoint& p = points_[i];
        if (!p.problem.empty() || p.pending) continue;
        const bool newestDone = !p.undone && (i + 1 == points_.size() || points_[i + 1].undone);
        const bool oldestUndone = p.undone && (i == 0 || !points_[i - 1].undone);
        if (newestDone && StatPart(p.stampAfter, p.filesAfter) == openedAs) {
            followShared(p.folder + "before/", p.filesBefore, p.stampBefore, p.sizeBefore);
            p.filesAfter = files;
            p.stampAfter = stamp;
            p.sizeAfter = size;
            p.rowsAfter = rows;
            changed = true;
        } else if (oldestUndone && StatPart(p.stampBefore, p.filesBefore) == openedAs) {
            followShared(p.folder + "after/", p.filesAfter, p.stampAfter, p.sizeAfter);
            p.filesBefore = files;
            p.stampBefore = stamp;
            p.sizeBefore = size;
            p.rowsBefore = rows;
            changed = true;
        }
    }
    if (changed) Save();
}

void ReplaceWithNewTable(Workspace& ws, const std::string& path, const std::string& name,
                         const std::function<bool()>& write) {
    if (!FileExists(path)) {
        write();
        return;
    }
    const bool named = ws.RunningCommand.empty();
    if (named) ws.RunningCommand = name;
    struct Unname {
        Workspace& ws;
        bool named;
        ~Unname() {
            if (named) ws.RunningCommand.clear();
        }
    } unname{ws, named};
    WithRestorePoint(ws, path, [&] {
        const std::vector<std::string> old = VersionFiles(path, ws.ProgramDir);
        if (!write()) return;
        // A stale memo beside the new table would be read by other programs as its own.
        DbfOpenOptions options;
        options.checkProductionIndex = false;
        const std::string memo = DbfFile::Open(path, options)->Info().memoFile;
        const std::string memoName = Lower(Utf8FromPath(PathFromUtf8(memo).filename()));
        const fs::path folder = PathFromUtf8(path).parent_path();
        for (size_t i = 1; i < old.size(); ++i)
            if (memo.empty() || Lower(old[i]) != memoName)
                RemoveFile(Utf8FromPath(folder / PathFromUtf8(old[i])));
    });
}

void FinishPendingSwap(const Workspace& ws, const std::string& path) {
    if (ws.ProgramDir.empty() || !kRestorePointsAvailable || path.empty()) return;
    try {
        RestorePoints(ws.ProgramDir, path).FinishPendingSwap();
    } catch (const std::exception&) {
        // the table reads whole at every step of a swap; the next opening tries again
    }
}

void WithRestorePoint(Workspace& ws, const std::string& path, const std::function<void()>& change) {
    if (ws.ProgramDir.empty() || ws.inRestorePoint) {
        change();
        return;
    }
    if (!kRestorePointsAvailable) {
        // The edits posted before no longer match the rewritten file.
        if (ws.history.Follows(path)) ws.history.Forget();
        change();
        return;
    }
    ws.inRestorePoint = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{ws.inRestorePoint};
    // Edits made since the table was last closed: the newest point must know the file with them.
    if (ws.history.WrittenOnlyByUs(path)) ws.history.Settle(ws, path);
    RestorePoints points(ws.ProgramDir, path);
    if (!ws.KeepRestorePoints) {
        try {
            points.Clear();
        } catch (const std::exception&) {
            // the points left refuse the new file: their stamps are of the old one
        }
        if (ws.history.Follows(path)) ws.history.Forget();
        change();
        return;
    }

    const std::string name = ws.RunningCommand.empty() ? "Comanda" : ws.RunningCommand;
    const auto ask = [&](const std::string& why) {
        return ws.messages.Mesaj("Anulare", why + " Continuati fara posibilitatea de a anula?",
                                 mkConfirmation, mbYesNo) == mrYes;
    };
    const RestorePoints::Outcome outcome = points.Run(name, ws.UndoBudget, ask, change);
    if (!ws.history.Follows(path)) return;
    switch (outcome) {
        case RestorePoints::Outcome::Kept:
            ws.history.CommandDone();
            break;
        case RestorePoints::Outcome::NotKept:
            ws.history.Forget();
            break;
        case RestorePoints::Outcome::Unchanged:
            break;
    }
}

}  // namespace orbelan
