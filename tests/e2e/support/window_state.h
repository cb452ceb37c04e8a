// Reading the state of another process's windows: caption, child geometry, and its list view's
// columns, rows, selection and row positions (the list-view messages whose records must live in the
// list's own process go through RemoteMemory).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace e2e {

// A block of memory in another process (VirtualAllocEx), freed at scope exit.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, std::size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool ok() const { return address_ != nullptr; }
    void* address() const { return address_; }
    bool Write(std::size_t offset, const void* data, std::size_t size) const;
    bool Read(std::size_t offset, void* data, std::size_t size) const;

private:
    HANDLE process_;
    void* address_;
};

// SendMessageTimeoutA that gives up on a hung window; returns the message's result (0 when it failed).
LRESULT SendTo(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Whether the window's class name is `className`.
bool HasClass(HWND hwnd, const char* className);
// The window's text in the ANSI code page, whatever its length.
std::string WindowText(HWND hwnd);
// The child window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);
// A point in `hwnd`'s client coordinates, in screen coordinates.
POINT ClientToScreenPoint(HWND hwnd, int x, int y);

struct ListColumn {
    std::string text;
    int width;
};

// The list's columns, read from its header control (HDM_GETITEMA).
std::vector<ListColumn> ListColumns(HANDLE process, HWND list);
int ListRowCount(HWND list);
// The first selected row, or -1.
int ListSelectedRow(HWND list);
// The text of one cell (LVM_GETITEMTEXTA), whatever its length. `ok` is false when the read failed.
std::string ListCellText(HANDLE process, HWND list, int row, int column, bool* ok = nullptr);
// Every row, each as its cell texts in column order.
std::vector<std::vector<std::string>> ListRows(HANDLE process, HWND list, int columns = 4);
// A screen point in the list below its last row, inside the part of the list the window shows
// (the list may reach past its parent's client area); assumes the rows leave that part free.
POINT ListEmptyPoint(HWND list);
// Scrolls `row` into view and gives a screen point inside its first column; false if it has no rectangle.
bool ListRowPoint(HANDLE process, HWND list, int row, POINT* screen);

}  // namespace e2e
