// Checks shared by the end-to-end tests: what the program's list shows, compared with the lister.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lister.h"
#include "program.h"
#include "wait.h"
#include "window_state.h"

namespace e2e {

using Rows = std::vector<std::vector<std::string>>;

// The rows ordanel-exports.exe prints for `path`; an empty table (and a failure) if it cannot run.
inline Rows ListerRows(const std::string& path) {
    Rows rows;
    EXPECT_TRUE(ListExports(path, &rows)) << "ordanel-exports.exe failed on " << path;
    return rows;
}

inline std::string DescribeRows(const Rows& rows) {
    std::string out;
    for (const auto& row : rows) {
        for (const auto& cell : row)
            out += (cell.size() > 40 ? cell.substr(0, 40) + "...(" + std::to_string(cell.size()) + " bytes)" : cell) +
                   " | ";
        out += "\n";
    }
    return out;
}

// Waits until the program's list shows exactly `expected`, cell by cell.
inline ::testing::AssertionResult ListShows(const Program& app, const Rows& expected) {
    Rows shown;
    if (WaitUntil([&] {
            shown = ListRows(app.process(), app.list());
            return shown == expected;
        }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the list shows " << shown.size() << " rows:\n"
                                         << DescribeRows(shown) << "expected " << expected.size() << " rows:\n"
                                         << DescribeRows(expected);
}

// The list's rows right now, for checks that something did not happen.
inline Rows ShownRows(const Program& app) { return ListRows(app.process(), app.list()); }

}  // namespace e2e
