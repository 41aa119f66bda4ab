#pragma once
// Memory trimming: whenever the application loses activation, a short-lived thread empties the
// process's working set by running the trim tool the program carries (resources/trimTool/).
#include <windows.h>

// The message handler's WM_ACTIVATEAPP row: wParam 0 (the application loses activation) starts
// a trim; becoming active starts nothing.
void onActivateApp(WPARAM active);

// Starts the trim procedure on a new thread (SHCreateThread, no data, flags or callback).
void startWorkingSetTrim();

// The trim procedure, a thread entry (the parameter is unused). Writes the tool to
// "windir" + "\empty.exe" when no file is there, runs it hidden with this process's id and waits
// until it has ended. Without a usable "windir", or when the tool does not start, it empties this
// process's working set itself.
DWORD WINAPI trimWorkingSet(void* unused);
