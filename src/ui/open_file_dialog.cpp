// OpenFileDialog: the file-open dialog of the list's double-click, and the last file picked in it.
#include "ui/open_file_dialog.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

constexpr char kFilterText[] = "所有文件(*.*)|*.*|可执行文件(*.exe)|*.exe|动态链接库(*.dll)|*.dll";
constexpr std::size_t kFileNameBytes = 260;

// Description and pattern alternate, each ended by a zero byte, the list by a second one. None of
// these code page 936 texts has '|' as a trail byte, so a plain byte replacement is safe.
std::string DialogFilter() {
    std::string filter(kFilterText, sizeof(kFilterText) - 1);
    for (char& c : filter) {
        if (c == '|')
            c = '\0';
    }
    filter.append(2, '\0');
    return filter;
}

}  // namespace

bool RunOpenFileDialog(OpenFileDialog& dialog) {
    const std::string filter = DialogFilter();
    char fileName[kFileNameBytes] = {};
    std::memcpy(fileName, dialog.FileName.data(), std::min(dialog.FileName.size(), kFileNameBytes - 1));

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = fileName;
    ofn.nMaxFile = static_cast<DWORD>(kFileNameBytes);
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameA(&ofn))
        return false;
    fileName[kFileNameBytes - 1] = '\0';
    dialog.FileName = fileName;
    return true;
}
