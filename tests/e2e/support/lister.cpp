// Running the command-line lister with its standard output on a pipe.
#include "lister.h"

#include <windows.h>

#include "paths.h"

namespace e2e {
namespace {

std::string Unescape(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\' || i + 1 == name.size()) {
            out += name[i];
            continue;
        }
        switch (name[++i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: out += name[i]; break;
        }
    }
    return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells(1);
    for (const char c : line) {
        if (c == '\t')
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

}  // namespace

bool ListExports(const std::string& imagePath, std::vector<std::vector<std::string>>* rows) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    const std::string lister = ListerPath();
    std::string commandLine = "\"" + lister + "\" -- \"" + imagePath + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = nullptr;
    PROCESS_INFORMATION info{};
    const bool started = CreateProcessA(lister.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, nullptr, &startup, &info) != FALSE;
    CloseHandle(writeEnd);  // the child holds its own copy; EOF comes when it exits
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    std::string output;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        output.append(buffer, got);
    CloseHandle(readEnd);
    WaitForSingleObject(info.hProcess, 60000);
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    if (exitCode != 0)
        return false;

    rows->clear();
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::vector<std::string> cells = SplitTabs(output.substr(start, end - start));
        if (cells.size() != 4)
            return false;
        cells[1] = Unescape(cells[1]);
        rows->push_back(std::move(cells));
        start = end + 1;
    }
    return true;
}

}  // namespace e2e
