// Starting ordanel.exe for a test and ending it.
#include "program.h"

#include <utility>

#include "paths.h"
#include "wait.h"
#include "window_state.h"

namespace e2e {
namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->processId && IsWindowVisible(hwnd) && HasClass(hwnd, search->className)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const char* className) {
    WindowSearch search{processId, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

Program::~Program() { Kill(); }

Program::Program(Program&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      processId_(std::exchange(other.processId_, 0)),
      window_(std::exchange(other.window_, nullptr)),
      list_(std::exchange(other.list_, nullptr)) {}

Program& Program::operator=(Program&& other) noexcept {
    if (this != &other) {
        Kill();
        process_ = std::exchange(other.process_, nullptr);
        processId_ = std::exchange(other.processId_, 0);
        window_ = std::exchange(other.window_, nullptr);
        list_ = std::exchange(other.list_, nullptr);
    }
    return *this;
}

bool Program::Start(const std::string& exe, const std::string& workingDir) {
    Kill();
    const std::string path = exe.empty() ? ProgramPath() : exe;
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;

    const bool shown = WaitUntil([this] {
        window_ = FindProcessWindow(processId_, kMainWindowClass);
        return window_ != nullptr || !Running();
    });
    if (!shown || window_ == nullptr)
        return false;
    list_ = GetDlgItem(window_, kListControlId);
    PumpFor(500);
    return list_ != nullptr;
}

bool Program::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (process_ == nullptr)
        return false;
    const bool ended = WaitUntil([this] { return !Running(); }, timeoutMs);
    if (ended && exitCode != nullptr)
        GetExitCodeProcess(process_, exitCode);
    return ended;
}

void Program::Kill() noexcept {
    if (process_ == nullptr)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    processId_ = 0;
    window_ = nullptr;
    list_ = nullptr;
}

}  // namespace e2e
