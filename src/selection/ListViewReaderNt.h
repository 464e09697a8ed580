// Reading the selected items of another process's list view on the NT family.
#ifndef TAVIX_SELECTION_LISTVIEWREADERNT_H
#define TAVIX_SELECTION_LISTVIEWREADERNT_H

// Reads CurrentListView into the SelectionList (the CurrentFolder alone when no path is
// stored) and sets ReadStatus to -1 when an item cannot be resolved. 1 when the list view was
// read; 0 when its process or memory in it cannot be had, or it stopped answering.
int ReadListViewNt();

enum { ItemBatchLimit = 128 };   // items asked of the list view at once, at most

// ReadListViewNt with at most batchLimit items asked at once (1 to ItemBatchLimit). With 1
// every item is asked and answered on its own, the list view's answers arriving one by one.
int ReadListViewNtInBatchesOf(int batchLimit);

#endif
