// The clipboard as the tests see it. Every call opens it with a hidden window of this process,
// because under Wine only an open clipboard with an owner window keeps other processes out.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// The CF_TEXT bytes up to their terminating zero; false when the clipboard could not be opened or
// holds no CF_TEXT.
bool ReadClipboardText(std::string* text);
// Replaces the clipboard's contents with `text` as CF_TEXT.
bool WriteClipboardText(const std::string& text);

// Holds the clipboard open with a window of this process, as a busy program would; closes it at
// scope exit or on Release().
class ClipboardHold {
public:
    ClipboardHold();
    ~ClipboardHold();
    ClipboardHold(const ClipboardHold&) = delete;
    ClipboardHold& operator=(const ClipboardHold&) = delete;

    bool ok() const { return open_; }
    void Release() noexcept;

private:
    bool open_ = false;
};

}  // namespace e2e
