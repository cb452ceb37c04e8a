// The process's life: closing with Esc or the close command ends it with exit code 0, Shift+Esc
// does not close, and the program works in its own folder whatever folder it was started from.
#include <gtest/gtest.h>

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

TEST(Lifecycle, ClosingEndsTheProcessWithExitCodeZero) {
    const struct {
        const char* what;
        bool clickListFirst;  // Esc with the list focused, else as the window opened
        bool escape;          // Esc, else the close command of the caption's button
    } cases[] = {
        {"Esc right after start-up", false, true},
        {"Esc with the list focused", true, true},
        {"close button", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Program app;
        ASSERT_TRUE(app.Start());
        if (c.clickListFirst) {
            ASSERT_TRUE(e2e::Click(e2e::ListEmptyPoint(app.list())));
        }
        if (c.escape) {
            ASSERT_TRUE(e2e::PressKey(VK_ESCAPE));
        } else {
            ASSERT_TRUE(PostMessageA(app.window(), WM_SYSCOMMAND, SC_CLOSE, 0));
        }
        DWORD exitCode = 0xFFFF;
        ASSERT_TRUE(app.WaitForExit(e2e::kPatienceMs, &exitCode)) << "still running";
        EXPECT_EQ(exitCode, 0u);
    }
}

TEST(Lifecycle, ShiftEscDoesNotClose) {
    Program app;
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(e2e::DropFiles(e2e::ClientCentre(app.list()), {e2e::TestDllPath()}));
    ASSERT_GE(e2e::ListRowCount(app.list()), 2);
    POINT row0{};
    ASSERT_TRUE(e2e::ListRowPoint(app.process(), app.list(), 0, &row0));
    ASSERT_TRUE(e2e::Click(row0));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListSelectedRow(app.list()) == 0; }));

    // Down after Shift+Esc: once the selection has moved, Shift+Esc has been handled.
    ASSERT_TRUE(e2e::PressKey(VK_ESCAPE, e2e::kShift));
    ASSERT_TRUE(e2e::PressKey(VK_DOWN));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListSelectedRow(app.list()) == 1 || !app.Running(); }));
    EXPECT_TRUE(app.Running()) << "Shift+Esc closed the window";
    EXPECT_TRUE(IsWindowVisible(app.window()));

    ASSERT_TRUE(e2e::PressKey(VK_ESCAPE));
    DWORD exitCode = 0xFFFF;
    ASSERT_TRUE(app.WaitForExit(e2e::kPatienceMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// Started from another folder, the program still opens a bare file name from its own folder:
// sample.dll lies beside ordanel.exe and not in the folder it was started from.
TEST(Lifecycle, WorksInItsOwnFolderWhateverFolderItStartsIn) {
    e2e::ScratchDir elsewhere;
    ASSERT_TRUE(elsewhere.ok());
    Program app;
    ASSERT_TRUE(app.Start({}, elsewhere.path()));

    e2e::Drag drag;
    ASSERT_TRUE(drag.StartFiles(e2e::ClientCentre(app.list()), {"sample.dll"}));
    e2e::MessageBoxInfo box;
    const bool ended =
        e2e::WaitUntil([&] { return drag.Wait(0) || e2e::FindMessageBox(app.processId(), &box); });
    ASSERT_TRUE(ended);
    if (box.window != nullptr) {
        ADD_FAILURE() << "sample.dll was not found: the current folder is not the program's";
        e2e::CloseMessageBox(box.window);
        drag.Wait(e2e::kPatienceMs);
        return;
    }
    EXPECT_TRUE(e2e::ListShows(app, e2e::ListerRows(e2e::SampleDllPath())));
}

}  // namespace
