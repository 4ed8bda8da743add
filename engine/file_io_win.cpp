// The Windows side of engine/file_io.h: the wide-character API (paths are UTF-8 inside and
// UTF-16 here), file mappings, LockFileEx, FlushFileBuffers and MoveFileExW with write-through.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <random>
#include <utility>

#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/file_io_system.h"
#include "engine/file_time.h"
#include "engine/utf8_path.h"

namespace orbelan {
namespace {

// Another program (an editor, an antivirus, the indexer) may hold a file for a moment: a short,
// bounded wait before giving up with a message.
constexpr int kBusyRetries = 5;
constexpr DWORD kBusyWaitMs = 100;

// Far past any data: the lock that keeps a second writer out never blocks reading or writing
// the file itself (a byte-range lock on Windows is enforced on the bytes it covers).
constexpr DWORD kLockOffsetHigh = 0x40000000;

HANDLE AsHandle(intptr_t fd) {
    return reinterpret_cast<HANDLE>(fd);
}

intptr_t FromHandle(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}

std::wstring Wide(const std::string& path) {
    return Utf16FromUtf8(path);
}

bool Busy(DWORD err) {
    return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION;
}

}  // namespace

using file_io_system::Reason;
using file_io_system::ThrowIo;

// Romanian reasons for the errors a user can do something about; the same texts as on POSIX.
std::string file_io_system::Reason(int code) {
    switch (static_cast<DWORD>(code)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return "fisierul nu exista";
        case ERROR_ACCESS_DENIED:
            return "acces interzis";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "discul este plin";
        case ERROR_WRITE_PROTECT:
            return "discul este protejat la scriere";
        case ERROR_DIRECTORY:
            return "este un folder, nu un fisier";
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
            return "eroare de citire/scriere pe disc";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return "fisierul este folosit de alt program";
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_BAD_NETPATH:
        case ERROR_NETWORK_UNREACHABLE:
            return "legatura cu discul din retea s-a intrerupt";
        default:
            return "eroare de sistem " + std::to_string(static_cast<DWORD>(code));
    }
}

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// CreateFileW for an existing regular file, waiting out a sharing violation. Every handle lets
// the others read, write and replace the file: coordination is by TryLockForWriting.
HANDLE OpenExisting(const std::string& path, DWORD access, DWORD& err) {
    const std::wstring w = Wide(path);
    for (int attempt = 0;; ++attempt) {
        HANDLE h =
            CreateFileW(w.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            if (GetFileType(h) == FILE_TYPE_DISK) return h;
            CloseHandle(h);  // a device or a pipe is no table
            err = ERROR_ACCESS_DENIED;
            return INVALID_HANDLE_VALUE;
        }
        err = GetLastError();
        if (err == ERROR_ACCESS_DENIED && IsFolder(w)) {
            err = ERROR_DIRECTORY;
            return h;
        }
        if (!Busy(err) || attempt == kBusyRetries) return h;
        IoFaults().busyWaitMs += kBusyWaitMs;
        Sleep(kBusyWaitMs);
    }
}

// The position of a positioned read or write.
OVERLAPPED At(uint64_t offset) {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ov;
}

// Positioned write of all n bytes, or the Windows error.
DWORD WriteAll(HANDLE h, uint64_t offset, const void* data, size_t n) {
    size_t done = 0;
    while (done < n) {
        OVERLAPPED ov = At(offset + done);
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, static_cast<const char*>(data) + done, chunk, &written, &ov))
            return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return ERROR_SUCCESS;
}

// MoveFileExW, durable when it returns, waiting out a reader that holds the target for a
// moment (an antivirus opening the new file answers ACCESS_DENIED too).
DWORD Move(const std::string& from, const std::string& to, DWORD flags) {
    const std::wstring wFrom = Wide(from);
    const std::wstring wTo = Wide(to);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(wFrom.c_str(), wTo.c_str(), flags | MOVEFILE_WRITE_THROUGH))
            return ERROR_SUCCESS;
        const DWORD err = GetLastError();
        if (!(Busy(err) || err == ERROR_ACCESS_DENIED) || attempt == kBusyRetries) return err;
        IoFaults().busyWaitMs += kBusyWaitMs;
        Sleep(kBusyWaitMs);
    }
}

