// Files coming in: drops (one file, twice, several, a folder, with modifier keys, text only) and the
// open dialog (a typed path, the next dialog's start, cancel, a double-click on a row, on the header
// or on the scroll bar).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "clipboard.h"
#include "dialogs.h"
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

constexpr char kErrorText[] = "无法读取文件内容";
constexpr char kErrorCaption[] = "信息：";
constexpr char kCopiedSuffix[] = " 已复制";
constexpr char kUntouched[] = "clipboard before the double-click";

class IntakeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.Start()) << "ordanel.exe did not show its window"; }

    bool Drop(const std::vector<std::string>& paths, unsigned modifiers = 0, HRESULT* result = nullptr,
              DWORD* effect = nullptr) {
        return e2e::DropFiles(e2e::ClientCentre(app.list()), paths, modifiers, result, effect);
    }

    HWND OpenDialogByDoubleClick() { return OpenDialogByDoubleClickAt(e2e::ListEmptyPoint(app.list())); }

    HWND OpenDialogByDoubleClickAt(POINT screen) {
        EXPECT_TRUE(e2e::DoubleClick(screen));
        HWND dialog = nullptr;
        EXPECT_TRUE(e2e::WaitUntil([&] { return (dialog = e2e::FindOpenDialog(app.window())) != nullptr; }))
            << "no open dialog after a double-click in the list";
        return dialog;
    }

    bool DialogClosed() const {
        return e2e::WaitUntil([&] { return e2e::FindOpenDialog(app.window()) == nullptr; });
    }

    Program app;
};

TEST_F(IntakeTest, DroppedDllListsExactlyTheListersRowsAndOnceWhenDroppedAgain) {
    for (const std::string& path : {e2e::SampleDllPath(), e2e::TestDllPath(), e2e::TestDllPath()}) {
        SCOPED_TRACE(path);
        const Rows expected = e2e::ListerRows(path);
        ASSERT_FALSE(expected.empty());
        ASSERT_TRUE(Drop({path}));
        EXPECT_TRUE(e2e::ListShows(app, expected));
    }
}

// A drop with Ctrl or Shift is a plain drop and the file is only read; Ctrl+Shift drops nothing.
TEST_F(IntakeTest, ModifierKeysDuringADrop) {
    const Rows sample = e2e::ListerRows(e2e::SampleDllPath());
    const Rows other = e2e::ListerRows(e2e::TestDllPath());
    const struct {
        const char* what;
        unsigned modifiers;
        bool loads;
    } cases[] = {
        {"no key", e2e::kNoModifiers, true},
        {"Ctrl (copy)", e2e::kCtrl, true},
        {"Shift (move)", e2e::kShift, true},
        {"Ctrl+Shift (no drop)", e2e::kCtrl | e2e::kShift, false},
    };
    e2e::ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    const std::string dll = scratch.CopyIn(e2e::TestDllPath(), "dropped.dll");
    ASSERT_FALSE(dll.empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Drop({e2e::SampleDllPath()}));
        ASSERT_TRUE(e2e::ListShows(app, sample));
        HRESULT result = S_OK;
        DWORD effect = DROPEFFECT_MOVE;
        ASSERT_TRUE(Drop({dll}, c.modifiers, &result, &effect));
        if (c.loads)
            EXPECT_TRUE(e2e::ListShows(app, other));
        else
            EXPECT_EQ(e2e::ShownRows(app), sample);
        // The source is never told that a drop succeeded, so a "move" never makes it delete the file.
        EXPECT_TRUE(FAILED(result) || effect == DROPEFFECT_NONE) << std::hex << result << ", effect " << effect;
        EXPECT_NE(GetFileAttributesA(dll.c_str()), INVALID_FILE_ATTRIBUTES) << "the dropped file is gone";
        e2e::MessageBoxInfo box;
        EXPECT_FALSE(e2e::FindMessageBox(app.processId(), &box)) << box.text;
    }
}

TEST_F(IntakeTest, TextOnlyDragDoesNothing) {
    const Rows sample = e2e::ListerRows(e2e::SampleDllPath());
    ASSERT_TRUE(Drop({e2e::SampleDllPath()}));
    ASSERT_TRUE(e2e::ListShows(app, sample));

    e2e::Drag drag;
    ASSERT_TRUE(drag.StartText(e2e::ClientCentre(app.list()), e2e::TestDllPath()));
    HRESULT result = S_OK;
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_TRUE(drag.Wait(e2e::kPatienceMs, &result, &effect));
    EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(e2e::ShownRows(app), sample);
    e2e::MessageBoxInfo box;
    EXPECT_FALSE(e2e::FindMessageBox(app.processId(), &box)) << box.text;
}

