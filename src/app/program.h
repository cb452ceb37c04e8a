// The life of the process: start-up, the message loop, shut-down, the program-wide records.
#pragma once

#include <string>

namespace pe {
struct ImageHeaders;
}

// Prepares the process, creates the main window, runs the message loop until WM_QUIT and releases
// the program-wide records. Returns 0 after a normal close; the fatal path never returns.
int RunProgram();

// Creates the zero-filled ImageHeaders; ReleaseProgramRecords frees them once, after the loop.
void CreateProgramRecords();
void ReleaseProgramRecords();

// The headers of the image being examined; exist from CreateProgramRecords to ReleaseProgramRecords.
pe::ImageHeaders& ProgramImageHeaders();

// The directory of the executable, without a trailing backslash, recorded at start-up.
const std::string& ProgramDirectory();

// Shows `text` in a box and ends the process at once with exit code -1; nothing is released.
[[noreturn]] void FailFatally(const char* text);
