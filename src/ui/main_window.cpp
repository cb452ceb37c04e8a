// MainWindow: the program's one window, which holds the export list.
#include "ui/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <new>
#include <string>

#include "app/host_notice.h"
#include "app/program.h"
#include "ui/clipboard_copy.h"
#include "ui/drop_target.h"
#include "ui/export_list_view.h"
#include "ui/open_file_dialog.h"
#include "pe/export_list.h"
#include "ui/win_handles.h"

namespace {

constexpr char kClassName[] = "OrdanelMainWindow";
constexpr char kCaption[] = "Ordanel - Tessivo软件(https://www.tessivo.example)";
constexpr int kOuterWidth = 465;
constexpr int kOuterHeight = 360;
constexpr int kMaxListExtent = 32627;

// The window's state; there is one window per process.
struct MainWindowState {
    HWND window = nullptr;
    HWND list = nullptr;
    bool created = false;             // CreateWindowExA returned; a failed creation closes nothing down
    bool eventsLive = false;          // off while the window and its controls are being created
    DropTarget* dropTarget = nullptr;  // our reference; RegisterDragDrop holds its own
    OpenFileDialog openFileDialog;
    IconHandle bigIcon;
    IconHandle smallIcon;
    WNDPROC listDefaultProc = nullptr;  // the list-view control's own procedure, which ours wraps
};

MainWindowState g_main;

int ClampExtent(LONG value) { return static_cast<int>(std::clamp<LONG>(value, 0, kMaxListExtent)); }

bool EscapeAlone(UINT vk) {
    return vk == VK_ESCAPE && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_SHIFT) >= 0 &&
           GetKeyState(VK_MENU) >= 0;
}

// The one load procedure of both intake roads. The error box comes after redrawing is back on, so
// the emptied list shows behind it.
void LoadIntoList(const char* path) {
    pe::OpenFailure failure;
    {
        ExportListView view(g_main.list);
        failure = pe::LoadExportList(path, ProgramImageHeaders(), view);
    }
    if (failure.failed)
        MessageBoxA(nullptr, "无法读取文件内容", "信息：", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void OnFileDropped(const std::string& pathText) { LoadIntoList(pathText.c_str()); }

// The list's double-click: pick a file and load it.
void OnListDoubleClick() {
    if (RunOpenFileDialog(g_main.openFileDialog))
        LoadIntoList(g_main.openFileDialog.FileName.c_str());
}

// The list fills the client area: its left edge stays at -1, so it is one pixel wider.
void OnSizeChanged() {
    RECT client{};
    GetClientRect(g_main.window, &client);
    const int width = ClampExtent(client.right - client.left + 1);
    const int height = ClampExtent(client.bottom - client.top);
    SetWindowPos(g_main.list, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

// A failed registration only means the window takes no drops.
void OnCreated() {
    g_main.dropTarget = new (std::nothrow) DropTarget(OnFileDropped);
    if (g_main.dropTarget != nullptr)
        RegisterDragDrop(g_main.window, g_main.dropTarget);
}

// Esc closes the window from the list as well; the list never sees it. A double-click inside the
// list's own window (not its header or scroll bars) opens the file dialog once the list has handled it.
// The procedure is replaced directly: under Wine, SetWindowSubclass looks a window property up on
// every message, which makes a big load many times slower.
LRESULT CALLBACK ListWindowProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC listDefault = g_main.listDefaultProc;
    switch (message) {
    case WM_KEYDOWN:
        if (EscapeAlone(static_cast<UINT>(wParam))) {
            SendMessageA(g_main.window, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_LBUTTONDBLCLK: {
        const LRESULT result = CallWindowProcA(listDefault, list, message, wParam, lParam);
        if (g_main.eventsLive)
            OnListDoubleClick();
        return result;
    }
    default:
        break;
    }
    return CallWindowProcA(listDefault, list, message, wParam, lParam);
}

/*
 * OnCreate
 *     Creates the list. Events stay off until CreateMainWindow has finished the window.
 */
BOOL OnCreate(HWND window, LPCREATESTRUCTA create) {
    g_main.window = window;
    g_main.list = CreateExportListView(window, create->hInstance);
    if (g_main.list == nullptr)
        return FALSE;
    g_main.listDefaultProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_main.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListWindowProc)));
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    g_main.bigIcon = IconHandle(static_cast<HICON>(LoadImageA(create->hInstance, "DEFAULT_ICON", IMAGE_ICON, 32, 32, 0)));
    g_main.smallIcon = IconHandle(static_cast<HICON>(LoadImageA(create->hInstance, "DEFAULT_ICON", IMAGE_ICON, 16, 16, 0)));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_main.bigIcon.get()));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_main.smallIcon.get()));
    return TRUE;
}

