// ExportListView: the report-view list control of the main window, and the row sink on it.
#include "ui/export_list_view.h"

#include <commctrl.h>

#include <cstddef>
#include <cstring>

namespace {

struct Column {
    const char* header;
    int width;
};

constexpr Column kColumns[] = {
    {"序号", 80},
    {"函数名", 200},
    {"RAV", 80},
    {"偏移", 80},
};

// The list copies every text it is given; the pointer only has to live for the call.
char* TextArg(const std::string& text) { return const_cast<char*>(text.c_str()); }

void SetSubItemText(HWND list, int item, int subItem, const std::string& text) {
    LVITEMA cell{};
    cell.iSubItem = subItem;
    cell.pszText = TextArg(text);
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

}  // namespace

HWND CreateExportListView(HWND parent, HINSTANCE instance) {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | LVS_REPORT |
                        LVS_SINGLESEL | LVS_NOSORTHEADER;
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", style, -1, 0, 456, 325, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kExportListId)), instance, nullptr);
    if (list == nullptr)
        return nullptr;

    const LPARAM exStyle = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(exStyle), exStyle);
    SendMessageA(list, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(RGB(0x00, 0x00, 0x00)));
    SendMessageA(list, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(RGB(0xFF, 0xFF, 0xFF)));
    SendMessageA(list, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(RGB(0xFF, 0xFF, 0xFF)));
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);

    int index = 0;
    for (const Column& c : kColumns) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(c.header);
        column.cx = c.width;
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
        ++index;
    }
    return list;
}

void ExportListView::Clear() { SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0); }

void ExportListView::Append(const pe::ExportRow& row) {
    if (!redrawSuspended_) {
        // Nothing paints during a load anyway (it runs inside one event); with redrawing on, a
        // themed list spends milliseconds per inserted row.
        SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
        redrawSuspended_ = true;
    }
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = TextArg(row.IndexText);
    // -1 when the insertion fails: the text settings below then address no item and change nothing.
    const int inserted = static_cast<int>(
        SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    SetSubItemText(list_, inserted, 1, row.FunctionName);
    SetSubItemText(list_, inserted, 2, row.RvaText);
    SetSubItemText(list_, inserted, 3, row.OffsetText);
}

void ExportListView::EndLoad() noexcept {
    if (!redrawSuspended_)
        return;
    redrawSuspended_ = false;
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

std::string SelectedFunctionName(HWND list) {
    const LRESULT selected = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (selected < 0)
        return {};

    // A name longer than the buffer comes back cut to size - 1 bytes; grow until it fits. Names the
    // reader produces are bounded, and so is this loop.
    constexpr std::size_t kMaxBuffer = std::size_t{1} << 26;
    std::string text;
    for (std::size_t size = 512; size <= kMaxBuffer; size *= 2) {
        text.assign(size, '\0');
        LVITEMA cell{};
        cell.iSubItem = 1;
        cell.pszText = text.data();
        cell.cchTextMax = static_cast<int>(size);
        const LRESULT length =
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&cell));
        if (length < 0 || static_cast<std::size_t>(length) < size - 1)
            break;
    }
    text.resize(std::strlen(text.c_str()));
    return text;
}
