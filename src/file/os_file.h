// OsFile: an image file opened for reading through the platform's own calls, one call per operation.
#pragma once

#include <cstdint>
#include <string>

#include "pe/image_file.h"

namespace file {

// One open file, closed when the OsFile goes. Seek and Read are the plain operations, one system call
// each (SetFilePointer and ReadFile on Windows); ReadAt feeds the block cache of pe::ImageFile.
class OsFile final : public pe::BlockSource {
public:
    OsFile() = default;
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;
    ~OsFile();

    // Opens an existing file for reading, not denying others read or write access. A folder or an
    // empty path cannot be opened. On failure `message` says why, in the platform's words.
    bool Open(const char* path, std::string& message);

    // Moves to a signed 32-bit position from the start of the file. A negative position fails and
    // leaves the position where it was; a position past the end of the file is accepted.
    bool Seek(std::int32_t position);

    // Reads up to `count` bytes at the position with one request and moves past them. A read error
    // gives nothing and moves to the end of the file.
    std::uint32_t Read(void* buffer, std::uint32_t count);

    std::uint32_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) override;

private:
    void Close();

#ifdef _WIN32
    void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));  // INVALID_HANDLE_VALUE
#else
    int fd_ = -1;
#endif
};

}  // namespace file
