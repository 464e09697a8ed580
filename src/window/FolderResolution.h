// Naming the folder that a window shows, from its title or from an address box inside it.
#ifndef TAVIX_WINDOW_FOLDERRESOLUTION_H
#define TAVIX_WINDOW_FOLDERRESOLUTION_H

#include "../common/win32.h"

// Tries the title in the window-title buffer (whole, before a blank, after a blank, each also
// without its enclosing characters and as a special-folder name), then the window's visible
// combo boxes. 1 with CurrentFolder set when a folder (in TitleMode also an existing file) was
// found; 0 with CurrentFolder unchanged otherwise.
int ResolveFolder(HWND window);

// One attempt on one text: blanks removed, canonicalised, then tested as a file (TitleMode,
// with a drive only) and as a folder. 1 with CurrentFolder set on success.
int TryFolderText(const WCHAR* text);

// EnumChildWindows callback: reads a visible combo box's text as a folder.
BOOL CALLBACK ReadAddressBox(HWND window, LPARAM unused);

#endif
