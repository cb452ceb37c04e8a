// The program's modal windows: the file-open dialog and the error message box.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// The open dialog owned by `owner`: a top-level #32770 with the file-name box (control 0x47C).
// Null when none is open.
HWND FindOpenDialog(HWND owner);
// The Edit of the dialog's file-name box.
HWND OpenDialogNameEdit(HWND dialog);
// The folder the dialog shows (CDM_GETFOLDERPATH, answered in the dialog's process).
std::string OpenDialogFolder(HANDLE process, HWND dialog);
// Types `path` into the file-name box and presses the Open button.
bool ChooseInOpenDialog(HWND dialog, const std::string& path);
// Presses Cancel.
bool CancelOpenDialog(HWND dialog);

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};

// A message box of `processId` (a #32770 with the static text 0xFFFF and no file-name box).
bool FindMessageBox(DWORD processId, MessageBoxInfo* box);
// Presses its OK button.
bool CloseMessageBox(HWND box);

}  // namespace e2e
