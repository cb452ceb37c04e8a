// A running ordanel.exe started by a test: its process, main window and list, killed at scope exit.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

constexpr char kMainWindowClass[] = "OrdanelMainWindow";
constexpr int kListControlId = 100;

class Program {
public:
    Program() = default;
    ~Program();
    Program(Program&& other) noexcept;
    Program& operator=(Program&& other) noexcept;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts `exe` (default: ordanel.exe) in `workingDir` (empty: this process's current folder),
    // waits until its main window is visible, then lets it settle (~0.5 s; input sent earlier can be
    // lost under Wine). False when it did not start or showed no window in time.
    bool Start(const std::string& exe = {}, const std::string& workingDir = {});

    HWND window() const { return window_; }
    HWND list() const { return list_; }
    HANDLE process() const { return process_; }
    DWORD processId() const { return processId_; }

    bool Running() const;
    // Waits for the process to end; true with its exit code, false if it is still running.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) const;
    // Ends the process if it still runs (also done by the destructor).
    void Kill() noexcept;

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
};

// The visible top-level window of `processId` with the class `className`, or null.
HWND FindProcessWindow(DWORD processId, const char* className);

}  // namespace e2e
