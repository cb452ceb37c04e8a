// OsFile on POSIX systems: open, lseek, read and pread.
#include "file/os_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace file {

OsFile::~OsFile() { Close(); }

void OsFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool OsFile::Open(const char* path, std::string& message) {
    Close();
    if (path == nullptr || *path == '\0') {
        message = std::strerror(ENOENT);
        return false;
    }
    // O_NONBLOCK keeps a FIFO from blocking the open; only regular files are read.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        message = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // Windows cannot open a folder as a file; neither does the tool here.
        message = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool OsFile::Seek(std::int32_t position) {
    if (position < 0)
        return false;
    return ::lseek(fd_, position, SEEK_SET) >= 0;
}

std::uint32_t OsFile::Read(void* buffer, std::uint32_t count) {
    ssize_t got;
    do {
        got = ::read(fd_, buffer, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        ::lseek(fd_, 0, SEEK_END);
        return 0;
    }
    return static_cast<std::uint32_t>(got);
}

std::uint32_t OsFile::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint32_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

}  // namespace file
