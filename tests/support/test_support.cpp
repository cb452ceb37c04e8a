// Temp files, row collection and process running for the reader's tests (POSIX).
#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "memory_source.h"
#include "pe/image_file.h"
#include "pe/image_headers.h"

namespace testsupport {
namespace {

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

void WriteAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n <= 0)
            std::abort();  // a test machine without temp space cannot run these tests
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::string MakeTempFile(const void* data, std::size_t size) {
    std::string path = TempFolder() + "/ordanel-test-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0)
        std::abort();
    WriteAll(fd, data, size);
    ::close(fd);
    return path;
}

std::string ReadAllAndClose(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

int AnonymousFile() {
    std::string path = TempFolder() + "/ordanel-out-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0)
        std::abort();
    ::unlink(path.c_str());
    return fd;
}

}  // namespace

TempFile::TempFile(const std::vector<unsigned char>& bytes) : path_(MakeTempFile(bytes.data(), bytes.size())) {}

TempFile::TempFile(const std::string& text) : path_(MakeTempFile(text.data(), text.size())) {}

TempFile::~TempFile() { ::unlink(path_.c_str()); }

TempDir::TempDir() {
    path_ = TempFolder() + "/ordanel-dir-XXXXXX";
    if (::mkdtemp(path_.data()) == nullptr)
        std::abort();
}

TempDir::~TempDir() { ::rmdir(path_.c_str()); }

std::vector<std::string> ListRows(const std::vector<unsigned char>& bytes) {
    MemorySource source(bytes);
    pe::ImageFile file(source);
    pe::ImageHeaders headers;
    RowCollector sink;
    if (pe::ReadImageHeaders(file, headers))
        pe::ListExports(file, headers, sink);
    return sink.rows;
}

std::vector<std::string> LoadRows(const std::vector<unsigned char>& bytes) {
    const TempFile file(bytes);
    pe::ImageHeaders headers;
    RowCollector sink;
    pe::LoadExportList(file.path().c_str(), headers, sink);
    return sink.rows;
}

ProcessResult RunProcess(const std::vector<std::string>& argv) {
    ProcessResult result;
    const int out = AnonymousFile();
    const int err = AnonymousFile();
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = ReadAllAndClose(out);
    result.err = ReadAllAndClose(err);
    return result;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace testsupport