void OnSize(HWND, UINT, int, int) {
    if (g_main.eventsLive)
        OnSizeChanged();
}

void OnKeyDown(HWND window, UINT vk, BOOL, int, UINT) {
    if (EscapeAlone(vk))
        SendMessageA(window, WM_CLOSE, 0, 0);
}

/*
 * OnNotify
 *     NM_CLICK from the list: a left click in its client area, on a row or not. The click has
 *     already selected the row it hit.
 */
LRESULT OnNotify(HWND window, int, NMHDR* header) {
    if (header->hwndFrom != g_main.list)
        return 0;
    if (header->code == static_cast<UINT>(NM_CLICK) && g_main.eventsLive)
        CopySelectedName(window, g_main.list);
    // The rows hold no data of ours: one notice for a Clear instead of one per row.
    if (header->code == static_cast<UINT>(LVN_DELETEALLITEMS))
        return TRUE;
    return 0;
}

void OnClose(HWND window) { DestroyWindow(window); }

/*
 * OnDestroy
 *     No drop is taken once destruction has begun; the exit notice goes out while the window
 *     handle is still valid.
 */
void OnDestroy(HWND window) {
    g_main.eventsLive = false;
    if (!g_main.created)
        return;
    if (g_main.dropTarget != nullptr) {
        RevokeDragDrop(window);
        g_main.dropTarget->Release();
        g_main.dropTarget = nullptr;
    }
    SendExitNotice();
}

void OnNcDestroy(HWND window) {
    FORWARD_WM_NCDESTROY(window, DefWindowProcA);
    g_main.window = nullptr;
    g_main.list = nullptr;
    g_main.bigIcon.reset();
    g_main.smallIcon.reset();
    if (g_main.created)
        PostQuitMessage(0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_SIZE, OnSize);
        HANDLE_MSG(window, WM_KEYDOWN, OnKeyDown);
        HANDLE_MSG(window, WM_NOTIFY, OnNotify);
        HANDLE_MSG(window, WM_CLOSE, OnClose);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
        HANDLE_MSG(window, WM_NCDESTROY, OnNcDestroy);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kClassName;
    return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

bool CreateMainWindow(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);
    if (!RegisterMainWindowClass(instance))
        return false;

    const int left = (GetSystemMetrics(SM_CXSCREEN) - kOuterWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kOuterHeight) / 2;
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
    HWND window = CreateWindowExA(0, kClassName, kCaption, style, left, top, kOuterWidth, kOuterHeight, nullptr,
                                  nullptr, instance, nullptr);
    if (window == nullptr)
        return false;
    g_main.created = true;

    RECT outer{};
    GetWindowRect(window, &outer);
    if (outer.right - outer.left != kOuterWidth || outer.bottom - outer.top != kOuterHeight)
        SetWindowPos(window, nullptr, left, top, kOuterWidth, kOuterHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    g_main.eventsLive = true;
    OnCreated();
    OnSizeChanged();
    ShowWindow(window, SW_SHOW);
    return true;
}
