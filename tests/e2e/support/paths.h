// Where the end-to-end tests find the programs and DLLs they use, as Windows paths, and scratch folders.
#pragma once

#include <string>

namespace e2e {

// "/a/b" becomes "Z:\a\b": Wine maps the Linux root to drive Z.
std::string WindowsPath(const std::string& linuxPath);

std::string ProgramPath();  // ordanel.exe, in the build folder's root
std::string ListerPath();   // ordanel-exports.exe, beside it
std::string SampleDllPath();  // sample.dll, beside them (the README's sample)
std::string TestDllPath();    // e2e-exports.dll: several exports, one with a name longer than 511 bytes

// A new empty folder under the Wine user's temporary folder, removed with its files at scope exit.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // Copies `source` into the folder under `name`; returns the copy's full path, empty on failure.
    std::string CopyIn(const std::string& source, const std::string& name) const;

private:
    std::string path_;
};

}  // namespace e2e