// Several files at once and a folder cannot be read: the error box shows over an emptied list.
TEST_F(IntakeTest, DropThatCannotBeReadShowsTheErrorBoxOverAnEmptyList) {
    e2e::ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    const struct {
        const char* what;
        std::vector<std::string> paths;
    } cases[] = {
        {"two files", {e2e::SampleDllPath(), e2e::TestDllPath()}},
        {"a folder", {scratch.path()}},
    };
    const Rows sample = e2e::ListerRows(e2e::SampleDllPath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Drop({e2e::SampleDllPath()}));
        ASSERT_TRUE(e2e::ListShows(app, sample));

        e2e::Drag drag;
        ASSERT_TRUE(drag.StartFiles(e2e::ClientCentre(app.list()), c.paths));
        e2e::MessageBoxInfo box;
        ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FindMessageBox(app.processId(), &box); }))
            << "no error box";
        EXPECT_EQ(box.text, kErrorText);
        EXPECT_EQ(box.caption, kErrorCaption);
        EXPECT_EQ(e2e::ListRowCount(app.list()), 0) << "the list is not cleared behind the box";
        ASSERT_TRUE(e2e::CloseMessageBox(box.window));
        ASSERT_TRUE(drag.Wait(e2e::kPatienceMs)) << "the drop did not end after the box closed";
        EXPECT_EQ(e2e::ListRowCount(app.list()), 0);
    }
}

// The road through the dialog: the first one starts empty, a typed path is loaded, and the next
// dialog opens in that file's folder with its name filled in, ready to load it again.
TEST_F(IntakeTest, OpenDialogLoadsATypedPathAndTheNextDialogStartsWithIt) {
    e2e::ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    const std::string picked = scratch.CopyIn(e2e::TestDllPath(), "picked.dll");
    ASSERT_FALSE(picked.empty());
    const Rows expected = e2e::ListerRows(picked);

    HWND dialog = OpenDialogByDoubleClick();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(e2e::WindowText(e2e::OpenDialogNameEdit(dialog)), "");
    ASSERT_TRUE(e2e::ChooseInOpenDialog(dialog, picked));
    ASSERT_TRUE(DialogClosed());
    EXPECT_TRUE(e2e::ListShows(app, expected));

    dialog = OpenDialogByDoubleClick();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(e2e::WindowText(e2e::OpenDialogNameEdit(dialog)), "picked.dll");
    EXPECT_EQ(e2e::OpenDialogFolder(app.process(), dialog), scratch.path());
    // Confirming the prefilled name loads the same file again, after a drop replaced the list.
    ASSERT_TRUE(e2e::CancelOpenDialog(dialog));
    ASSERT_TRUE(DialogClosed());
    ASSERT_TRUE(Drop({e2e::SampleDllPath()}));
    ASSERT_TRUE(e2e::ListShows(app, e2e::ListerRows(e2e::SampleDllPath())));
    dialog = OpenDialogByDoubleClick();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(e2e::ChooseInOpenDialog(dialog, e2e::WindowText(e2e::OpenDialogNameEdit(dialog))));
    ASSERT_TRUE(DialogClosed());
    EXPECT_TRUE(e2e::ListShows(app, expected));
}

// Cancel leaves the list and the caption, and the next dialog still starts where the last
// confirmed pick left it (a drop is not a pick).
TEST_F(IntakeTest, CancelledDialogChangesNothing) {
    const Rows sample = e2e::ListerRows(e2e::SampleDllPath());
    ASSERT_TRUE(Drop({e2e::SampleDllPath()}));
    ASSERT_TRUE(e2e::ListShows(app, sample));
    const std::string caption = e2e::WindowText(app.window());

    HWND dialog = OpenDialogByDoubleClick();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(e2e::SendTo(e2e::OpenDialogNameEdit(dialog), WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(e2e::TestDllPath().c_str())));
    ASSERT_TRUE(e2e::CancelOpenDialog(dialog));
    ASSERT_TRUE(DialogClosed());
    EXPECT_EQ(e2e::ShownRows(app), sample);
    EXPECT_EQ(e2e::WindowText(app.window()), caption);

    dialog = OpenDialogByDoubleClick();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(e2e::WindowText(e2e::OpenDialogNameEdit(dialog)), "");
    ASSERT_TRUE(e2e::CancelOpenDialog(dialog));
    ASSERT_TRUE(DialogClosed());
    EXPECT_EQ(e2e::ShownRows(app), sample);
}

// A double-click on a row is a click first: the row's name is copied before the dialog shows.
// Cancelling then leaves the rows and the caption as the copy left them.
TEST_F(IntakeTest, DoubleClickOnARowCopiesItsNameThenOpensTheDialog) {
    const Rows rows = e2e::ListerRows(e2e::TestDllPath());
    ASSERT_GE(rows.size(), 2u);
    ASSERT_TRUE(Drop({e2e::TestDllPath()}));
    ASSERT_TRUE(e2e::ListShows(app, rows));
    ASSERT_TRUE(e2e::WriteClipboardText(kUntouched));

    const std::string& name = rows[1][1];
    const std::string copiedCaption = name + kCopiedSuffix;
    POINT row{};
    ASSERT_TRUE(e2e::ListRowPoint(app.process(), app.list(), 1, &row));
    HWND dialog = OpenDialogByDoubleClickAt(row);
    ASSERT_NE(dialog, nullptr);
    // Read while the dialog is still open, so a copy made only after it closes does not pass.
    EXPECT_EQ(e2e::WindowText(app.window()), copiedCaption);
    std::string clipboard;
    EXPECT_TRUE(e2e::ReadClipboardText(&clipboard));
    EXPECT_EQ(clipboard, name);

    ASSERT_TRUE(e2e::CancelOpenDialog(dialog));
    ASSERT_TRUE(DialogClosed());
    EXPECT_EQ(e2e::ShownRows(app), rows);
    EXPECT_EQ(e2e::WindowText(app.window()), copiedCaption);
}

