// The visible top-level windows that show a folder, with the name of the program behind each.
#ifndef TAVIX_WINDOW_CANDIDATESCAN_H
#define TAVIX_WINDOW_CANDIDATESCAN_H

#include "../common/win32.h"

// Fills the CandidateTable from EnumWindows, at most 100 entries.
void ScanCandidateWindows();

// EnumWindows callback: stores a visible, titled window other than the desktop whose folder
// can be named, with its process image's base name.
BOOL CALLBACK CollectCandidateWindow(HWND window, LPARAM unused);

#endif
