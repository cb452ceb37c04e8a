// Finding and answering the open dialog and the message box of another process.
#include "dialogs.h"

#include <commdlg.h>

#include "window_state.h"

namespace e2e {
namespace {

constexpr int kFileNameBoxId = 0x47C;  // cmb13: the combo box around the file-name Edit
constexpr int kMessageTextId = 0xFFFF;

struct ChildSearch {
    int id;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if (GetDlgCtrlID(hwnd) == search->id && (search->className == nullptr || HasClass(hwnd, search->className))) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Any descendant with that id (and class, when given).
HWND FindDescendant(HWND parent, int id, const char* className) {
    ChildSearch search{id, className, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct DialogSearch {
    HWND owner;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchOpenDialog(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    if (IsWindowVisible(hwnd) && HasClass(hwnd, "#32770") && GetWindow(hwnd, GW_OWNER) == search->owner &&
        FindDescendant(hwnd, kFileNameBoxId, nullptr) != nullptr) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchMessageBox(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->processId && IsWindowVisible(hwnd) && HasClass(hwnd, "#32770") &&
        GetDlgItem(hwnd, kMessageTextId) != nullptr && FindDescendant(hwnd, kFileNameBoxId, nullptr) == nullptr) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

bool PressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr)
        return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) != FALSE;
}

}  // namespace

HWND FindOpenDialog(HWND owner) {
    DialogSearch search{owner, 0, nullptr};
    EnumWindows(MatchOpenDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND OpenDialogNameEdit(HWND dialog) {
    HWND box = FindDescendant(dialog, kFileNameBoxId, nullptr);
    if (box == nullptr)
        return nullptr;
    if (HasClass(box, "Edit"))
        return box;
    return FindDescendant(box, kFileNameBoxId, "Edit");
}

std::string OpenDialogFolder(HANDLE process, HWND dialog) {
    constexpr std::size_t kSize = 1024;
    RemoteMemory remote(process, kSize);
    const char zero = '\0';
    if (!remote.Write(0, &zero, 1))
        return {};
    const LRESULT length = SendTo(dialog, CDM_GETFOLDERPATH, kSize, reinterpret_cast<LPARAM>(remote.address()));
    if (length <= 0)
        return {};
    char folder[kSize] = {};
    if (!remote.Read(0, folder, kSize - 1))
        return {};
    return folder;
}

bool ChooseInOpenDialog(HWND dialog, const std::string& path) {
    HWND edit = OpenDialogNameEdit(dialog);
    return edit != nullptr && SendTo(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str())) &&
           PressButton(dialog, IDOK);
}

bool CancelOpenDialog(HWND dialog) { return PressButton(dialog, IDCANCEL); }

bool FindMessageBox(DWORD processId, MessageBoxInfo* box) {
    DialogSearch search{nullptr, processId, nullptr};
    EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr)
        return false;
    box->window = search.found;
    box->caption = WindowText(search.found);
    box->text = WindowText(GetDlgItem(search.found, kMessageTextId));
    return true;
}

bool CloseMessageBox(HWND box) { return PressButton(box, IDOK); }

}  // namespace e2e
