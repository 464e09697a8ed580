// Reading a whole file into one zero-terminated global memory block.
#ifndef TAVIX_COMMON_TEXTFILE_H
#define TAVIX_COMMON_TEXTFILE_H

#include "win32.h"

enum TextFileResult {
    TextFileRead = 1,
    TextFileNotOpened = 0,
    TextFileNotRead = -1   // opened, but its size could not be taken or it was not read whole
};

// Opens path for reading (others may read it too) with the given creation disposition, reads
// it whole into a zero-filled block of its size plus a terminating zero and closes it. On
// TextFileRead, *text and *length describe the block, which the caller frees with
// ReleaseTextFile; on every other result nothing is left to release.
int ReadTextFile(const char* path, DWORD disposition, char** text, DWORD* length);

void ReleaseTextFile(char* text);

#endif
