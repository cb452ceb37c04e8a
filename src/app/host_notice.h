// The exit notice to the publisher's host window.
#pragma once

// Tells a running host window that the program is closing; called once, from the main window's
// WM_DESTROY handling, while the window still exists. Does nothing when no host is running.
void SendExitNotice();

// Sends `notice` (zero-terminated ANSI text) to the host window and waits, at most about 10 s, for
// its answer. True when the host acknowledged. The message name is registered, the host looked up
// and the process id text set on every call, also when no host exists.
bool SendHostNotice(const char* notice);

// Releases the process id text; runs once at exit, after the message loop has ended.
void ReleaseHostNoticeRecords();
