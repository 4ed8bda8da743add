#include "core/restore_points.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/workspace.h"
#include "engine/byte_order.h"
#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/utf8_path.h"

namespace orbelan {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMaxBudget = 2ull << 30;
constexpr const char* kBesideFolder = ".orbelan-undo";

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Extension(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : Lower(name.substr(dot + 1));
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

int64_t ModifiedNs(const fs::path& file) {
    return static_cast<int64_t>(fs::last_write_time(file).time_since_epoch().count());
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
    fs::remove(target, ec);
    if (!IoFaults().noHardLinks) {
        fs::create_hard_link(source, target, ec);
        if (!ec) return Kept::Linked;
        if (ec == std::errc::cross_device_link) return Kept::OtherDevice;
    }
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
    if (ec)
        throw UndoRefused("Copia de siguranta a fisierului " + from +
                          " nu a putut fi facuta: " + ec.message() + ".");
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

std::vector<std::string> VersionFiles(const std::string& path) {
    const fs::path table = PathFromUtf8(path);
    const std::string stem = Lower(Utf8FromPath(table.stem()));
    std::vector<std::string> names{Utf8FromPath(table.filename())};
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(table.parent_path(), ec)) {
        const std::string name = Utf8FromPath(e.path().filename());
        const std::string ext = Extension(name);
        if (Lower(Utf8FromPath(e.path().stem())) != stem || !e.is_regular_file(ec)) continue;
        if (ext == "dbt" || ext == "fpt" || ext == "mdx" || ext == "cdx" || ext == "cpg")
            names.push_back(name);
    }
    return names;
}

std::string StampOf(const std::string& folder, const std::vector<std::string>& names) {
    std::string stamp;
    std::vector<uint8_t> buffer(1 << 20);
    for (const std::string& n : names) {
        const std::string file = folder + n;
        const FileHandle h = FileHandle::OpenRead(file);
        // Read, not mapped: a large table's pages are faulted in one by one, several times
        // slower than reading them from the cache in large blocks.
        uint64_t sum = 0, size = 0;
        for (size_t got = 0; (got = h.ReadAt(size, buffer.data(), buffer.size())) > 0;) {
            sum = Checksum(buffer.data(), got) ^ (sum * 0x9E3779B97F4A7C15ull);
            size += got;
        }
        stamp += n + "/" + std::to_string(size) + "/" +
                 std::to_string(ModifiedNs(PathFromUtf8(file))) + "/" + std::to_string(sum) + "|";
    }
    return stamp;
}

RestorePoints::RestorePoints(const std::string& programDir, const std::string& path) {
    std::error_code ec;
    const fs::path table = fs::absolute(PathFromUtf8(path), ec).lexically_normal();
    path_ = Utf8FromPath(table);
    tableDir_ = Utf8FromPath(table.parent_path());
    if (!tableDir_.empty()) tableDir_ += '/';
    storeDir_ = programDir + "undo/" + KeyOf(path) + "/";
    indexPath_ = storeDir_ + "index";
    Load();
    for (size_t i = points_.size(); i-- > 0;)
        if (points_[i].pending) {
            if (Unfinished(points_[i]))
                Finish(points_[i]);
            else
                Remove(i), Save();
        }
}

bool RestorePoints::Unfinished(const RestorePoint& p) const {
    // Each file still to be put in place must still be the one the swap stepped away from:
    // a table someone replaced since is not overwritten.
    const bool back = !p.undone;
    const std::string in = p.folder + (back ? "before/" : "after/");
    const std::string out = p.folder + (back ? "after/" : "before/");
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
        const std::vector<std::string> f = Split(line, '\t');
        if (f.size() != 15 || f[0] != "point") continue;
        RestorePoint p;
        try {
            p.id = std::stoll(f[1]);
            p.undone = f[2] == "1";
            p.pending = f[3] == "1";
            p.time = std::stoll(f[4]);
            p.rowsBefore = std::stoll(f[5]);
            p.rowsAfter = std::stoll(f[6]);
            p.sizeBefore = std::stoull(f[7]);
            p.sizeAfter = std::stoull(f[8]);
        } catch (const std::exception&) {
            continue;
        }
        p.filesBefore = Split(f[9], '/');
        p.filesAfter = Split(f[10], '/');
        p.stampBefore = f[11];
        p.stampAfter = f[12];
        p.folder = f[13];
        p.name = f[14];
        points_.push_back(std::move(p));
    }
}

void RestorePoints::Save() const {
    std::error_code ec;
    fs::create_directories(PathFromUtf8(storeDir_), ec);
    std::string text = "table\t" + path_ + "\n";
    for (const RestorePoint& p : points_) {
        text += "point\t" + std::to_string(p.id) + "\t" + (p.undone ? "1" : "0") + "\t" +
                (p.pending ? "1" : "0") + "\t" + std::to_string(p.time) + "\t" +
                std::to_string(p.rowsBefore) + "\t" + std::to_string(p.rowsAfter) + "\t" +
                std::to_string(p.sizeBefore) + "\t" + std::to_string(p.sizeAfter) + "\t" +
                Join(p.filesBefore) + "\t" + Join(p.filesAfter) + "\t" + p.stampBefore + "\t" +
                p.stampAfter + "\t" + p.folder + "\t" + p.name + "\n";
    }
    // Not a table file: written beside itself and renamed, outside the tables' file seam.
    const fs::path index = PathFromUtf8(indexPath_), scratch = PathFromUtf8(indexPath_ + ".new");
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out)
            throw UndoRefused("Lista copiilor de siguranta " + indexPath_ +
                              " nu a putut fi scrisa.");
    }
    // Not synced to disk: a kill keeps it; a power cut may lose the newest point, and then the
    // older ones refuse a table they don't know.
    try {
        RenameReplacing(indexPath_ + ".new", indexPath_);
    } catch (const DbfError& e) {
        throw UndoRefused("Lista copiilor de siguranta " + indexPath_ +
                          " nu a putut fi scrisa: " + e.what());
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
    for (const RestorePoint& p : points_) total += p.undone ? p.sizeAfter : p.sizeBefore;
    return total;
}

