// What both systems' file doors share: the test hooks and the moves.
#include "engine/file_io.h"

#include <utility>

namespace orbelan {

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

}  // namespace orbelan
