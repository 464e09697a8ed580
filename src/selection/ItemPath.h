// Turning the text of a list-view item into an absolute path.
#ifndef TAVIX_SELECTION_ITEMPATH_H
#define TAVIX_SELECTION_ITEMPATH_H

// 1 with path (PathBufferSize bytes) set when the item names a special folder, or an existing
// folder or file in the CurrentFolder (also as a shortcut: the text + ".lnk", when the text has
// no extension); 0 when the item cannot be resolved.
int ResolveItemPath(const char* itemText, char* path);

#endif
