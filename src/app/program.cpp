// The life of the process: start-up, the message loop, shut-down, the program-wide records.
#include "app/program.h"

#include <windows.h>

#include <memory>
#include <new>

#include "app/host_notice.h"
#include "ui/main_window.h"
#include "pe/image_headers.h"
#include "ui/win_handles.h"

namespace {

std::string g_programDirectory;
std::unique_ptr<pe::ImageHeaders> g_imageHeaders;

// Any allocation that cannot be satisfied ends the process; no code of ours sees a failed new.
void OnOutOfMemory() { FailFatally("内存不足，程序无法继续运行"); }

// The executable's directory becomes the current directory, wherever the process was started from.
void RecordProgramDirectory() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string full(path, length < sizeof(path) ? length : sizeof(path) - 1);
    const std::size_t cut = full.rfind('\\');
    g_programDirectory = cut == std::string::npos ? std::string() : full.substr(0, cut);
    // The backslash keeps a drive root ("C:") from meaning that drive's current directory.
    if (!g_programDirectory.empty())
        SetCurrentDirectoryA((g_programDirectory + "\\").c_str());
}

void RunMessageLoop() {
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

void FailFatally(const char* text) {
    MessageBoxA(nullptr, text, "Ordanel", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    ExitProcess(static_cast<UINT>(-1));
}

void CreateProgramRecords() { g_imageHeaders = std::make_unique<pe::ImageHeaders>(); }

void ReleaseProgramRecords() {
    g_imageHeaders.reset();
    ReleaseHostNoticeRecords();
}

pe::ImageHeaders& ProgramImageHeaders() { return *g_imageHeaders; }

const std::string& ProgramDirectory() { return g_programDirectory; }

int RunProgram() {
    std::set_new_handler(OnOutOfMemory);
    RecordProgramDirectory();
    const OleInit ole;  // the drop target needs OLE on this thread; uninitialised after the release below
    CreateProgramRecords();
    if (!CreateMainWindow(GetModuleHandleA(nullptr)))
        FailFatally("无法创建程序窗口");
    RunMessageLoop();
    ReleaseProgramRecords();
    return 0;
}