DWORD MoveReplacing(const std::string& from, const std::string& to) {
    return Move(from, to, MOVEFILE_REPLACE_EXISTING);
}

// The folder part of a path with its separator ("" for a bare name), and the name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::mt19937& Rng() {
    static std::mt19937 rng{std::random_device{}()};
    return rng;
}

std::string RandomSuffix() {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08X", static_cast<unsigned>(Rng()()));
    return suffix;
}

}  // namespace

// ---------------------------------------------------------------- MappedFile

bool MappedFile::SlotLost(int) {
    return false;  // views are never guarded: Windows keeps a mapped file from shrinking
}

void MappedFile::ReleasePages() const {
    // Unlocking pages that were never locked takes them out of the working set.
    if (data_ != nullptr) VirtualUnlock(const_cast<uint8_t*>(data_), size_);
}

void MappedFile::Reset() {
    if (data_ != nullptr) UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
    guard_ = -1;
}

// ---------------------------------------------------------------- FileHandle

FileHandle FileHandle::OpenRead(const std::string& path) {
    FileHandle h;
    DWORD err = 0;
    h.fd_ = FromHandle(OpenExisting(path, GENERIC_READ, err));
    if (h.fd_ == -1) {
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
            throw DbfError(ErrorKind::CannotOpen, "Fisierul " + path + " nu exista.");
        throw DbfError(ErrorKind::CannotOpen,
                       "Fisierul " + path + " nu poate fi deschis: " + Reason(err) + ".");
    }
    h.path_ = path;
    return h;
}

FileHandle FileHandle::OpenReadWriteIfAllowed(const std::string& path) {
    FileHandle h;
    DWORD err = 0;
    h.fd_ = FromHandle(OpenExisting(path, GENERIC_READ | GENERIC_WRITE, err));
    if (h.fd_ != -1) {
        h.writable_ = true;
        h.path_ = path;
        return h;
    }
    return OpenRead(path);
}

FileHandle FileHandle::OpenReadWrite(const std::string& path) {
    FileHandle h;
    DWORD err = 0;
    h.fd_ = FromHandle(OpenExisting(path, GENERIC_READ | GENERIC_WRITE, err));
    if (h.fd_ == -1)
        throw DbfError(ErrorKind::Io, "Fisierul " + path + " nu poate fi deschis pentru scriere: " +
                                          Reason(err) + ".");
    h.writable_ = true;
    h.path_ = path;
    return h;
}

