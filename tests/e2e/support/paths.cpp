// Paths handed over by the build, turned into Windows paths, and scratch folders.
#include "paths.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace e2e {

std::string WindowsPath(const std::string& linuxPath) {
    std::string out = "Z:";
    for (const char c : linuxPath)
        out += c == '/' ? '\\' : c;
    return out;
}

std::string ProgramPath() { return WindowsPath(ORDANEL_E2E_BUILD_DIR "/ordanel.exe"); }
std::string ListerPath() { return WindowsPath(ORDANEL_E2E_BUILD_DIR "/ordanel-exports.exe"); }
std::string SampleDllPath() { return WindowsPath(ORDANEL_E2E_BUILD_DIR "/sample.dll"); }
std::string TestDllPath() { return WindowsPath(ORDANEL_E2E_DATA_DIR "/e2e-exports.dll"); }

namespace {

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA found{};
    const std::string pattern = dir + "\\*";
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string full = dir + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH] = {};
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH)
        return;
    std::string base = temp;
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "\\ordanel-e2e-%lu-%u", GetCurrentProcessId(), counter++);
        const std::string candidate = base + name;
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    if (!path_.empty())
        RemoveTree(path_);
}

std::string ScratchDir::CopyIn(const std::string& source, const std::string& name) const {
    if (path_.empty())
        return {};
    const std::string target = path_ + "\\" + name;
    return CopyFileA(source.c_str(), target.c_str(), FALSE) ? target : std::string();
}

}  // namespace e2e
