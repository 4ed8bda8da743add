// The POSIX side of engine/file_io.h: mmap, open-file-description locks, fsync and rename.
#include "engine/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <random>
#include <utility>

#include "engine/errors.h"
#include "engine/file_io_system.h"
#include "engine/file_time.h"

namespace orbelan {

using file_io_system::Reason;
using file_io_system::ThrowIo;

// Romanian reasons for the errors a user can do something about.
std::string file_io_system::Reason(int err) {
    switch (err) {
        case ENOENT:
            return "fisierul nu exista";
        case EACCES:
        case EPERM:
            return "acces interzis";
        case ENOSPC:
            return "discul este plin";
        case EROFS:
            return "discul este protejat la scriere";
        case EISDIR:
            return "este un folder, nu un fisier";
        case EIO:
            return "eroare de citire/scriere pe disc";
        case EBUSY:
        case ETXTBSY:
            return "fisierul este folosit de alt program";
        default:
            return "eroare de sistem " + std::to_string(err);
    }
}

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// ---- guarded mappings: a page lost to another program's truncation reads as zeros

struct GuardSlot {
    std::atomic<bool> used{false};
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<int> lost{0};
};
constexpr int kGuardSlots = 1024;
GuardSlot g_guards[kGuardSlots];
uintptr_t g_pageSize = 4096;
struct sigaction g_previousBus {};
std::once_flag g_busInstalled;

void OnBus(int sig, siginfo_t* info, void* context) {
    const auto addr = reinterpret_cast<uintptr_t>(info->si_addr);
    for (GuardSlot& slot : g_guards) {
        const uintptr_t b = slot.begin.load(std::memory_order_acquire);
        const uintptr_t e = slot.end.load(std::memory_order_acquire);
        if (b == 0 || addr < b || addr >= e) continue;
        // Zero pages in place of the lost ones, from the faulting page to the end of the view;
        // the faulting read is then done again and finds them.
        const uintptr_t from = addr & ~(g_pageSize - 1);
        void* p = ::mmap(reinterpret_cast<void*>(from), e - from, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (p == MAP_FAILED) break;
        slot.lost.store(1, std::memory_order_relaxed);
        file_io_detail::anyMappingLost.store(1, std::memory_order_release);
        return;
    }
    // Not one of ours: whoever handled it before, or the default action on the repeated fault.
    if ((g_previousBus.sa_flags & SA_SIGINFO) && g_previousBus.sa_sigaction != nullptr) {
        g_previousBus.sa_sigaction(sig, info, context);
        return;
    }
    if (g_previousBus.sa_handler != SIG_DFL && g_previousBus.sa_handler != SIG_IGN) {
        g_previousBus.sa_handler(sig);
        return;
    }
    ::signal(SIGBUS, SIG_DFL);
}

void InstallBusGuard() {
    std::call_once(g_busInstalled, [] {
        const long page = ::sysconf(_SC_PAGESIZE);
        if (page > 0) g_pageSize = static_cast<uintptr_t>(page);
        struct sigaction sa {};
        sa.sa_sigaction = OnBus;
        sa.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGBUS, &sa, &g_previousBus);
    });
}

int GuardMapping(const uint8_t* data, size_t size) {
    InstallBusGuard();
    for (int i = 0; i < kGuardSlots; ++i) {
        bool expected = false;
        if (!g_guards[i].used.compare_exchange_strong(expected, true)) continue;
        g_guards[i].lost.store(0, std::memory_order_relaxed);
        g_guards[i].end.store(reinterpret_cast<uintptr_t>(data) + size, std::memory_order_release);
        g_guards[i].begin.store(reinterpret_cast<uintptr_t>(data), std::memory_order_release);
        return i;
    }
    return -1;  // all taken: this view goes unguarded
}

void ReleaseGuard(int slot) {
    if (slot < 0) return;
    g_guards[slot].begin.store(0, std::memory_order_release);
    g_guards[slot].end.store(0, std::memory_order_release);
    g_guards[slot].lost.store(0, std::memory_order_relaxed);
    g_guards[slot].used.store(false, std::memory_order_release);
}

}  // namespace

// ---------------------------------------------------------------- MappedFile

bool MappedFile::SlotLost(int slot) {
    return g_guards[slot].lost.load(std::memory_order_relaxed) != 0;
}

void MappedFile::ReleasePages() const {
    if (data_ != nullptr) ::madvise(const_cast<uint8_t*>(data_), size_, MADV_DONTNEED);
}

