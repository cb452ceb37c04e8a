// Runs ordanel-exports.exe under the same Wine and reads its rows, the reference for what the window lists.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// Each row as the four cell texts the list shows: index, name, RVA, file offset. The lister's
// escapes in names (\\ \t \n \r) are undone. False when the lister did not run or exited non-zero.
bool ListExports(const std::string& imagePath, std::vector<std::vector<std::string>>* rows);

}  // namespace e2e