uint64_t FileHandle::Size() const {
    LARGE_INTEGER size{};
    if (fd_ == -1 || !GetFileSizeEx(AsHandle(fd_), &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

size_t FileHandle::ReadAt(uint64_t offset, void* data, size_t n) const {
    size_t done = 0;
    while (done < n) {
        OVERLAPPED ov = At(offset + done);
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(AsHandle(fd_), static_cast<char*>(data) + done, chunk, &got, &ov)) {
            const DWORD err = GetLastError();
            if (err == ERROR_HANDLE_EOF) break;
            ThrowIo("Citirea din fisierul", path_, err);
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

MappedFile FileHandle::Map() const {
    MappedFile m;
    const uint64_t size = Size();
    if (size == 0) return m;
    HANDLE section = CreateFileMappingW(AsHandle(fd_), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (section == nullptr)
        throw DbfError(ErrorKind::CannotOpen,
                       "Fisierul " + path_ + " nu poate fi citit: " + Reason(GetLastError()) + ".");
    // The view keeps the section alive on its own.
    void* p = MapViewOfFile(section, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
    const DWORD err = GetLastError();
    CloseHandle(section);
    if (p == nullptr)
        throw DbfError(ErrorKind::CannotOpen,
                       "Fisierul " + path_ + " nu poate fi citit: " + Reason(err) + ".");
    m.data_ = static_cast<const uint8_t*>(p);
    m.size_ = static_cast<size_t>(size);
    return m;
}

void FileHandle::Close() {
    if (fd_ != -1) {
        if (locked_) {
            OVERLAPPED ov{};
            ov.OffsetHigh = kLockOffsetHigh;
            UnlockFileEx(AsHandle(fd_), 0, 1, 0, &ov);
        }
        CloseHandle(AsHandle(fd_));
    }
    fd_ = -1;
    writable_ = false;
    locked_ = false;
}

bool FileHandle::TryLockForWriting() {
    if (locked_) return true;
    OVERLAPPED ov{};
    ov.OffsetHigh = kLockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (writable_ ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (!LockFileEx(AsHandle(fd_), flags, 0, 1, 0, &ov)) {
        const DWORD err = GetLastError();
        if (err == ERROR_LOCK_VIOLATION || err == ERROR_IO_PENDING) return false;
        // A file system without locks (some network shares): nothing to coordinate with.
        if (err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION) return true;
        ThrowIo("Blocarea fisierului", path_, err);
    }
    locked_ = true;
    return true;
}

void FileHandle::UnlockWriting() {
    if (!locked_ || fd_ == -1) return;
    OVERLAPPED ov{};
    ov.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(AsHandle(fd_), 0, 1, 0, &ov);
    locked_ = false;
}

void FileHandle::MarkOpen() {}

bool FileHandle::OthersMarkedOpen() const {
    return false;
}

bool FileHandle::Replaced() const {
    BY_HANDLE_FILE_INFORMATION mine{}, named{};
    if (fd_ == -1 || !GetFileInformationByHandle(AsHandle(fd_), &mine)) return false;
    HANDLE other = CreateFileW(Wide(path_).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE) return GetLastError() != ERROR_SHARING_VIOLATION;
    const bool ok = GetFileInformationByHandle(other, &named);
    CloseHandle(other);
    if (!ok) return false;
    return mine.dwVolumeSerialNumber != named.dwVolumeSerialNumber ||
           mine.nFileIndexHigh != named.nFileIndexHigh || mine.nFileIndexLow != named.nFileIndexLow;
}

// ---------------------------------------------------------------- TempFile

TempFile::TempFile(const std::string& target) : target_(target) {
    // Beside the target, so the final rename never crosses volumes.
    const auto [folder, name] = SplitPath(target_);
    if (TakeFault(IoFaults().failWriteAfter))
        ThrowIo("Crearea fisierului temporar pentru", target, file_io_system::InjectedWriteError());
    DWORD err = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = folder + "." + name + ".tmp-" + RandomSuffix();
        // CREATE_NEW never opens an existing file: a taken name just means another try.
        HANDLE h = CreateFileW(Wide(candidate).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            fd_ = FromHandle(h);
            path_ = candidate;
            buffer_.reserve(file_io_system::kTempBuffer);
            return;
        }
        err = GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) break;
    }
    ThrowIo("Crearea fisierului temporar pentru", target, err);
}

void TempFile::RenameOverTarget() {
    if (TakeFault(IoFaults().failRenameAfter))
        throw DbfError(ErrorKind::Io, "Fisierul " + target_ + " nu a putut fi inlocuit: " +
                                          Reason(ERROR_ACCESS_DENIED) + ".");
    // Closed first: Finish has flushed it, and an open handle would hold the new file.
    if (fd_ != -1) CloseHandle(AsHandle(fd_));
    fd_ = -1;
    const DWORD err = MoveReplacing(path_, target_);
    if (err != ERROR_SUCCESS)
        throw DbfError(ErrorKind::Io,
                       "Fisierul " + target_ + " nu a putut fi inlocuit: " + Reason(err) + ".");
    renamed_ = true;
}

void TempFile::Discard() {
    if (fd_ != -1) CloseHandle(AsHandle(fd_));
    fd_ = -1;
    if (!renamed_ && !path_.empty()) DeleteFileW(Wide(path_).c_str());
    path_.clear();
}

// ---------------------------------------------------------------- shared code's primitives

namespace file_io_system {

int WriteAll(intptr_t fd, uint64_t offset, const void* data, size_t n) {
    return static_cast<int>(orbelan::WriteAll(AsHandle(fd), offset, data, n));
}

int FlushToDisk(intptr_t fd) {
    return FlushFileBuffers(AsHandle(fd)) ? 0 : static_cast<int>(GetLastError());
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Wide(folder + "*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(Utf8FromPath(std::filesystem::path(found.cFileName)));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::string ScratchTargetOf(const std::string& target) {
    return target;
}

bool HeldOpen(const std::string& path) {
    // Opening with no sharing fails while any other handle has the file open.
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return true;
    CloseHandle(h);
    return false;
}

bool RecentlyChanged(const std::string&) {
    return false;  // HeldOpen tells whether a writer still has it
}

bool RemoveQuietly(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) != 0;
}

bool MoveToFreeName(const std::string& from, const std::string& to) {
    return Move(from, to, 0) == ERROR_SUCCESS;
}

const int kDiskFullError = ERROR_DISK_FULL;
const int kDiskError = ERROR_WRITE_FAULT;

}  // namespace file_io_system

// ---------------------------------------------------------------- FileBackup

// Windows can't replace a file that is open, and the table being rewritten is open (and mapped)
// here: the old file steps aside under its second name instead of getting a hard link, and the
// new one takes the free name. An open file can still be renamed, its handles follow it.
FileBackup::FileBackup(const std::string& path) : path_(path) {
    if (path.empty() || !FileExists(path)) return;
    existed_ = true;
    const auto [folder, name] = SplitPath(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = folder + "." + name + ".old-" + RandomSuffix();
        // Without MOVEFILE_REPLACE_EXISTING a taken name just means another try.
        const DWORD err = Move(path, candidate, 0);
        if (err == ERROR_SUCCESS) {
            link_ = candidate;
            return;
        }
        // Can't step aside: the replace is tried anyway and reports why it can't be done.
        if (err != ERROR_ALREADY_EXISTS && err != ERROR_FILE_EXISTS) return;
    }
}

FileBackup::~FileBackup() {
    if (link_.empty()) return;
    // Nothing took the name (the replace failed before it): the old file goes back.
    if (!FileExists(path_) && Move(link_, path_, 0) == ERROR_SUCCESS) return;
    // Still open here, so its removal may only be noted; it goes when the last handle closes.
    DeleteFileW(Wide(link_).c_str());
}

void FileBackup::Restore() noexcept {
    try {
        if (path_.empty()) return;
        if (!existed_) {
            DeleteFileW(Wide(path_).c_str());
            return;
        }
        if (link_.empty()) return;
        if (MoveReplacing(link_, path_) == ERROR_SUCCESS) link_.clear();
    } catch (...) {
    }
}

// ---------------------------------------------------------------- helpers

void SyncFolderOf(const std::string&) {
    // MoveFileExW with MOVEFILE_WRITE_THROUGH has already made the rename durable.
}

bool FileExists(const std::string& path) {
    const DWORD attrs = GetFileAttributesW(Wide(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t ModifiedTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return kNoTime;
    // 100 ns steps since 1601, put on the clock std::filesystem uses for whole seconds too.
    using Steps = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
    constexpr int64_t k1601To1970 = 116444736000000000;
    const int64_t ticks = (static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
    const Steps steps =
        std::chrono::file_clock::from_sys(std::chrono::sys_time<Steps>(Steps(ticks - k1601To1970)))
            .time_since_epoch();
    // A time that clock can't count in nanoseconds (a file dated centuries away) stays in steps:
    // still one number for one time, and never an overflow.
    if (steps.count() > INT64_MAX / 100 || steps.count() < INT64_MIN / 100) return steps.count();
    return static_cast<int64_t>(
        std::chrono::duration_cast<std::filesystem::file_time_type::duration>(steps).count());
}

bool RemoveFile(const std::string& path) {
    if (!FileExists(path)) return false;
    if (TakeFault(IoFaults().failRemoveAfter))
        throw DbfError(ErrorKind::Io, "Fisierul " + path + " nu a putut fi sters: " +
                                          Reason(ERROR_ACCESS_DENIED) + ".");
    const std::wstring w = Wide(path);
    for (int attempt = 0;; ++attempt) {
        if (DeleteFileW(w.c_str())) return true;
        const DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND) return false;
        if (!Busy(err) || attempt == kBusyRetries)
            throw DbfError(ErrorKind::Io,
                           "Fisierul " + path + " nu a putut fi sters: " + Reason(err) + ".");
        IoFaults().busyWaitMs += kBusyWaitMs;
        Sleep(kBusyWaitMs);
    }
}

void RenameReplacing(const std::string& from, const std::string& to) {
    const DWORD err = MoveReplacing(from, to);
    if (err != ERROR_SUCCESS)
        throw DbfError(ErrorKind::Io, "Fisierul " + to + " nu a putut fi inlocuit: " +
                                          file_io_system::Reason(static_cast<int>(err)) + ".");
}

}  // namespace orbelan
