// Reading, writing and holding the clipboard from the test process.
#include "clipboard.h"

#include <cstring>

#include "wait.h"

namespace e2e {
namespace {

// One hidden window owns this process's clipboard sessions; it lives as long as the process.
HWND ClipboardWindow() {
    static HWND window = CreateWindowExA(0, "STATIC", "ordanel e2e clipboard", WS_POPUP, 0, 0, 1, 1, nullptr,
                                         nullptr, GetModuleHandleA(nullptr), nullptr);
    return window;
}

bool OpenWithRetry() {
    HWND owner = ClipboardWindow();
    return owner != nullptr && WaitUntil([owner] { return OpenClipboard(owner) != FALSE; }, 5000);
}

}  // namespace

bool ReadClipboardText(std::string* text) {
    if (!OpenWithRetry())
        return false;
    bool found = false;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* bytes = static_cast<const char*>(GlobalLock(data))) {
            const SIZE_T size = GlobalSize(data);
            std::size_t length = 0;
            while (length < size && bytes[length] != '\0')
                ++length;
            text->assign(bytes, length);
            found = true;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return found;
}

bool WriteClipboardText(const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (block == nullptr)
        return false;
    if (void* bytes = GlobalLock(block)) {
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        GlobalUnlock(block);
    }
    if (!OpenWithRetry()) {
        GlobalFree(block);
        return false;
    }
    const bool set = EmptyClipboard() && SetClipboardData(CF_TEXT, block) != nullptr;
    if (!set)
        GlobalFree(block);  // the clipboard did not take it
    CloseClipboard();
    return set;
}

ClipboardHold::ClipboardHold() : open_(OpenWithRetry()) {}

ClipboardHold::~ClipboardHold() { Release(); }

void ClipboardHold::Release() noexcept {
    if (open_)
        CloseClipboard();
    open_ = false;
}

}  // namespace e2e