void MappedFile::Reset() {
    ReleaseGuard(std::exchange(guard_, -1));
    if (data_ != nullptr) munmap(const_cast<uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
}

// ---------------------------------------------------------------- FileHandle

static int OpenChecked(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

FileHandle FileHandle::OpenRead(const std::string& path) {
    FileHandle h;
    h.fd_ = OpenChecked(path, O_RDONLY);
    if (h.fd_ < 0) {
        const int err = errno;
        if (err == ENOENT)
            throw DbfError(ErrorKind::CannotOpen, "Fisierul " + path + " nu exista.");
        throw DbfError(ErrorKind::CannotOpen,
                       "Fisierul " + path + " nu poate fi deschis: " + Reason(err) + ".");
    }
    h.path_ = path;
    return h;
}

FileHandle FileHandle::OpenReadWriteIfAllowed(const std::string& path) {
    FileHandle h;
    h.fd_ = OpenChecked(path, O_RDWR);
    if (h.fd_ >= 0) {
        h.writable_ = true;
        h.path_ = path;
        return h;
    }
    return OpenRead(path);
}

FileHandle FileHandle::OpenReadWrite(const std::string& path) {
    FileHandle h;
    h.fd_ = OpenChecked(path, O_RDWR);
    if (h.fd_ < 0) {
        const int err = errno;
        throw DbfError(ErrorKind::Io, "Fisierul " + path + " nu poate fi deschis pentru scriere: " +
                                          Reason(err) + ".");
    }
    h.writable_ = true;
    h.path_ = path;
    return h;
}

uint64_t FileHandle::Size() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}

size_t FileHandle::ReadAt(uint64_t offset, void* data, size_t n) const {
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd_, static_cast<char*>(data) + done, n - done,
                                  static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            ThrowIo("Citirea din fisierul", path_, errno);
        }
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return done;
}

MappedFile FileHandle::Map() const {
    MappedFile m;
    const uint64_t size = Size();
    if (size == 0) return m;
    void* p = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED)
        throw DbfError(ErrorKind::CannotOpen,
                       "Fisierul " + path_ + " nu poate fi citit: " + Reason(errno) + ".");
    m.data_ = static_cast<const uint8_t*>(p);
    m.size_ = static_cast<size_t>(size);
    m.guard_ = GuardMapping(m.data_, m.size_);
    return m;
}

void FileHandle::Close() {
    if (fd_ >= 0) ::close(fd_);  // drops the lock with the last descriptor
    fd_ = -1;
    writable_ = false;
    locked_ = false;
}

namespace {
// The open mark's byte, far past any table; the write lock covers everything before it.
constexpr off_t kOpenMark = off_t(1) << 62;
}  // namespace

bool FileHandle::TryLockForWriting() {
    if (locked_) return true;
    struct flock lock {};
    lock.l_type = writable_ ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = kOpenMark;  // the whole file, however long it grows
    for (;;) {
        if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0) break;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        // A file system without locks (some network shares): nothing to coordinate with.
        if (errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP) return true;
        ThrowIo("Blocarea fisierului", path_, errno);
    }
    locked_ = true;
    return true;
}

void FileHandle::UnlockWriting() {
    if (!locked_ || fd_ < 0) return;
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = kOpenMark;
    while (::fcntl(fd_, F_OFD_SETLK, &lock) != 0 && errno == EINTR) {
    }
    locked_ = false;
}

void FileHandle::MarkOpen() {
    if (fd_ < 0) return;
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kOpenMark;
    lock.l_len = 1;
    while (::fcntl(fd_, F_OFD_SETLK, &lock) != 0 && errno == EINTR) {
    }
}

bool FileHandle::OthersMarkedOpen() const {
    if (fd_ < 0) return false;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kOpenMark;
    lock.l_len = 1;
    if (::fcntl(fd_, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

bool FileHandle::Replaced() const {
    struct stat mine {
    }, named{};
    if (fd_ < 0 || ::fstat(fd_, &mine) != 0) return false;
    if (::stat(path_.c_str(), &named) != 0) return true;
    return mine.st_ino != named.st_ino || mine.st_dev != named.st_dev;
}

// ---------------------------------------------------------------- TempFile

namespace {

// A link is followed: the rename must replace the table it points to, not the link.
std::string ResolvedTarget(const std::string& target) {
    char resolved[PATH_MAX];
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
        ::realpath(target.c_str(), resolved) != nullptr)
        return resolved;
    return target;
}

}  // namespace

TempFile::TempFile(const std::string& target) : target_(ResolvedTarget(target)) {
    // Beside the target, so the final rename never crosses file systems.
    const std::string folder = FolderOf(target_);
    const std::string name = target_.substr(target_.find_last_of('/') + 1);
    std::string pattern = folder + "/." + name + ".tmp-XXXXXX";
    if (TakeFault(IoFaults().failWriteAfter))
        ThrowIo("Crearea fisierului temporar pentru", target, file_io_system::InjectedWriteError());
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM || err == EROFS)
            throw DbfError(ErrorKind::Io, "In folderul " + folder +
                                              " nu se poate scrie, deci fisierul " + target +
                                              " nu poate fi inlocuit: " + Reason(err) + ".");
        ThrowIo("Crearea fisierului temporar pentru", target, err);
    }
    // The new file keeps the old one's permissions (mkstemp makes it private to its owner).
    struct stat old;
    if (::stat(target_.c_str(), &old) == 0) {
        ::fchmod(fd_, old.st_mode & 07777);
        if (::fchown(fd_, old.st_uid, old.st_gid) != 0) {
            // Only the owner's own group may be given; the permission bits still apply.
        }
    } else {
        ::fchmod(fd_, 0644);
    }
    path_ = pattern;
    buffer_.reserve(file_io_system::kTempBuffer);
}

