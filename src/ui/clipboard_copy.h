// Copying the selected function name to the clipboard.
#pragma once

#include <windows.h>

#include <string>

// Puts `text` on the clipboard as CF_TEXT, with `owner` as the clipboard's owner. The clipboard is
// emptied only once it is open and the block is ready, so a failure leaves its contents alone.
// Returns true when SetClipboardData took the text.
bool PutTextOnClipboard(HWND owner, const std::string& text);

// The click handling of the list: copies the selected row's name and, only once the clipboard holds
// it, shows the name followed by " 已复制" in the caption of `mainWindow`.
void CopySelectedName(HWND mainWindow, HWND list);
