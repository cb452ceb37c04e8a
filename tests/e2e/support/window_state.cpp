// Reading another process's window and list-view state.
#include "window_state.h"

#include <commctrl.h>

namespace e2e {

RemoteMemory::RemoteMemory(HANDLE process, std::size_t size)
    : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}

RemoteMemory::~RemoteMemory() {
    if (address_ != nullptr)
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool RemoteMemory::Write(std::size_t offset, const void* data, std::size_t size) const {
    SIZE_T written = 0;
    return address_ != nullptr &&
           WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &written) && written == size;
}

bool RemoteMemory::Read(std::size_t offset, void* data, std::size_t size) const {
    SIZE_T got = 0;
    return address_ != nullptr &&
           ReadProcessMemory(process_, static_cast<const char*>(address_) + offset, data, size, &got) && got == size;
}

LRESULT SendTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

// WM_GETTEXT, not GetWindowTextA: for a window of another process that only reads the caption
// the window manager keeps, which a control such as an Edit does not have.
bool HasClass(HWND hwnd, const char* className) {
    char name[64] = {};
    return GetClassNameA(hwnd, name, sizeof name) > 0 && lstrcmpA(name, className) == 0;
}

std::string WindowText(HWND hwnd) {
    const LRESULT length = SendTo(hwnd, WM_GETTEXTLENGTH);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT got = SendTo(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

RECT RectInParent(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

POINT ClientToScreenPoint(HWND hwnd, int x, int y) {
    POINT point{x, y};
    ClientToScreen(hwnd, &point);
    return point;
}

std::vector<ListColumn> ListColumns(HANDLE process, HWND list) {
    std::vector<ListColumn> columns;
    const auto header = reinterpret_cast<HWND>(SendTo(list, LVM_GETHEADER));
    if (header == nullptr)
        return columns;
    const int count = static_cast<int>(SendTo(header, HDM_GETITEMCOUNT));
    constexpr std::size_t kTextSize = 256;
    RemoteMemory remote(process, sizeof(HDITEMA) + kTextSize);
    if (!remote.ok())
        return columns;
    for (int i = 0; i < count; ++i) {
        HDITEMA item{};
        item.mask = HDI_TEXT | HDI_WIDTH;
        item.pszText = static_cast<char*>(remote.address()) + sizeof(HDITEMA);
        item.cchTextMax = static_cast<int>(kTextSize);
        char text[kTextSize] = {};
        if (!remote.Write(0, &item, sizeof item) || !remote.Write(sizeof item, text, 1) ||
            !SendTo(header, HDM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.address())) ||
            !remote.Read(0, &item, sizeof item) || !remote.Read(sizeof item, text, kTextSize))
            break;
        text[kTextSize - 1] = '\0';
        columns.push_back({text, item.cxy});
    }
    return columns;
}

int ListRowCount(HWND list) { return static_cast<int>(SendTo(list, LVM_GETITEMCOUNT)); }

int ListSelectedRow(HWND list) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, SMTO_ABORTIFHUNG, 10000,
                             &result))
        return -1;
    return static_cast<int>(static_cast<LRESULT>(result));
}

std::string ListCellText(HANDLE process, HWND list, int row, int column, bool* ok) {
    if (ok != nullptr)
        *ok = false;
    // Grows the buffer until the text fits with room to spare, so a long name comes back whole.
    for (std::size_t size = 1024; size <= (std::size_t{1} << 24); size *= 2) {
        RemoteMemory remote(process, sizeof(LVITEMA) + size);
        if (!remote.ok())
            return {};
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = static_cast<char*>(remote.address()) + sizeof(LVITEMA);
        item.cchTextMax = static_cast<int>(size);
        const char zero = '\0';
        if (!remote.Write(0, &item, sizeof item) || !remote.Write(sizeof item, &zero, 1))
            return {};
        const auto length = static_cast<std::size_t>(
            SendTo(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.address())));
        if (length + 1 < size) {
            std::string text(length, '\0');
            if (length > 0 && !remote.Read(sizeof item, text.data(), length))
                return {};
            if (ok != nullptr)
                *ok = true;
            return text;
        }
    }
    return {};
}

std::vector<std::vector<std::string>> ListRows(HANDLE process, HWND list, int columns) {
    std::vector<std::vector<std::string>> rows;
    const int count = ListRowCount(list);
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column)
            cells.push_back(ListCellText(process, list, row, column));
        rows.push_back(std::move(cells));
    }
    return rows;
}

POINT ListEmptyPoint(HWND list) {
    RECT listClient{};
    GetClientRect(list, &listClient);
    RECT parentClient{};
    HWND parent = GetParent(list);
    GetClientRect(parent, &parentClient);
    MapWindowPoints(parent, list, reinterpret_cast<POINT*>(&parentClient), 2);
    const LONG bottom = listClient.bottom < parentClient.bottom ? listClient.bottom : parentClient.bottom;
    return ClientToScreenPoint(list, 30, bottom - 12);
}

bool ListRowPoint(HANDLE process, HWND list, int row, POINT* screen) {
    SendTo(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RemoteMemory remote(process, sizeof(RECT));
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    if (!remote.Write(0, &rect, sizeof rect) ||
        !SendTo(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.address())) ||
        !remote.Read(0, &rect, sizeof rect))
        return false;
    *screen = ClientToScreenPoint(list, rect.left + 20, (rect.top + rect.bottom) / 2);
    return true;
}

}  // namespace e2e
