// Reading the selected items of another process's list view on Windows 98 and ME.
#ifndef TAVIX_SELECTION_LISTVIEWREADER9X_H
#define TAVIX_SELECTION_LISTVIEWREADER9X_H

// Reads CurrentListView into the SelectionList; when no path is stored, the CurrentFolder
// alone and ReadStatus -1. 1 when the list view answered; 0 when it stopped answering, which
// ends the run without output.
int ReadListView9x();

#endif
