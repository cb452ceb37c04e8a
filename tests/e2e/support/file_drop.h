// Drag and drop from the test process: a real OLE DoDragDrop with our own IDataObject, started on its
// own thread with the pointer over the target. No mouse button is held, so the drop happens at once.
// The drop runs the target's handling (a load, perhaps an error box) before DoDragDrop returns, which
// is why the drag has its own thread: the test keeps working (closing the box) while it waits.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace e2e {

struct DragJob;

class Drag {
public:
    Drag() = default;
    ~Drag();  // waits a while for a drag still running, then leaves it to end with its target
    Drag(const Drag&) = delete;
    Drag& operator=(const Drag&) = delete;

    // Offers `paths` as CF_HDROP (a DROPFILES block of ANSI paths) and drops it at `screen`.
    // `modifiers` (kShift, kCtrl from user_input.h) are held in the key state the drag reports.
    bool StartFiles(POINT screen, const std::vector<std::string>& paths, unsigned modifiers = 0);
    // Offers `text` as CF_TEXT only, and drops it at `screen`.
    bool StartText(POINT screen, const std::string& text, unsigned modifiers = 0);

    // Waits until DoDragDrop has returned; true with its HRESULT and the final effect.
    bool Wait(DWORD timeoutMs, HRESULT* result = nullptr, DWORD* effect = nullptr);

private:
    bool Start(POINT screen, UINT format, std::string payload, unsigned modifiers);

    std::shared_ptr<DragJob> job_;
    HANDLE thread_ = nullptr;
};

// StartFiles and Wait in one: for drops whose handling shows nothing modal.
bool DropFiles(POINT screen, const std::vector<std::string>& paths, unsigned modifiers = 0,
               HRESULT* result = nullptr, DWORD* effect = nullptr);

// A screen point in the middle of the window's client area.
POINT ClientCentre(HWND hwnd);

}  // namespace e2e
