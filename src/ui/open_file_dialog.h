// OpenFileDialog: the file-open dialog of the list's double-click, and the last file picked in it.
#pragma once

#include <string>

struct OpenFileDialog {
    // Empty at first; after every confirmed pick the full path picked, which the next dialog starts with.
    std::string FileName;
};

// Runs the dialog modally, owned by the active window. Returns true and updates FileName when the user
// confirmed a file; leaves FileName alone when the dialog was cancelled or failed.
bool RunOpenFileDialog(OpenFileDialog& dialog);
