// MainWindow: the program's one window, which holds the export list.
#pragma once

#include <windows.h>

// Creates the window and its list, registers the drop target, gives the list its size and shows the
// window. Returns false when the window or its list could not be created.
bool CreateMainWindow(HINSTANCE instance);
