// A UTF-16 text built piece by piece in a moveable global memory block, which grows as pieces
// are appended. A failed allocation, lock or reallocation releases the block: the text is then
// lost as a whole, never kept in part.
#ifndef TAVIX_COMMON_GLOBALTEXT_H
#define TAVIX_COMMON_GLOBALTEXT_H

#include "win32.h"

struct GlobalText {
    HGLOBAL Block;
    WCHAR* Text;        // the locked block; always ends in a zero while the builder lives
    SIZE_T Length;      // characters written, without the zero
    SIZE_T Capacity;    // characters the block holds
};

// Starts an empty text. Returns 0 when no block could be had.
int GlobalTextStart(GlobalText* text);

// Appends length characters. Returns 0, with the block released, when the block cannot grow.
int GlobalTextAppend(GlobalText* text, const WCHAR* characters, SIZE_T length);

// Unlocks and frees the block (nothing happens when it is already released).
void GlobalTextRelease(GlobalText* text);

#endif
