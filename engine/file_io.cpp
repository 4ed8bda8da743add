// What both systems' file doors share: the test hooks and the moves.
#include "engine/file_io.h"

#include "engine/errors.h"
#include "engine/file_io_system.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>

namespace orbelan {

using namespace file_io_system;

namespace {
// A scratch file's failures name the file it stands for: its own name means nothing to a user.
constexpr const char* kNewVersion = "Scrierea noii versiuni a fisierului";
constexpr const char* kNewVersionToDisk = "Salvarea pe disc a noii versiuni a fisierului";

std::pair<std::string, std::string> FolderAndName(const std::string& path) {
    const size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

char Folded(char c) {
    return kNamesIgnoreCase && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Folded(x) == Folded(y);
           });
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool IsLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool AllOf(std::string_view s, size_t n, bool (*ok)(char)) {
    return s.size() == n && std::all_of(s.begin(), s.end(), ok);
}

// Exactly the names TempFile (mkstemp's six letters or digits, or eight hex digits on Windows)
// and FileBackup (eight hex digits) give the scratch files of a file named name.
bool IsScratchOf(std::string_view entry, std::string_view name, bool backupsOnly) {
    if (entry.size() < name.size() + 6 || entry[0] != '.' ||
        !SameName(entry.substr(1, name.size()), name))
        return false;
    const std::string_view kind = entry.substr(1 + name.size(), 5);
    const std::string_view suffix = entry.substr(1 + name.size() + 5);
    if (kind == ".old-") return AllOf(suffix, 8, IsHex);
    return !backupsOnly && kind == ".tmp-" &&
           (AllOf(suffix, 6, IsLetterOrDigit) || AllOf(suffix, 8, IsHex));
}
}  // namespace

void file_io_system::ThrowIo(const std::string& what, const std::string& path, int err) {
    throw DbfError(ErrorKind::Io, what + " " + path + " a esuat: " + Reason(err) + ".");
}

std::atomic<int> file_io_detail::anyMappingLost{0};

FileIoFaults& IoFaults() {
    static FileIoFaults faults;
    return faults;
}

bool TakeFault(int& counter) {
    return IoFaults().Take(counter);
}

MappedFile::~MappedFile() {
    Reset();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      guard_(std::exchange(other.guard_, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        guard_ = std::exchange(other.guard_, -1);
    }
    return *this;
}

FileHandle::~FileHandle() {
    Close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      writable_(other.writable_),
      locked_(std::exchange(other.locked_, false)),
      path_(std::move(other.path_)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        writable_ = other.writable_;
        locked_ = std::exchange(other.locked_, false);
        path_ = std::move(other.path_);
    }
    return *this;
}

void FileHandle::WriteAt(uint64_t offset, const void* data, size_t n) {
    if (!writable_)
        throw DbfError(ErrorKind::Io, "Fisierul " + path_ + " poate fi doar citit, nu si scris.");
    if (TakeFault(IoFaults().failWriteAfter))
        ThrowIo("Scrierea in fisierul", path_, InjectedWriteError());
    if (const int err = WriteAll(fd_, offset, data, n)) ThrowIo("Scrierea in fisierul", path_, err);
}

void FileHandle::Sync() {
    if (TakeFault(IoFaults().failSyncAfter))
        ThrowIo("Salvarea pe disc a fisierului", path_, kDiskError);
    if (const int err = FlushToDisk(fd_)) ThrowIo("Salvarea pe disc a fisierului", path_, err);
}

void TempFile::FlushBuffer() {
    const uint64_t base = size_ - buffer_.size();
    if (const int err = WriteAll(fd_, base, buffer_.data(), buffer_.size()))
        ThrowIo(kNewVersion, target_, err);
    buffer_.clear();
}

void TempFile::Write(const void* data, size_t n) {
    if (TakeFault(IoFaults().failWriteAfter)) ThrowIo(kNewVersion, target_, kDiskFullError);
    if (n >= kTempBuffer) {
        // A large block goes straight to the file: gathering it first would only copy it.
        FlushBuffer();
        if (const int err = WriteAll(fd_, size_, data, n)) ThrowIo(kNewVersion, target_, err);
        size_ += n;
        return;
    }
    buffer_.append(static_cast<const char*>(data), n);
    size_ += n;
    if (buffer_.size() >= kTempBuffer) FlushBuffer();
}

void TempFile::WriteAt(uint64_t offset, const void* data, size_t n) {
    FlushBuffer();
    if (TakeFault(IoFaults().failWriteAfter)) ThrowIo(kNewVersion, target_, kDiskFullError);
    if (const int err = WriteAll(fd_, offset, data, n)) ThrowIo(kNewVersion, target_, err);
    if (offset + n > size_) size_ = offset + n;
}

void TempFile::Finish() {
    if (TakeFault(IoFaults().failWriteAfter)) ThrowIo(kNewVersion, target_, kDiskFullError);
    FlushBuffer();
    if (TakeFault(IoFaults().failSyncAfter)) ThrowIo(kNewVersionToDisk, target_, kDiskError);
    if (const int err = FlushToDisk(fd_)) ThrowIo(kNewVersionToDisk, target_, err);
}

TempFile::~TempFile() {
    try {
        Discard();
    } catch (...) {
    }
}

void TempFile::AppendFileContents(const std::string& path) {
    FileHandle src = FileHandle::OpenRead(path);
    std::string chunk(size_t{1} << 20, '\0');
    uint64_t offset = 0;
    for (;;) {
        const size_t n = src.ReadAt(offset, chunk.data(), chunk.size());
        if (n == 0) break;
        Write(chunk.data(), n);
        offset += n;
    }
}

int RemoveStaleScratch(const std::vector<std::string>& targets) {
    int removed = 0;
    try {
        std::map<std::string, std::vector<std::string>> namesByFolder;
        for (const std::string& target : targets) {
            if (target.empty()) continue;
            auto [folder, name] = FolderAndName(ScratchTargetOf(target));
            namesByFolder[folder].push_back(name);
        }
        for (const auto& [folder, names] : namesByFolder) {
            for (const std::string& entry : NamesIn(folder)) {
                if (std::none_of(names.begin(), names.end(), [&](const std::string& name) {
                        return IsScratchOf(entry, name, false);
                    }))
                    continue;
                const std::string path = folder + entry;
                if (FileExists(path) && !RecentlyChanged(path) && !HeldOpen(path) &&
                    RemoveQuietly(path))
                    ++removed;
            }
        }
    } catch (...) {
        // best effort: a leftover scratch file is only clutter
    }
    return removed;
}

std::vector<std::string> BackupsOf(const std::string& path) {
    const auto [folder, name] = FolderAndName(path);
    std::vector<std::string> backups;
    for (const std::string& entry : NamesIn(folder))
        if (IsScratchOf(entry, name, true)) backups.push_back(folder + entry);
    return backups;
}

bool PutBackLoneBackup(const std::string& path) {
    try {
        if (FileExists(path)) return false;
        const std::vector<std::string> backups = BackupsOf(path);
        // Several: which one is the table can't be told, so none is guessed.
        if (backups.size() != 1 || !FileExists(backups[0]) || HeldOpen(backups[0])) return false;
        return MoveToFreeName(backups[0], path);
    } catch (...) {
        return false;
    }
}

}  // namespace orbelan