void RestorePoints::Remove(size_t index) {
    std::error_code ec;
    fs::remove_all(PathFromUtf8(points_[index].folder), ec);
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
                                          const std::function<bool()>& ask,
                                          const std::function<void()>& change) {
    const std::vector<std::string> files = VersionFiles(path_);
    const uint64_t needed = SizeOf(tableDir_, files);
    const uint64_t budget = Budget(budgetOverride);
    const std::string beside = tableDir_ + kBesideFolder + "/" + KeyOf(path_) + "/";
    RestorePoint p;
    p.name = name;
    p.time = std::chrono::duration_cast<std::chrono::seconds>(
                 std::chrono::system_clock::now().time_since_epoch())
                 .count();
    p.id = points_.empty() ? 1 : points_.back().id + 1;
    p.filesBefore = files;
    p.sizeBefore = needed;
    p.rowsBefore = RowsOf(path_);
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
    bool kept = needed <= budget;
    if (kept) {
        try {
            for (const std::string& root : {storeDir_, beside}) {
                folder = root + std::to_string(p.id) + "/";
                std::error_code ec;
                fs::create_directories(PathFromUtf8(folder + "before"), ec);
                bool elsewhere = false;
                for (const std::string& f : files)
                    if (Keep(tableDir_ + f, folder + "before/" + f) == Kept::OtherDevice) {
                        elsewhere = true;
                        break;
                    }
                if (!elsewhere) break;
                fs::remove_all(PathFromUtf8(folder), ec);
                if (root == beside) throw UndoRefused("no folder for the restore point");
            }
            p.folder = folder;
            p.stampBefore = StampOf(folder + "before/", files);
        } catch (const std::exception&) {
            drop();
            kept = false;
        }
    }
    if (!kept) {
        // No room for the old files: the user decides whether to go on without a way back.
        if (!ask()) throw CommandDeclined();
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
        p.filesAfter = VersionFiles(path_);
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
    for (size_t i = points_.size(); i-- > 0;)
        if (!points_[i].undone) {
            Swap(points_[i]);
            return points_[i].name;
        }
    return std::nullopt;
}

std::optional<std::string> RestorePoints::Redo() {
    for (RestorePoint& p : points_)
        if (p.undone) {
            Swap(p);
            return p.name;
        }
    return std::nullopt;
}

void RestorePoints::Swap(RestorePoint& p) {
    const bool back = !p.undone;
    const std::vector<std::string>& live = back ? p.filesAfter : p.filesBefore;
    const std::string& stamp = back ? p.stampAfter : p.stampBefore;
    const std::string in = p.folder + (back ? "before/" : "after/");
    const std::string out = p.folder + (back ? "after/" : "before/");
    const std::string refused = "Tabelul " + path_ + " a fost schimbat de alt program dupa \"" +
                                p.name + "\": nu poate fi " + (back ? "anulata" : "refacuta") +
                                ". Tabelul a ramas asa cum este.";
    if (!SameSet(VersionFiles(path_), live)) throw UndoRefused(refused);
    std::string now;
    try {
        now = StampOf(tableDir_, live);
    } catch (const DbfError&) {
        throw UndoRefused(refused);
    }
    if (now != stamp) throw UndoRefused(refused);
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
    for (const std::string& f : back ? p.filesBefore : p.filesAfter)
        if (!FileExists(in + f)) throw UndoRefused("Copia de siguranta " + in + f + " lipseste.");
    std::error_code ec;
    fs::create_directories(PathFromUtf8(out), ec);
    for (const std::string& f : live) Keep(tableDir_ + f, out + f);
    p.pending = true;
    Save();
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
    for (const std::string& f : live)
        if (!Has(coming, f)) {
            std::error_code ec;
            fs::remove(PathFromUtf8(tableDir_ + f), ec);
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

void RestorePoints::TableEdited() {
    const std::vector<std::string> files = VersionFiles(path_);
    const std::string stamp = StampOf(tableDir_, files);
    const uint64_t size = SizeOf(tableDir_, files);
    const int64_t rows = RowsOf(path_);
    bool changed = false;
    // The version on disk is the newest done point's after and the oldest undone one's before.
    for (size_t i = 0; i < points_.size(); ++i) {
        RestorePoint& p = points_[i];
        const bool newestDone = !p.undone && (i + 1 == points_.size() || points_[i + 1].undone);
        const bool oldestUndone = p.undone && (i == 0 || !points_[i - 1].undone);
        if (newestDone) {
            p.filesAfter = files;
            p.stampAfter = stamp;
            p.sizeAfter = size;
            p.rowsAfter = rows;
            changed = true;
        } else if (oldestUndone) {
            p.filesBefore = files;
            p.stampBefore = stamp;
            p.sizeBefore = size;
            p.rowsBefore = rows;
            changed = true;
        }
    }
    if (changed) Save();
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
    const auto ask = [&] {
        return ws.messages.Mesaj("Anulare",
                                 "Nu este loc pentru copia de siguranta a tabelului. Continuati "
                                 "fara posibilitatea de a anula?",
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