// The window made short enough that the list shows its header and about two rows, so the rows
// scroll; the sizes come from the list itself, since the metrics differ between systems.
::testing::AssertionResult ShrinkUntilTheListScrolls(const Program& app) {
    POINT first{};
    POINT second{};
    if (!e2e::ListRowPoint(app.process(), app.list(), 0, &first) ||
        !e2e::ListRowPoint(app.process(), app.list(), 1, &second))
        return ::testing::AssertionFailure() << "no row rectangles";
    RECT client{};
    GetClientRect(app.list(), &client);
    const LONG listBottom = e2e::ClientToScreenPoint(app.list(), 0, client.bottom).y;
    const LONG keptBottom = first.y + 2 * (second.y - first.y);
    RECT outer{};
    GetWindowRect(app.window(), &outer);
    const LONG height = outer.bottom - outer.top - (listBottom - keptBottom);
    if (!SetWindowPos(app.window(), nullptr, 0, 0, outer.right - outer.left, height,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
        return ::testing::AssertionFailure() << "SetWindowPos failed";
    if (!e2e::WaitUntil([&] { return (GetWindowLongA(app.list(), GWL_STYLE) & WS_VSCROLL) != 0; }))
        return ::testing::AssertionFailure() << "the list shows no vertical scroll bar at height " << height;
    return ::testing::AssertionSuccess();
}

// Inside the first column's header item, away from the dividers (a double-click there sizes a column).
POINT HeaderPoint(const Program& app) {
    const auto header = reinterpret_cast<HWND>(e2e::SendTo(app.list(), LVM_GETHEADER));
    RECT rect{};
    GetWindowRect(header, &rect);
    const std::vector<e2e::ListColumn> columns = e2e::ListColumns(app.process(), app.list());
    const int firstWidth = columns.empty() ? 0 : columns[0].width;
    return {rect.left + firstWidth / 2, (rect.top + rect.bottom) / 2};
}

// The middle of the vertical scroll bar, which lies right of the list's client area.
POINT VerticalScrollBarPoint(const Program& app) {
    RECT client{};
    GetClientRect(app.list(), &client);
    const POINT corner = e2e::ClientToScreenPoint(app.list(), client.right, client.bottom / 2);
    return {corner.x + GetSystemMetrics(SM_CXVSCROLL) / 2, corner.y};
}

// Only the list's own area opens the dialog. Down follows each double-click and must move the
// selection: input is handled in order, so the double-click is over by then, and a dialog would
// have taken the key.
TEST_F(IntakeTest, DoubleClickOnTheHeaderOrTheScrollBarOpensNoDialog) {
    const Rows rows = e2e::ListerRows(e2e::TestDllPath());
    ASSERT_GE(rows.size(), 3u);
    ASSERT_TRUE(Drop({e2e::TestDllPath()}));
    ASSERT_TRUE(e2e::ListShows(app, rows));
    ASSERT_TRUE(ShrinkUntilTheListScrolls(app));
    HWND header = reinterpret_cast<HWND>(e2e::SendTo(app.list(), LVM_GETHEADER));
    ASSERT_NE(header, nullptr);
    // A click gives the list the keyboard; after that Home brings the selection back to the first
    // row, since a second click there could pair with the first into a double-click.
    POINT row{};
    ASSERT_TRUE(e2e::ListRowPoint(app.process(), app.list(), 0, &row));
    ASSERT_TRUE(e2e::Click(row));

    const struct {
        const char* what;
        POINT (*where)(const Program&);
        HWND window;      // the window under the point
        LRESULT hitTest;  // its answer to WM_NCHITTEST there
    } cases[] = {
        {"column header", HeaderPoint, header, HTCLIENT},
        {"vertical scroll bar", VerticalScrollBarPoint, app.list(), HTVSCROLL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(e2e::PressKey(VK_HOME));
        ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListSelectedRow(app.list()) == 0; }));

        const POINT point = c.where(app);
        ASSERT_EQ(WindowFromPoint(point), c.window);
        ASSERT_EQ(e2e::SendTo(c.window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)), c.hitTest);
        ASSERT_TRUE(e2e::DoubleClick(point));
        ASSERT_TRUE(e2e::PressKey(VK_DOWN));
        EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ListSelectedRow(app.list()) == 1; }))
            << "the key after the double-click did not reach the list";
        HWND dialog = e2e::FindOpenDialog(app.window());
        EXPECT_EQ(dialog, nullptr) << "a dialog opened";
        if (dialog != nullptr) {
            ASSERT_TRUE(e2e::CancelOpenDialog(dialog));
            ASSERT_TRUE(DialogClosed());
            ASSERT_TRUE(e2e::Click(row));  // the keyboard back to the list for the next case
        }
    }
}

}  // namespace
