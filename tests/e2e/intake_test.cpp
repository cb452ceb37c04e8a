// Files coming in: drops (one file, twice, several, a folder, with modifier keys, text only) and the
// open dialog (a typed path, the next dialog's start, cancel).
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

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

class IntakeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.Start()) << "ordanel.exe did not show its window"; }

    bool Drop(const std::vector<std::string>& paths, unsigned modifiers = 0, HRESULT* result = nullptr,
              DWORD* effect = nullptr) {
        return e2e::DropFiles(e2e::ClientCentre(app.list()), paths, modifiers, result, effect);
    }

    HWND OpenDialogByDoubleClick() {
        EXPECT_TRUE(e2e::DoubleClick(e2e::ListEmptyPoint(app.list())));
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

}  // namespace
