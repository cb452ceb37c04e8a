// OsFile on Windows: CreateFileA, SetFilePointer, ReadFile and CloseHandle.
#include "file/os_file.h"

#include <windows.h>

namespace file {
namespace {

std::string SystemMessage(DWORD error) {
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                   text, sizeof text, nullptr);
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    if (message.empty())
        message = "error " + std::to_string(error);
    return message;
}

}  // namespace

OsFile::~OsFile() { Close(); }

void OsFile::Close() {
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

bool OsFile::Open(const char* path, std::string& message) {
    Close();
    if (path == nullptr || *path == '\0') {
        message = SystemMessage(ERROR_PATH_NOT_FOUND);
        return false;
    }
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        message = SystemMessage(GetLastError());
        return false;
    }
    handle_ = h;
    return true;
}

bool OsFile::Seek(std::int32_t position) {
    // No high part: a negative position is refused and the file pointer stays where it was.
    return SetFilePointer(handle_, position, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

std::uint32_t OsFile::Read(void* buffer, std::uint32_t count) {
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, count, &got, nullptr)) {
        SetFilePointer(handle_, 0, nullptr, FILE_END);
        return 0;
    }
    return got;
}

std::uint32_t OsFile::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint32_t done = 0;
    while (done < count) {
        OVERLAPPED at{};
        const std::uint64_t from = offset + done;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        DWORD got = 0;
        if (!ReadFile(handle_, out + done, count - done, &got, &at) || got == 0)
            break;
        done += got;
    }
    return done;
}

}  // namespace file
