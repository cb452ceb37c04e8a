// drop-files PATH...: drops the files on the running ordanel.exe window, as a drag from the shell
// would, then moves the pointer off the window and prints the window's rectangle as
// "WIDTHxHEIGHT+LEFT+TOP" (the form ImageMagick's -crop takes).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "file_drop.h"
#include "program.h"
#include "wait.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: drop-files PATH...\n", stderr);
        return 2;
    }
    std::vector<std::string> paths(argv + 1, argv + argc);
    HWND window = nullptr;
    if (!e2e::WaitUntil([&] { return (window = FindWindowA(e2e::kMainWindowClass, nullptr)) != nullptr; })) {
        std::fputs("drop-files: no ordanel.exe window\n", stderr);
        return 1;
    }
    e2e::PumpFor(500);  // input right after the window appears can be lost
    HWND list = GetDlgItem(window, e2e::kListControlId);
    if (!e2e::DropFiles(e2e::ClientCentre(list != nullptr ? list : window), paths)) {
        std::fputs("drop-files: the drop did not end\n", stderr);
        return 1;
    }
    SetCursorPos(0, 0);
    RECT rect{};
    GetWindowRect(window, &rect);
    std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
    return 0;
}
