// Copying a function name with a click: the clipboard gets exactly the name, the caption says so,
// and nothing changes when no row is selected or another program holds the clipboard.
#include <gtest/gtest.h>

#include "clipboard.h"
#include "expect_list.h"
#include "file_drop.h"
#include "paths.h"
#include "program.h"
#include "user_input.h"
#include "wait.h"
#include "window_state.h"

namespace {

using e2e::Program;
using e2e::Rows;

constexpr char kCopiedSuffix[] = " 已复制";
constexpr char kUntouched[] = "clipboard before the click";

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.Start()) << "ordanel.exe did not show its window";
        rows = e2e::ListerRows(e2e::TestDllPath());
        ASSERT_GE(rows.size(), 3u);
        ASSERT_TRUE(e2e::DropFiles(e2e::ClientCentre(app.list()), {e2e::TestDllPath()}));
        ASSERT_TRUE(e2e::ListShows(app, rows));
    }

    bool ClickRow(int row) {
        POINT point{};
        return e2e::ListRowPoint(app.process(), app.list(), row, &point) && e2e::Click(point);
    }

    // Waits until the key press that follows a click has moved the selection to `row`: input is
    // handled in order, so the click's handling is over by then.
    bool SelectionReaches(int row) {
        return e2e::WaitUntil([&] { return e2e::ListSelectedRow(app.list()) == row; });
    }

    std::string Caption() const { return e2e::WindowText(app.window()); }

    Program app;
    Rows rows;
};

TEST_F(CopyTest, ClickOnARowPutsExactlyItsNameOnTheClipboardAndInTheCaption) {
    // Every row, the name longer than 511 bytes among them; the last row is clicked twice, so the
    // suffix must not pile up.
    std::vector<int> order;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        order.push_back(i);
    order.push_back(order.back());
    bool sawLongName = false;
    for (const int row : order) {
        const std::string& name = rows[static_cast<std::size_t>(row)][1];
        SCOPED_TRACE("row " + std::to_string(row) + ", " + std::to_string(name.size()) + "-byte name");
        sawLongName = sawLongName || name == ORDANEL_E2E_LONG_NAME;
        ASSERT_TRUE(e2e::WriteClipboardText(kUntouched));
        // A caption of our own first, so that a repeated click shows its effect too.
        ASSERT_TRUE(SetWindowTextA(app.window(), "before the click"));
        ASSERT_TRUE(ClickRow(row));
        const std::string wanted = name + kCopiedSuffix;
        std::string caption;
        EXPECT_TRUE(e2e::WaitUntil([&] { return (caption = Caption()) == wanted; })) << "caption: " << caption;
        std::string copied;
        EXPECT_TRUE(e2e::ReadClipboardText(&copied));
        EXPECT_EQ(copied, name);
    }
    EXPECT_TRUE(sawLongName) << "the test DLL lacks its long name";
}

TEST_F(CopyTest, ClickWithNoRowSelectedChangesNothing) {
    ASSERT_TRUE(ClickRow(0));
    const std::string copiedCaption = rows[0][1] + kCopiedSuffix;
    ASSERT_TRUE(e2e::WaitUntil([&] { return Caption() == copiedCaption; }));
    ASSERT_TRUE(e2e::WriteClipboardText(kUntouched));

    // A click below the last row clears the selection; Down then selects a row again, which
    // shows that the click has been handled.
    ASSERT_TRUE(e2e::Click(e2e::ListEmptyPoint(app.list())));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListSelectedRow(app.list()) == -1; }));
    ASSERT_TRUE(e2e::PressKey(VK_DOWN));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListSelectedRow(app.list()) != -1; }));

    EXPECT_EQ(Caption(), copiedCaption);
    std::string clipboard;
    EXPECT_TRUE(e2e::ReadClipboardText(&clipboard));
    EXPECT_EQ(clipboard, kUntouched);
}

// While another program holds the clipboard open, a click changes neither the caption nor the
// clipboard; once it is free, the same click copies.
TEST_F(CopyTest, ClickWhileTheClipboardIsBusyChangesNothing) {
    const std::string caption = Caption();
    ASSERT_TRUE(e2e::WriteClipboardText(kUntouched));
    {
        e2e::ClipboardHold hold;
        ASSERT_TRUE(hold.ok());
        ASSERT_TRUE(ClickRow(1));
        ASSERT_TRUE(e2e::PressKey(VK_DOWN));
        ASSERT_TRUE(SelectionReaches(2)) << "the click and the key were not handled";
        EXPECT_EQ(Caption(), caption);
    }
    std::string clipboard;
    EXPECT_TRUE(e2e::ReadClipboardText(&clipboard));
    EXPECT_EQ(clipboard, kUntouched);

    ASSERT_TRUE(ClickRow(1));
    const std::string wanted = rows[1][1] + kCopiedSuffix;
    EXPECT_TRUE(e2e::WaitUntil([&] { return Caption() == wanted; }));
    EXPECT_TRUE(e2e::ReadClipboardText(&clipboard));
    EXPECT_EQ(clipboard, rows[1][1]);
}

}  // namespace
