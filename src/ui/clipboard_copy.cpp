// Copying the selected function name to the clipboard.
#include "ui/clipboard_copy.h"

#include <cstring>

#include "ui/export_list_view.h"
#include "ui/win_handles.h"

namespace {

// Another program may hold the clipboard open for a moment; try a few times over about 100 ms.
ClipboardOpen OpenClipboardPatiently(HWND owner) {
    constexpr int kTries = 5;
    constexpr DWORD kPauseMs = 25;
    for (int attempt = 1;; ++attempt) {
        ClipboardOpen clip(owner);
        if (clip.ok() || attempt == kTries)
            return clip;
        Sleep(kPauseMs);
    }
}

}  // namespace

bool PutTextOnClipboard(HWND owner, const std::string& text) {
    const SIZE_T bytes = text.size() + 1;
    GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));  // ours until the clipboard takes it
    if (!block)
        return false;
    {
        GlobalLockScope lock(block.get());
        if (!lock)
            return false;
        std::memcpy(lock.get(), text.c_str(), bytes);
    }

    ClipboardOpen clip = OpenClipboardPatiently(owner);
    if (!clip.ok() || !EmptyClipboard())
        return false;
    if (SetClipboardData(CF_TEXT, block.get()) == nullptr)
        return false;
    block.release();  // the system owns it now; never free it
    return true;
}

void CopySelectedName(HWND mainWindow, HWND list) {
    const std::string name = SelectedFunctionName(list);
    if (name.empty())
        return;
    if (PutTextOnClipboard(mainWindow, name))
        SetWindowTextA(mainWindow, (name + " 已复制").c_str());
}