void TempFile::RenameOverTarget() {
    if (TakeFault(IoFaults().failRenameAfter))
        throw DbfError(ErrorKind::Io,
                       "Fisierul " + target_ + " nu a putut fi inlocuit: " + Reason(EACCES) + ".");
    if (::rename(path_.c_str(), target_.c_str()) != 0)
        throw DbfError(ErrorKind::Io,
                       "Fisierul " + target_ + " nu a putut fi inlocuit: " + Reason(errno) + ".");
    renamed_ = true;
    ::close(fd_);
    fd_ = -1;
}

void TempFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!renamed_ && !path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

// ---------------------------------------------------------------- shared code's primitives

namespace file_io_system {

int WriteAll(intptr_t fd, uint64_t offset, const void* data, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(static_cast<int>(fd), static_cast<const char*>(data) + done,
                                   n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<size_t>(r);
    }
    return 0;
}

int FlushToDisk(intptr_t fd) {
    return ::fsync(static_cast<int>(fd)) == 0 ? 0 : errno;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* e = ::readdir(dir)) names.emplace_back(e->d_name);
    ::closedir(dir);
    return names;
}

std::string ScratchTargetOf(const std::string& target) {
    return ResolvedTarget(target);
}

bool HeldOpen(const std::string&) {
    return false;  // not knowable here; RecentlyChanged guards the files a writer still needs
}

bool RecentlyChanged(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return true;
    // A hard link or a rename sets the status-change time, so a backup ages from its making.
    const int64_t now = static_cast<int64_t>(std::time(nullptr)) + IoFaults().scratchClockShift;
    return now - static_cast<int64_t>(st.st_ctime) < kScratchAgeSeconds;
}

bool RemoveQuietly(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool MoveToFreeName(const std::string& from, const std::string& to) {
    // link() never replaces an existing file, unlike rename().
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

const int kDiskFullError = ENOSPC;
const int kDiskError = EIO;

}  // namespace file_io_system

// ---------------------------------------------------------------- FileBackup

FileBackup::FileBackup(const std::string& path) : path_(path) {
    if (path.empty() || !FileExists(path)) return;
    existed_ = true;
    const std::string folder = FolderOf(path);
    const std::string name = path.substr(path.find_last_of('/') + 1);
    static std::mt19937 rng{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08X", static_cast<unsigned>(rng()));
        const std::string candidate = folder + "/." + name + ".old-" + suffix;
        // link() never replaces an existing file: a taken name just means another try.
        const int err = IoFaults().noHardLinks                         ? EPERM
                        : ::link(path.c_str(), candidate.c_str()) == 0 ? 0
                                                                       : errno;
        if (err == 0) {
            link_ = candidate;
            return;
        }
        if (err == EEXIST || FileExists(candidate)) continue;
        // No hard links on this file system: the old file steps aside under the second name.
        if (::rename(path.c_str(), candidate.c_str()) == 0) {
            link_ = candidate;
            aside_ = true;
        }
        return;
    }
}

FileBackup::~FileBackup() {
    if (link_.empty()) return;
    // Stepped aside and nothing took its name (the replace failed before it): it goes back.
    if (aside_ && !FileExists(path_) && ::rename(link_.c_str(), path_.c_str()) == 0) return;
    ::unlink(link_.c_str());
}

void FileBackup::Restore() noexcept {
    if (path_.empty()) return;
    if (!existed_) {
        ::unlink(path_.c_str());
        return;
    }
    if (link_.empty()) return;
    if (::rename(link_.c_str(), path_.c_str()) == 0) {
        link_.clear();
        SyncFolderOf(path_);
    }
}

// ---------------------------------------------------------------- helpers

void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // some file systems don't allow it; the rename itself has happened
    ::fsync(fd);
    ::close(fd);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int64_t ModifiedTime(const std::string& path) {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(path, ec);
    return ec ? kNoTime : static_cast<int64_t>(time.time_since_epoch().count());
}

bool RemoveFile(const std::string& path) {
    if (!FileExists(path)) return false;
    if (TakeFault(IoFaults().failRemoveAfter))
        throw DbfError(ErrorKind::Io,
                       "Fisierul " + path + " nu a putut fi sters: " + Reason(EACCES) + ".");
    if (::unlink(path.c_str()) != 0) {
        if (errno == ENOENT) return false;
        throw DbfError(ErrorKind::Io,
                       "Fisierul " + path + " nu a putut fi sters: " + Reason(errno) + ".");
    }
    return true;
}

void RenameReplacing(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        throw DbfError(ErrorKind::Io, "Fisierul " + to + " nu a putut fi inlocuit: " +
                                          file_io_system::Reason(errno) + ".");
}

}  // namespace orbelan
