// The exit notice to the publisher's host window.
#pragma once

// Tells a running host window that the program is closing; called once, from the main window's
// WM_DESTROY handling, while the window still exists. Does nothing when no host is running.
void SendExitNotice();
