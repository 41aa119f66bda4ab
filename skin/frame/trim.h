#pragma once
// Memory trimming: whenever the application loses activation, a short-lived thread empties the
// process's working set by running the trim tool the program carries (resources/trimTool/).
#include <windows.h>

// The message handler's WM_ACTIVATEAPP row for the window: wParam 0 (the application loses
// activation) starts a trim; becoming active starts nothing, and neither does the loss that the
// window's own closing causes (it is hidden by then): the program is going away, not idle.
void onActivateApp(HWND window, WPARAM active);

// Starts the trim procedure on a new thread (SHCreateThread, no data, flags or callback).
void startWorkingSetTrim();

// The trim procedure, a thread entry (the parameter is unused). Writes the tool to
// "windir" + "\empty.exe" when no file is there, runs it hidden with this process's id and waits
// until it has ended. Without a usable "windir", or when the tool does not start, it empties this
// process's working set itself. Once the process has begun to end it starts no tool.
DWORD WINAPI trimWorkingSet(void* unused);

// Run at the process's normal end (registered with the first trim): marks the process as ending
// and waits, at most timeoutMs, until no trim thread is inside the start of its tool. The system
// creates a process suspended and resumes it just before CreateProcessA returns; a process that
// ends in between leaves the tool suspended for ever.
void awaitToolStarts(DWORD timeoutMs);
