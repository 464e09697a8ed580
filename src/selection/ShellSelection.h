// Reading the selection of a shell folder window through the shell, for the windows whose
// item view no other program can read.
#ifndef TAVIX_SELECTION_SHELLSELECTION_H
#define TAVIX_SELECTION_SHELLSELECTION_H

#include "../common/win32.h"

// The reader for a shell folder window without a list view. As a list-view reader does, it
// fills the SelectionList (the CurrentFolder alone when nothing is selected) and sets
// ReadStatus to -1 when an item gives no usable path. 1 when read, 0 when the shell does not
// know the window, -1 when it knows it but did not tell what is selected.
int ReadShellSelection(HWND window);

#endif
