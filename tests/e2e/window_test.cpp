// The main window as it opens and as it is resized: rectangle, styles, caption, the list and its columns.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "program.h"
#include "wait.h"
#include "window_state.h"

namespace {

using e2e::Program;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.Start()) << "ordanel.exe did not show its window"; }
    Program app;
};

// The list's rectangle in the window's client area, and the one it should have: (-1, 0), one pixel
// wider than the client area, as high as it.
struct ListLayout {
    RECT actual;
    RECT wanted;
};

ListLayout ReadListLayout(const Program& app) {
    RECT client{};
    GetClientRect(app.window(), &client);
    return {e2e::RectInParent(app.list()), RECT{-1, 0, client.right, client.bottom}};
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
    char text[96];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

TEST_F(MainWindowTest, OpensCentredTopmostWithOnlyACloseButtonAndItsCaption) {
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(app.window(), &rect));
    EXPECT_EQ(rect.right - rect.left, 465);
    EXPECT_EQ(rect.bottom - rect.top, 360);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 465) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 360) / 2);

    const auto style = static_cast<DWORD>(GetWindowLongA(app.window(), GWL_STYLE));
    for (const DWORD wanted : {DWORD{WS_CAPTION}, DWORD{WS_SYSMENU}, DWORD{WS_THICKFRAME}, DWORD{WS_CLIPCHILDREN}})
        EXPECT_EQ(style & wanted, wanted) << std::hex << "style " << style << " lacks " << wanted;
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u) << std::hex << "style " << style;
    const auto exStyle = static_cast<DWORD>(GetWindowLongA(app.window(), GWL_EXSTYLE));
    EXPECT_NE(exStyle & WS_EX_TOPMOST, 0u) << std::hex << "exstyle " << exStyle;
    EXPECT_EQ(GetWindow(app.window(), GW_OWNER), nullptr);

    // Code page 936 bytes; the literal is compiled to GBK like the program's, and "软件" is pinned.
    const std::string caption = e2e::WindowText(app.window());
    EXPECT_EQ(caption, "Ordanel - Tessivo软件(https://www.tessivo.example)");
    EXPECT_NE(caption.find("\xC8\xED\xBC\xFE"), std::string::npos);
}

TEST_F(MainWindowTest, HoldsOnlyTheReportListWithItsStyles) {
    HWND list = app.list();
    char className[64] = {};
    GetClassNameA(list, className, sizeof className);
    EXPECT_STREQ(className, "SysListView32");
    EXPECT_EQ(GetWindow(app.window(), GW_CHILD), list);
    EXPECT_EQ(GetWindow(list, GW_HWNDNEXT), nullptr) << "the list is not the only child";

    const auto style = static_cast<DWORD>(GetWindowLongA(list, GWL_STYLE));
    EXPECT_EQ(style & LVS_TYPEMASK, DWORD{LVS_REPORT});
    for (const DWORD wanted : {DWORD{WS_CHILD}, DWORD{WS_VISIBLE}, DWORD{WS_TABSTOP}, DWORD{LVS_SINGLESEL},
                               DWORD{LVS_NOSORTHEADER}})
        EXPECT_EQ(style & wanted, wanted) << std::hex << "style " << style << " lacks " << wanted;
    EXPECT_NE(static_cast<DWORD>(GetWindowLongA(list, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE, 0u);
    const auto listStyle = static_cast<DWORD>(e2e::SendTo(list, LVM_GETEXTENDEDLISTVIEWSTYLE));
    const DWORD wantedListStyle = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP;
    EXPECT_EQ(listStyle & wantedListStyle, wantedListStyle) << std::hex << listStyle;
    EXPECT_EQ(listStyle & (LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP | LVS_EX_TRACKSELECT), 0u) << std::hex << listStyle;
    EXPECT_EQ(e2e::ListRowCount(list), 0);
}

TEST_F(MainWindowTest, ColumnHeadersReadBackAsCodePage936Bytes) {
    const std::vector<e2e::ListColumn> columns = e2e::ListColumns(app.process(), app.list());
    ASSERT_EQ(columns.size(), 4u);
    const struct {
        const char* text;
        int width;
    } wanted[] = {{"序号", 80}, {"函数名", 200}, {"RAV", 80}, {"偏移", 80}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(columns[i].text, wanted[i].text);
        EXPECT_EQ(columns[i].width, wanted[i].width);
    }
    EXPECT_EQ(columns[0].text, "\xD0\xF2\xBA\xC5");  // "序号" in code page 936
}

TEST_F(MainWindowTest, ListFillsTheClientAreaAtStartAndAfterEveryResize) {
    ListLayout layout = ReadListLayout(app);
    EXPECT_TRUE(SameRect(layout.actual, layout.wanted))
        << "at start: list " << Describe(layout.actual) << ", client area wants " << Describe(layout.wanted);

    const struct {
        int width, height;
    } sizes[] = {{640, 480}, {300, 200}, {465, 360}, {900, 700}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        ASSERT_TRUE(SetWindowPos(app.window(), nullptr, 0, 0, size.width, size.height,
                                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
        const bool fitted = e2e::WaitUntil([&] {
            layout = ReadListLayout(app);
            return SameRect(layout.actual, layout.wanted);
        });
        EXPECT_TRUE(fitted) << "list " << Describe(layout.actual) << ", client area wants " << Describe(layout.wanted);
    }

    // Moving without resizing leaves the list as it was.
    const RECT before = e2e::RectInParent(app.list());
    ASSERT_TRUE(SetWindowPos(app.window(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(SameRect(e2e::RectInParent(app.list()), before));
}

}  // namespace
